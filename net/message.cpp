// Relay message framing.
#include "net/message.h"

#include <cstring>

#include "foundation/byte_fields.h"

namespace net {

void MessageQueue::append(const std::uint8_t* data, std::size_t length) {
  if (!data || length == 0) return;
  // Compact before growing so a long session does not keep every byte.
  if (m_head > 0 && m_readLen < 0 && m_head >= m_bytes.size() / 2) {
    m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(m_head));
    m_head = 0;
  }
  m_bytes.insert(m_bytes.end(), data, data + length);
}

MessageQueue::Front MessageQueue::front() {
  m_readLen = -1;
  m_readBufferPos = -1;
  m_readFailed = false;
  if (queued() < 2) return Front::None;
  const int length = FieldReader(m_bytes.data() + m_head, 2).u16();
  if (length < kHeaderSize || length >= kMaxMessageLength) return Front::Malformed;
  if (queued() < static_cast<std::size_t>(length)) return Front::None;
  m_readLen = length;
  m_readBufferPos = 2;
  return Front::Ready;
}

bool MessageQueue::take(std::size_t count, const std::uint8_t** out) {
  if (m_readLen < 0 || m_readBufferPos < 0 ||
      static_cast<std::size_t>(m_readBufferPos) + count > static_cast<std::size_t>(m_readLen)) {
    m_readFailed = true;
    return false;
  }
  *out = m_bytes.data() + m_head + m_readBufferPos;
  m_readBufferPos += static_cast<int>(count);
  return true;
}

bool MessageQueue::readU8(std::uint8_t& out) {
  const std::uint8_t* p;
  if (!take(1, &p)) return false;
  out = p[0];
  return true;
}

bool MessageQueue::readU16(std::uint16_t& out) {
  const std::uint8_t* p;
  if (!take(2, &p)) return false;
  out = FieldReader(p, 2).u16();
  return true;
}

bool MessageQueue::readU32(std::uint32_t& out) {
  const std::uint8_t* p;
  if (!take(4, &p)) return false;
  out = FieldReader(p, 4).u32();
  return true;
}

bool MessageQueue::readBytes(std::uint8_t* out, std::size_t count) {
  const std::uint8_t* p;
  if (!take(count, &p)) return false;
  if (count) std::memcpy(out, p, count);
  return true;
}

void MessageQueue::endMessage() {
  if (m_readLen > 0) m_head += static_cast<std::size_t>(m_readLen);
  if (m_head >= m_bytes.size()) {
    m_bytes.clear();
    m_head = 0;
  }
  m_readLen = -1;
  m_readBufferPos = -1;
  m_readFailed = false;
}

void MessageQueue::clear() {
  m_bytes.clear();
  m_head = 0;
  m_readLen = -1;
  m_readBufferPos = -1;
  m_readFailed = false;
}

void MessageWriter::begin(std::uint16_t id) {
  if (m_open) end();
  m_start = m_data.size();
  m_open = true;
  writeU16(0);
  writeU16(id);
}

void MessageWriter::writeU16(std::uint16_t v) {
  std::uint8_t bytes[2];
  FieldWriter(bytes, sizeof bytes).u16(v);
  writeBytes(bytes, sizeof bytes);
}

void MessageWriter::writeU32(std::uint32_t v) {
  std::uint8_t bytes[4];
  FieldWriter(bytes, sizeof bytes).u32(v);
  writeBytes(bytes, sizeof bytes);
}

void MessageWriter::writeBytes(const std::uint8_t* data, std::size_t count) {
  if (count) m_data.insert(m_data.end(), data, data + count);
}

bool MessageWriter::end() {
  if (!m_open) return false;
  m_open = false;
  const std::size_t length = m_data.size() - m_start;
  if (length >= static_cast<std::size_t>(kMaxMessageLength)) {
    m_data.resize(m_start);
    return false;
  }
  FieldWriter(m_data.data() + m_start, 2).u16(static_cast<std::uint16_t>(length));
  return true;
}

void MessageWriter::clear() {
  if (m_data.capacity() > kKeptCapacity)
    std::vector<std::uint8_t>().swap(m_data);
  else
    m_data.clear();
  m_start = 0;
  m_open = false;
}

}  // namespace net
