#include "app/input_probe.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include "input/input_device.h"

InputProbe* InputProbe::fromEnvironment() {
  static const std::unique_ptr<InputProbe> probe = [] {
    const char* path = std::getenv(kVariable);
    return path && *path ? std::make_unique<InputProbe>(path) : nullptr;
  }();
  return probe.get();
}

InputProbe::InputProbe(std::string path) : m_path(std::move(path)), m_temporary(m_path + ".part") {}

void InputProbe::noteInput(const InputDevice& input) {
  ++m_passes;
  // Appended piece by piece: GCC 12 takes the temporaries of a chain of +
  // for overlapping copies and warns.
  m_line.assign("pass ");
  m_line += std::to_string(m_passes);
  m_line += " cursor ";
  m_line += std::to_string(input.m_mousePos[0]);
  m_line += ' ';
  m_line += std::to_string(input.m_mousePos[1]);
  m_line += " buttons";
  for (std::uint8_t button : input.m_mouseButton) m_line += button ? " 1" : " 0";
  m_line += " keys";
  for (int code = 0; code < 256; ++code) {
    if (!input.m_key[code]) continue;
    m_line += ' ';
    m_line += std::to_string(code);
    m_lastDown[code] = m_passes;
  }
  m_line += " last";
  for (int code = 0; code < 256; ++code) {
    if (!m_lastDown[code]) continue;
    m_line += ' ';
    m_line += std::to_string(code);
    m_line += ':';
    m_line += std::to_string(m_lastDown[code]);
  }
}

// Written beside the file and renamed over it, so that a reader never sees
// half a line; not through ReplacingFile, whose flush to the disk would cost
// every frame and guards against nothing a test hook needs.
void InputProbe::passDone() {
  std::FILE* out = std::fopen(m_temporary.c_str(), "w");
  if (!out) return;
  const bool written = std::fputs((m_line + "\n").c_str(), out) >= 0;
  if (std::fclose(out) == 0 && written) std::rename(m_temporary.c_str(), m_path.c_str());
}
