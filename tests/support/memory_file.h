// A File over bytes in memory, for tests that feed loaders exact bytes
// without touching the disk. Names map to contents; open() finds a name
// exactly, create() starts an empty entry that write() fills.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/file.h"

class MemoryFile : public File {
 public:
  using Store = std::map<std::string, std::vector<unsigned char>>;

  MemoryFile() : m_store(std::make_shared<Store>()) {}
  explicit MemoryFile(std::shared_ptr<Store> store) : m_store(std::move(store)) {}

  // Adds or replaces a named file in the shared store.
  void put(const std::string& name, std::vector<unsigned char> bytes) { (*m_store)[name] = std::move(bytes); }
  void put(const std::string& name, const std::string& text) {
    put(name, std::vector<unsigned char>(text.begin(), text.end()));
  }
  const std::vector<unsigned char>* contents(const std::string& name) const;

  File* clone() const override { return new MemoryFile(m_store); }
  bool exists(const char* name) override { return name && m_store->count(name) > 0; }
  bool open(const char* name) override;
  bool create(const char* name) override;
  bool close() override;
  int read(void* buffer, int count) override;
  int write(const void* buffer, int count) override;
  bool seek(int position) override;
  bool skip(int delta) override;
  int tell() override { return m_open ? m_position : -1; }

 protected:
  // The shared store, for derived test files that clone themselves.
  const std::shared_ptr<Store>& storeForClone() const { return m_store; }

 private:
  std::shared_ptr<Store> m_store;
  std::string m_name;
  bool m_open = false;
  int m_position = 0;
};
