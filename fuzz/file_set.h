// The fuzzer's bytes as several files: the input is cut at every
// kFileSeparator. The first part is the file the target opens itself; every
// other name, when it is first asked for (exists or open), gets the next
// part in order, and keeps it. An empty part, or a name asked for after the
// parts have run out, is a file that does not exist: the input decides
// which of the files a scene or an object names are there.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/file.h"

inline constexpr std::string_view kFileSeparator = "\n--next file--\n";

class FuzzFileSet : public File {
 public:
  // `main` is the name of the first part.
  FuzzFileSet(const std::uint8_t* data, std::size_t size, std::string main) : m_set(std::make_shared<Set>()) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    for (;;) {
      const std::size_t end = all.find(kFileSeparator, start);
      m_set->parts.push_back(all.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
      if (end == std::string_view::npos) break;
      start = end + kFileSeparator.size();
    }
    m_set->names[std::move(main)] = 0;
  }

  File* clone() const override { return new FuzzFileSet(m_set); }
  bool exists(const char* name) override { return name && partOf(name) != nullptr; }
  bool open(const char* name) override {
    if (m_part || !name) return false;
    m_part = partOf(name);
    if (!m_part) return false;
    m_position = 0;
    m_size = static_cast<int>(std::min<std::size_t>(m_part->size(), 0x7FFFFFFF));
    return true;
  }
  bool create(const char*) override { return false; }
  bool close() override {
    if (!m_part) return false;
    m_part = nullptr;
    m_size = 0;
    return true;
  }
  int read(void* buffer, int count) override {
    if (!m_part || count <= 0) return 0;
    const int n = std::min(count, m_size - m_position);
    if (n <= 0) return 0;
    std::memcpy(buffer, m_part->data() + m_position, static_cast<std::size_t>(n));
    m_position += n;
    return n;
  }
  int write(const void*, int) override { return 0; }
  bool seek(int position) override {
    if (!m_part || position < 0) return false;
    m_position = std::min(position, m_size);
    return true;
  }
  bool skip(int delta) override {
    return m_part &&
           seek(static_cast<int>(std::clamp<long long>(static_cast<long long>(m_position) + delta, -1, m_size)));
  }
  int tell() override { return m_position; }

 private:
  struct Set {
    std::vector<std::string_view> parts;
    std::map<std::string, std::size_t> names;
  };
  explicit FuzzFileSet(std::shared_ptr<Set> set) : m_set(std::move(set)) {}

  const std::string_view* partOf(const char* name) {
    auto [at, added] = m_set->names.try_emplace(name, m_set->names.size());
    if (at->second >= m_set->parts.size() || m_set->parts[at->second].empty()) return nullptr;
    return &m_set->parts[at->second];
  }

  std::shared_ptr<Set> m_set;
  const std::string_view* m_part = nullptr;
  int m_position = 0;
};

// The parts of a seed, joined as the file set reads them.
inline std::vector<std::uint8_t> joinFiles(const std::vector<std::vector<std::uint8_t>>& files) {
  std::vector<std::uint8_t> joined;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (i > 0) joined.insert(joined.end(), kFileSeparator.begin(), kFileSeparator.end());
    joined.insert(joined.end(), files[i].begin(), files[i].end());
  }
  return joined;
}
