// One running game per user: the first instance makes a small shared block
// and holds it for its life; a later instance leaves its command line there
// and ends. The first instance never reads the block.
#pragma once

#include <cstddef>

#include "platform/system/file_mapping.h"
#include "platform/win32_types.h"

class SingleInstanceGuard {
 public:
  // The block: the first instance's thread id, then a command line.
  static constexpr std::size_t kBlockSize = 2052;
  static constexpr std::size_t kCommandLineOffset = 4;
  static constexpr int kCommandLineSize = 2048;  // terminator included

  // Makes or opens the block `name` and registers the message of the same
  // name into `message`. The first instance writes its thread id and an
  // empty command line. A later one copies `commandLine` (at most 2047
  // characters) into the block and posts the message to the first's thread.
  SingleInstanceGuard(const char* name, const char* commandLine, UINT* message);
  ~SingleInstanceGuard() { release(); }
  SingleInstanceGuard(const SingleInstanceGuard&) = delete;
  SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

  bool isFirst() const { return m_first; }
  // Neither first nor able to hand over (the block could not be made or
  // mapped): there is nobody to tell.
  bool failed() const { return !m_view; }
  // Unmaps the block and closes it; the first instance's claim ends here.
  void release();

 private:
  bool m_first = false;
  HANDLE m_mapping = nullptr;
  char* m_view = nullptr;
};
