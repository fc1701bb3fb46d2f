#include "app/single_instance.h"

#include <cstdint>

#include "foundation/byte_fields.h"
#include "platform/system/process.h"
#include "platform/window/window.h"

SingleInstanceGuard::SingleInstanceGuard(const char* name, const char* commandLine, UINT* message) {
  const UINT registered = RegisterWindowMessageA(name);
  if (message) *message = registered;
  m_mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockSize, name);
  m_first = m_mapping && GetLastError() == 0;
  if (!m_mapping) return;
  m_view = static_cast<char*>(MapViewOfFile(m_mapping, FILE_MAP_WRITE, 0, 0, 0));
  if (!m_view) {
    m_first = false;
    return;
  }
  auto* bytes = reinterpret_cast<std::uint8_t*>(m_view);
  char* line = m_view + kCommandLineOffset;
  if (m_first) {
    FieldWriter(bytes, kCommandLineOffset).u32(GetCurrentThreadId());
    line[0] = '\0';
    return;
  }
  lstrcpynA(line, commandLine ? commandLine : "", kCommandLineSize);
  PostThreadMessageA(FieldReader(bytes, kCommandLineOffset).u32(), registered, 0, 0);
}

void SingleInstanceGuard::release() {
  if (m_view) UnmapViewOfFile(m_view);
  if (m_mapping) CloseHandle(m_mapping);
  m_view = nullptr;
  m_mapping = nullptr;
}
