#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "game/saves/blowfish.h"
#include "game/saves/cipher_block.h"
#include "game/saves/file_checksum.h"
#include "tests/support/memory_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Blowfish keyed(const std::string& key) {
  Blowfish cipher;
  cipher.setKey(key.data(), key.size());
  return cipher;
}

Bytes ecb(const Bytes& key, Bytes block) {
  Blowfish cipher;
  cipher.setKey(key.data(), key.size());
  cipher.encipher(block.data(), block.size(), Blowfish::kModeECB);
  return block;
}

}  // namespace

TEST(Blowfish, MatchesThePublishedTestVectors) {
  EXPECT_EQ(ecb(Bytes(8, 0x00), Bytes(8, 0x00)), (Bytes{0x4E, 0xF9, 0x97, 0x45, 0x61, 0x98, 0xDD, 0x78}));
  EXPECT_EQ(ecb(Bytes(8, 0xFF), Bytes(8, 0xFF)), (Bytes{0x51, 0x86, 0x6F, 0xD5, 0xB8, 0x5E, 0xCB, 0x8A}));
  EXPECT_EQ(ecb(Bytes{0x30, 0, 0, 0, 0, 0, 0, 0}, Bytes{0x10, 0, 0, 0, 0, 0, 0, 0x01}),
            (Bytes{0x7D, 0x85, 0x6F, 0x9A, 0x61, 0x30, 0x63, 0xF2}));
}

TEST(Blowfish, FeedbackAndChainingModesGiveTheKnownCiphertext) {
  // Both buffers enciphered with the settings key from a zero vector.
  const Blowfish cipher = keyed("Hq4Tz8Wc2Ry6Pk1N");
  const std::string text = "0123456789ABCDEF";

  Bytes cfb(text.begin(), text.end());
  cipher.encipher(cfb.data(), cfb.size(), Blowfish::kModeCFB);
  EXPECT_EQ(cfb,
            (Bytes{0xFF, 0xE0, 0x80, 0xD0, 0x0A, 0x4D, 0x05, 0x2A, 0xD2, 0x51, 0xA3, 0x9A, 0x77, 0x44, 0x3D, 0x1E}));
  Bytes cbc(text.begin(), text.end());
  cipher.encipher(cbc.data(), cbc.size(), Blowfish::kModeCBC);
  EXPECT_EQ(cbc,
            (Bytes{0x85, 0xAC, 0xA2, 0x0D, 0x1A, 0xE3, 0xEA, 0x7C, 0x8A, 0x08, 0x53, 0x14, 0x48, 0x8B, 0x73, 0x64}));

  // Each call starts from the initial vector again, so a second call on the
  // same plain text gives the same bytes, and both modes decipher back.
  Bytes again(text.begin(), text.end());
  cipher.encipher(again.data(), again.size(), Blowfish::kModeCFB);
  EXPECT_EQ(again, cfb);
  cipher.decipher(cfb.data(), cfb.size(), Blowfish::kModeCFB);
  cipher.decipher(cbc.data(), cbc.size(), Blowfish::kModeCBC);
  EXPECT_EQ(std::string(cfb.begin(), cfb.end()), text);
  EXPECT_EQ(std::string(cbc.begin(), cbc.end()), text);
}

TEST(Blowfish, UsesTheKeyCyclicallyAndAtMost56Bytes) {
  Bytes block(8, 0x5A);
  const Bytes shortKey = {1, 2, 3};
  const Bytes repeated = {1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3};
  EXPECT_EQ(ecb(shortKey, block), ecb(repeated, block));

  Bytes longKey(56, 7), longer(56, 7);
  longer.push_back(99);
  EXPECT_EQ(ecb(longKey, block), ecb(longer, block));

  // An empty key still gives a working cipher instead of a division by zero.
  Blowfish cipher;
  cipher.setKey(nullptr, 0);
  cipher.encipher(block.data(), block.size(), Blowfish::kModeCFB);
  cipher.decipher(block.data(), block.size(), Blowfish::kModeCFB);
  EXPECT_EQ(block, Bytes(8, 0x5A));
}

