// A test hook that says what the game made of its input. With
// $TESSALINE_INPUT_PROBE naming a file, every pass of the menu and race
// loops rewrites that file with one line: the pass's number, where the
// game's own cursor stands, the mouse buttons and keys its input read down
// in that pass, and for every key the last pass that read it down (a key
// the frame takes shows in one pass only, which a reader may not catch). A
// harness that drives the game through the window system reads it to learn
// whether a pointer move, a click or a key was taken, rather than hoping a
// fixed wait was long enough. Unset, the loops pay one test of a null
// pointer per pass.
#pragma once

#include <cstdint>
#include <string>

class InputDevice;

class InputProbe {
 public:
  static constexpr const char* kVariable = "TESSALINE_INPUT_PROBE";

  // The probe the environment asks for, or null. One for the whole run, so
  // that pass numbers keep rising from one loop to the next.
  static InputProbe* fromEnvironment();

  explicit InputProbe(std::string path);

  // After the pass read its input and before the frame takes keys from it
  // (a key the frame takes is cleared, though the player still holds it).
  void noteInput(const InputDevice& input);
  // After the pass's frame: the line goes out. A probe that cannot write
  // says nothing and the game goes on.
  void passDone();

  // "pass <n> cursor <x> <y> buttons <left> <right> <middle> keys <code>...
  // last <code>:<pass>..." with the keys by their DirectInput codes,
  // rising.
  const std::string& line() const { return m_line; }
  std::uint64_t passes() const { return m_passes; }

 private:
  std::string m_path, m_temporary;
  std::string m_line;
  std::uint64_t m_passes = 0;
  std::uint64_t m_lastDown[256] = {};
};
