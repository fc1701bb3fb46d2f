// Saving a settings or score file without ever destroying the previous one:
// the new content goes to "<name>.tmp" beside it and is renamed over the old
// file only when every byte was written, has reached the disk and the file
// closed without an error. A crash, a power loss or a full disk before that
// leaves the old file as it was.
#pragma once

#include <string>

#include "foundation/file.h"

class ReplacingFile {
 public:
  explicit ReplacingFile(const char* name);
  ~ReplacingFile();  // a file never committed is removed
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Creates the temporary file; false when it cannot be created.
  bool begin();
  File& file() { return m_file; }
  // Flushes the temporary file to the disk, closes it and renames it over
  // the name. Pass false when a write fell short: the temporary file is
  // dropped and the old file kept, as when flushing or closing fails.
  bool commit(bool written = true);

  const std::string& temporaryName() const { return m_temporary; }

  // Called between closing the temporary file and renaming it; tests use it
  // to stop a save at its most delicate moment.
  using Hook = void (*)(const char* temporaryName);
  static void setBeforeRenameHook(Hook hook);

 private:
  std::string m_name;
  std::string m_temporary;
  DiskFile m_file;
  bool m_begun = false;
};
