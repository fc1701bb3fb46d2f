// The abstract replicated value that NetControl keeps in its registry.
#pragma once

#include <cstdint>
#include <string>

// Flag bits of a replicated value.
inline constexpr std::uint32_t kNetAcceptReceived = 1;  // commit takes received data
inline constexpr std::uint32_t kNetSendChanges = 2;     // setters mark dirty; update sends

class NetValueBase {
 public:
  // The current value's bytes in memory.
  virtual const void* getData() const = 0;
  // Payload length on the wire.
  virtual int size() const = 0;
  virtual bool isDirty() const = 0;
  // Decodes exactly size() payload bytes into the received copy. A payload
  // of any other length, or one the value's own check refuses, is refused
  // (false) and changes nothing.
  virtual bool setReceived(const std::uint8_t* data, int length) = 0;
  // End of frame: received data becomes current when accepted; dirty and
  // received are cleared.
  virtual void commit() = 0;
  virtual int getId() const = 0;
  virtual std::uint32_t getFlags() const = 0;
  virtual const std::string& getName() const = 0;
  virtual void setName(const char* name) = 0;
  // Encodes the current value: size() bytes, little-endian.
  virtual void writeWire(std::uint8_t* out) const = 0;

 protected:
  // Owners hold NetValue<T> members and destroy them as such.
  ~NetValueBase() = default;
};

// Ids a value may be sent under: 0 to 1999 except the relay's control
// messages 1 to 4 and 6 to 11.
inline constexpr bool isSendableNetId(int id) {
  return id >= 0 && id < 2000 && !(id >= 1 && id <= 4) && !(id >= 6 && id <= 11);
}
