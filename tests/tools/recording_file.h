// A File over another that remembers every name opened through it or any of
// its clones, and whether the open found it: walking the game's own code
// over it lists every name the code asks for. The game reads clones on
// threads of its own (the menu decodes pictures ahead), so the shared list
// is locked.
#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "foundation/file.h"

class RecordingFile : public File {
 public:
  using Log = std::vector<std::pair<std::string, bool>>;

  explicit RecordingFile(const File& inner) : RecordingFile(inner, std::make_shared<Shared>()) {}

  File* clone() const override { return new RecordingFile(*m_inner, m_log); }
  bool exists(const char* name) override { return m_inner->exists(name); }
  bool open(const char* name) override {
    const bool found = m_inner->open(name);
    {
      std::lock_guard<std::mutex> lock(m_log->mutex);
      m_log->entries.push_back({name ? name : "", found});
    }
    m_size = m_inner->size();
    return found;
  }
  bool create(const char*) override { return false; }
  bool close() override {
    m_size = 0;
    return m_inner->close();
  }
  int read(void* buffer, int count) override { return m_inner->read(buffer, count); }
  int write(const void*, int) override { return 0; }
  bool seek(int position) override { return m_inner->seek(position); }
  bool skip(int delta) override { return m_inner->skip(delta); }
  int tell() override { return m_inner->tell(); }

  // What was asked so far.
  Log log() const {
    std::lock_guard<std::mutex> lock(m_log->mutex);
    return m_log->entries;
  }
  // The names asked for that did not open, each once, in the order asked.
  std::vector<std::string> missing() const {
    std::vector<std::string> names;
    for (const auto& [name, found] : log())
      if (!found && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    return names;
  }

 private:
  struct Shared {
    std::mutex mutex;
    Log entries;
  };
  RecordingFile(const File& inner, std::shared_ptr<Shared> log) : m_inner(inner.clone()), m_log(std::move(log)) {}

  std::unique_ptr<File> m_inner;
  std::shared_ptr<Shared> m_log;
};
