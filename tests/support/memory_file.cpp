#include "tests/support/memory_file.h"

#include <algorithm>
#include <cstring>

const std::vector<unsigned char>* MemoryFile::contents(const std::string& name) const {
  auto it = m_store->find(name);
  return it == m_store->end() ? nullptr : &it->second;
}

bool MemoryFile::open(const char* name) {
  if (m_open || !exists(name)) return false;
  m_name = name;
  m_open = true;
  m_position = 0;
  m_size = static_cast<int>((*m_store)[m_name].size());
  return true;
}

bool MemoryFile::create(const char* name) {
  if (m_open || !name) return false;
  m_name = name;
  (*m_store)[m_name].clear();
  m_open = true;
  m_position = 0;
  m_size = 0;
  return true;
}

bool MemoryFile::close() {
  if (!m_open) return false;
  m_open = false;
  m_size = 0;
  return true;
}

int MemoryFile::read(void* buffer, int count) {
  if (!m_open || count <= 0) return 0;
  const auto& bytes = (*m_store)[m_name];
  const int available = std::max(0, static_cast<int>(bytes.size()) - m_position);
  const int n = std::min(count, available);
  if (n > 0) std::memcpy(buffer, bytes.data() + m_position, static_cast<std::size_t>(n));
  m_position += n;
  return n;
}

int MemoryFile::write(const void* buffer, int count) {
  if (!m_open || count <= 0) return 0;
  auto& bytes = (*m_store)[m_name];
  if (bytes.size() < static_cast<std::size_t>(m_position + count))
    bytes.resize(static_cast<std::size_t>(m_position + count));
  std::memcpy(bytes.data() + m_position, buffer, static_cast<std::size_t>(count));
  m_position += count;
  m_size += count;
  return count;
}

bool MemoryFile::seek(int position) {
  if (!m_open || position < 0) return false;
  m_position = position;
  return true;
}

bool MemoryFile::skip(int delta) { return m_open && seek(m_position + delta); }
