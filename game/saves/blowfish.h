// The block cipher of the settings and score files: Blowfish over 8-byte
// blocks, each taken as two big-endian 32-bit halves. The files use 64-bit
// cipher feedback from a zero initial vector; CBC and ECB come with it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class Blowfish {
 public:
  enum Mode { kModeECB = 0, kModeCBC = 1, kModeCFB = 2 };
  static constexpr std::size_t kMaxKeyLength = 56;

  Blowfish();

  // The standard key schedule; the key is used cyclically, at most 56 bytes
  // of it. `iv` may be null for a zero initial vector.
  void setKey(const void* key, std::size_t keyLength, const std::uint8_t* iv = nullptr);

  // Whole 8-byte blocks only (length / 8 of them); trailing bytes are left as
  // they are. Every call starts the chain again from the initial vector, so
  // buffers are enciphered independently of each other. Mode 1 is CBC, 2 CFB
  // with 64-bit feedback, any other value ECB.
  void encipher(std::uint8_t* buffer, std::size_t length, int mode) const;
  void decipher(std::uint8_t* buffer, std::size_t length, int mode) const;

  // One block as two halves, left then right.
  void encipherBlock(std::uint32_t& left, std::uint32_t& right) const;
  void decipherBlock(std::uint32_t& left, std::uint32_t& right) const;

 private:
  std::uint32_t feistel(std::uint32_t x) const;
  void encipherBytes(std::uint8_t* block) const;
  void decipherBytes(std::uint8_t* block) const;

  std::array<std::uint32_t, 18> m_p{};
  std::array<std::array<std::uint32_t, 256>, 4> m_s{};
  std::array<std::uint8_t, 8> m_iv{};
};
