#include "game/saves/blowfish.h"

#include <algorithm>
#include <cstring>

#include "game/saves/blowfish_tables.h"

namespace {

std::uint32_t loadBigEndian(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void storeBigEndian(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

}  // namespace

Blowfish::Blowfish() { setKey(nullptr, 0); }

void Blowfish::setKey(const void* key, std::size_t keyLength, const std::uint8_t* iv) {
  std::copy(std::begin(kBlowfishInitialP), std::end(kBlowfishInitialP), m_p.begin());
  for (int box = 0; box < 4; ++box) {
    std::copy(std::begin(kBlowfishInitialS[box]), std::end(kBlowfishInitialS[box]), m_s[box].begin());
  }
  if (iv) {
    std::memcpy(m_iv.data(), iv, m_iv.size());
  } else {
    m_iv.fill(0);
  }

  // An empty key leaves the P-array as it starts; the schedule below still
  // runs so that the object is a usable cipher.
  const auto* bytes = static_cast<const std::uint8_t*>(key);
  const std::size_t length = bytes ? std::min(keyLength, kMaxKeyLength) : 0;
  if (length > 0) {
    std::size_t k = 0;
    for (auto& word : m_p) {
      std::uint32_t data = 0;
      for (int i = 0; i < 4; ++i) {
        data = (data << 8) | bytes[k];
        k = (k + 1) % length;
      }
      word ^= data;
    }
  }

  std::uint32_t left = 0, right = 0;
  for (std::size_t i = 0; i < m_p.size(); i += 2) {
    encipherBlock(left, right);
    m_p[i] = left;
    m_p[i + 1] = right;
  }
  for (auto& box : m_s) {
    for (std::size_t i = 0; i < box.size(); i += 2) {
      encipherBlock(left, right);
      box[i] = left;
      box[i + 1] = right;
    }
  }
}

std::uint32_t Blowfish::feistel(std::uint32_t x) const {
  return ((m_s[0][x >> 24] + m_s[1][(x >> 16) & 0xFF]) ^ m_s[2][(x >> 8) & 0xFF]) + m_s[3][x & 0xFF];
}

void Blowfish::encipherBlock(std::uint32_t& left, std::uint32_t& right) const {
  std::uint32_t l = left, r = right;
  for (int round = 0; round < 16; ++round) {
    l ^= m_p[round];
    r ^= feistel(l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= m_p[16];
  l ^= m_p[17];
  left = l;
  right = r;
}

void Blowfish::decipherBlock(std::uint32_t& left, std::uint32_t& right) const {
  std::uint32_t l = left, r = right;
  for (int round = 17; round > 1; --round) {
    l ^= m_p[round];
    r ^= feistel(l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= m_p[1];
  l ^= m_p[0];
  left = l;
  right = r;
}

void Blowfish::encipherBytes(std::uint8_t* block) const {
  std::uint32_t left = loadBigEndian(block), right = loadBigEndian(block + 4);
  encipherBlock(left, right);
  storeBigEndian(block, left);
  storeBigEndian(block + 4, right);
}

void Blowfish::decipherBytes(std::uint8_t* block) const {
  std::uint32_t left = loadBigEndian(block), right = loadBigEndian(block + 4);
  decipherBlock(left, right);
  storeBigEndian(block, left);
  storeBigEndian(block + 4, right);
}

void Blowfish::encipher(std::uint8_t* buffer, std::size_t length, int mode) const {
  if (!buffer) return;
  std::array<std::uint8_t, 8> chain = m_iv;
  for (std::size_t offset = 0; offset + 8 <= length; offset += 8) {
    std::uint8_t* block = buffer + offset;
    if (mode == kModeCBC) {
      for (int i = 0; i < 8; ++i) block[i] ^= chain[i];
      encipherBytes(block);
      std::memcpy(chain.data(), block, 8);
    } else if (mode == kModeCFB) {
      encipherBytes(chain.data());
      for (int i = 0; i < 8; ++i) block[i] ^= chain[i];
      std::memcpy(chain.data(), block, 8);
    } else {
      encipherBytes(block);
    }
  }
}

void Blowfish::decipher(std::uint8_t* buffer, std::size_t length, int mode) const {
  if (!buffer) return;
  std::array<std::uint8_t, 8> chain = m_iv;
  for (std::size_t offset = 0; offset + 8 <= length; offset += 8) {
    std::uint8_t* block = buffer + offset;
    std::array<std::uint8_t, 8> cipher;
    std::memcpy(cipher.data(), block, 8);
    if (mode == kModeCBC) {
      decipherBytes(block);
      for (int i = 0; i < 8; ++i) block[i] ^= chain[i];
      chain = cipher;
    } else if (mode == kModeCFB) {
      // Feedback mode only ever runs the cipher forwards.
      encipherBytes(chain.data());
      for (int i = 0; i < 8; ++i) block[i] ^= chain[i];
      chain = cipher;
    } else {
      decipherBytes(block);
    }
  }
}
