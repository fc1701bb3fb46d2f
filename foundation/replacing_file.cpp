#include "foundation/replacing_file.h"

#include <atomic>
#include <cstdio>

#include "foundation/report.h"

namespace {
std::atomic<ReplacingFile::Hook> g_beforeRename{nullptr};
}

void ReplacingFile::setBeforeRenameHook(Hook hook) { g_beforeRename = hook; }

ReplacingFile::ReplacingFile(const char* name) : m_name(name ? name : ""), m_temporary(m_name + ".tmp") {}

ReplacingFile::~ReplacingFile() {
  if (!m_begun) return;
  m_file.close();
  std::remove(toNativePath(m_temporary).c_str());
}

bool ReplacingFile::begin() {
  if (m_begun || m_name.empty()) return false;
  m_begun = m_file.create(m_temporary.c_str());
  return m_begun;
}

bool ReplacingFile::commit(bool written) {
  if (!m_begun) return false;
  // The new content must be on the disk before the rename: a rename that
  // reaches the disk first would leave an empty or partial file after a
  // power loss, where the old one stood.
  const bool synced = written && m_file.sync();
  const bool closed = m_file.close();
  if (!written) return false;  // the destructor drops the temporary file
  if (!synced || !closed) {
    g_log.printf("cannot write \"%s\" to the disk\n", m_temporary.c_str());
    return false;
  }
  if (Hook hook = g_beforeRename.load()) hook(m_temporary.c_str());
  if (std::rename(toNativePath(m_temporary).c_str(), toNativePath(m_name).c_str()) != 0) {
    // The callers carry on without the file; the trace says why.
    g_log.printf("cannot replace \"%s\"\n", m_name.c_str());
    return false;
  }
  m_begun = false;
  // Best effort: the new file is complete on the disk already, so if the
  // rename is lost the old file comes back, never an empty one.
  syncDirectoryEntry(m_name);
  return true;
}