TEST(FileChecksum, FollowsItsShortInputRules) {
  EXPECT_EQ(FileChecksum("abc", 3), 0xD9D5C2DBu);
  EXPECT_EQ(FileChecksum("", 0), 0u);
  EXPECT_EQ(FileChecksum("\x01", 1), 0x4A365D03u);

  // Only the first four bytes, the length and the first (length mod 4)
  // bytes count: stored files depend on exactly that.
  Bytes a(294, 0), b(294, 0x77);
  a[0] = b[0] = 0x00;
  a[1] = b[1] = 0x04;
  a[2] = b[2] = a[3] = b[3] = 0;
  EXPECT_EQ(FileChecksum(a.data(), a.size()), 0x7CEF0D12u);
  EXPECT_EQ(FileChecksum(a.data(), a.size()), FileChecksum(b.data(), b.size()));
  EXPECT_NE(FileChecksum(a.data(), 293), FileChecksum(a.data(), 294));
  a[0] = 1;
  EXPECT_NE(FileChecksum(a.data(), a.size()), FileChecksum(b.data(), b.size()));
}

TEST(CipherBlock, WritesTheChecksumPadCountAndCipherText) {
  const Blowfish cipher = keyed("Hq4Tz8Wc2Ry6Pk1N");
  MemoryFile file;
  ASSERT_TRUE(file.create("block"));
  ASSERT_TRUE(writeCipherBlock(cipher, reinterpret_cast<const std::uint8_t*>("abc"), 3, file));
  file.close();
  EXPECT_EQ(*file.contents("block"),
            (Bytes{0xDB, 0xC2, 0xD5, 0xD9, 0x05, 0xAE, 0xB3, 0xD1, 0xE3, 0x3E, 0x78, 0x33, 0x1D}));

  ASSERT_TRUE(file.open("block"));
  char out[3] = {};
  EXPECT_TRUE(readCipherBlock(cipher, reinterpret_cast<std::uint8_t*>(out), 3, file));
  EXPECT_EQ(std::string(out, 3), "abc");
}

TEST(CipherBlock, RejectsShortForeignAndDamagedBlocksWithoutTouchingTheDestination) {
  const Blowfish cipher = keyed("Hq4Tz8Wc2Ry6Pk1N");
  Bytes plain(294);
  for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(i * 7);
  MemoryFile file;
  ASSERT_TRUE(file.create("good"));
  ASSERT_TRUE(writeCipherBlock(cipher, plain.data(), plain.size(), file));
  file.close();
  const Bytes good = *file.contents("good");
  ASSERT_EQ(good.size(), 301u);

  auto readBack = [&](const Bytes& bytes, std::size_t length) {
    file.put("case", bytes);
    file.close();
    EXPECT_TRUE(file.open("case"));
    Bytes out(length, 0xEE);
    const bool ok = readCipherBlock(cipher, out.data(), length, file);
    file.close();
    if (!ok) {
      EXPECT_EQ(out, Bytes(length, 0xEE)) << "a failed block must leave the destination as it was";
    }
    return ok;
  };

  EXPECT_TRUE(readBack(good, 294));
  // Cut anywhere, even past the bytes the checksum looks at.
  for (std::size_t cut : {0u, 3u, 5u, 12u, 300u}) EXPECT_FALSE(readBack(Bytes(good.begin(), good.begin() + cut), 294));
  Bytes wrongPad = good;
  wrongPad[4] = 200;
  EXPECT_FALSE(readBack(wrongPad, 294));
  Bytes wrongSum = good;
  wrongSum[0] ^= 1;
  EXPECT_FALSE(readBack(wrongSum, 294));
  // The wrong length for the block: the pad count no longer fits.
  EXPECT_FALSE(readBack(good, 296));
}
