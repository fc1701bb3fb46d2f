// Framing of relay messages, shared by the relay server and the client:
// little-endian u16 total length (the 4-byte header included), u16 id,
// payload. Lengths arrive from peers, so every read is checked against the
// message it belongs to and a length that cannot be parsed is reported
// instead of being looped on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace net {

inline constexpr int kHeaderSize = 4;
// A length field of this or more cannot be parsed; the connection is dropped.
inline constexpr int kMaxMessageLength = 32000;
// Seats in a game: slots 0 (the host) to 4.
inline constexpr int kPlayerSlots = 5;

enum MessageId : std::uint16_t {
  kHost = 1,
  kJoin = 2,
  kAccepted = 3,
  kRefused = 4,
  kLeave = 6,
  kReserved = 7,
  kRequestValues = 8,
  kValuesEnded = 9,
  kLock = 10,
  kBarrier = 11,
  kValueIdCount = 2000,  // value ids are below this
};

// Bytes received but not yet consumed, read one message at a time.
class MessageQueue {
 public:
  enum class Front { None, Ready, Malformed };

  void append(const std::uint8_t* data, std::size_t length);
  // Looks at the front of the queue. Ready: a whole message is queued and
  // becomes the current one (its id still to be read). Malformed: its length
  // field is below 4 or 32000 and more; nothing can be parsed after it.
  Front front();
  // Reads from the current message and advance; false (and nothing read)
  // when the message holds too few bytes. readFailed() then stays true until
  // endMessage.
  bool readU8(std::uint8_t& out);
  bool readU16(std::uint16_t& out);
  bool readU32(std::uint32_t& out);
  bool readBytes(std::uint8_t* out, std::size_t count);
  // Payload length of the current message (its length minus the header).
  int readChunkSize() const { return m_readLen - kHeaderSize; }
  int readLen() const { return m_readLen; }
  int readPosition() const { return m_readBufferPos; }
  bool readFailed() const { return m_readFailed; }
  // The current message's bytes from the header on.
  const std::uint8_t* messageData() const { return m_bytes.data() + m_head; }
  // Drops the current message, however much of it was read.
  void endMessage();
  std::size_t queued() const { return m_bytes.size() - m_head; }
  void clear();

 private:
  bool take(std::size_t count, const std::uint8_t** out);

  std::vector<std::uint8_t> m_bytes;
  std::size_t m_head = 0;  // consumed bytes at the front, dropped in bulk
  int m_readLen = -1;
  int m_readBufferPos = -1;
  bool m_readFailed = false;
};

// One or more messages being written; each begin patches the previous
// message's length when it ends.
class MessageWriter {
 public:
  void begin(std::uint16_t id);
  void writeU8(std::uint8_t v) { m_data.push_back(v); }
  void writeU16(std::uint16_t v);
  void writeU32(std::uint32_t v);
  void writeBytes(const std::uint8_t* data, std::size_t count);
  // Patches the current message's length. False (and the message removed)
  // when it came to kMaxMessageLength bytes or more.
  bool end();
  const std::uint8_t* data() const { return m_data.data(); }
  std::size_t size() const { return m_data.size(); }
  bool empty() const { return m_data.empty(); }
  std::size_t capacity() const { return m_data.capacity(); }
  void reserve(std::size_t bytes) { m_data.reserve(bytes); }
  // Empties the writer; a buffer grown past kKeptCapacity by a large
  // message is given back, so a writer does not keep its largest message's
  // size for the rest of its life.
  void clear();

  static constexpr std::size_t kKeptCapacity = 64 * 1024;

 private:
  std::vector<std::uint8_t> m_data;
  std::size_t m_start = 0;
  bool m_open = false;
};

}  // namespace net
