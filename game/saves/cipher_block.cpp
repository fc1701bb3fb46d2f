#include "game/saves/cipher_block.h"

#include <climits>
#include <vector>

#include "foundation/byte_fields.h"
#include "game/saves/file_checksum.h"

namespace {

bool writeAll(File& file, const std::uint8_t* data, std::size_t count) {
  if (count > static_cast<std::size_t>(INT_MAX)) return false;
  return file.write(data, static_cast<int>(count)) == static_cast<int>(count);
}

bool readAll(File& file, std::uint8_t* data, std::size_t count) {
  if (count > static_cast<std::size_t>(INT_MAX)) return false;
  std::size_t done = 0;
  while (done < count) {
    const int n = file.read(data + done, static_cast<int>(count - done));
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool writeCipherBlock(const Blowfish& cipher, const std::uint8_t* data, std::size_t length, File& file) {
  const std::size_t padding = cipherBlockPadding(length);
  std::uint8_t head[5];
  FieldWriter writer(head, sizeof head);
  writer.u32(FileChecksum(data, length));
  writer.u8(static_cast<std::uint8_t>(padding));

  std::vector<std::uint8_t> body(length + padding, 0);
  if (length > 0 && data) std::copy(data, data + length, body.begin());
  cipher.encipher(body.data(), body.size(), Blowfish::kModeCFB);
  return writeAll(file, head, sizeof head) && writeAll(file, body.data(), body.size());
}

bool readCipherBlock(const Blowfish& cipher, std::uint8_t* destination, std::size_t length, File& file) {
  std::uint8_t head[5];
  if (!readAll(file, head, sizeof head)) return false;
  FieldReader reader(head, sizeof head);
  const std::uint32_t stored = reader.u32();
  const std::size_t padding = reader.u8();
  if (padding != cipherBlockPadding(length)) return false;

  std::vector<std::uint8_t> body(length + padding, 0);
  if (!readAll(file, body.data(), body.size())) return false;
  cipher.decipher(body.data(), body.size(), Blowfish::kModeCFB);
  if (FileChecksum(body.data(), length) != stored) return false;
  if (length > 0) std::copy(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(length), destination);
  return true;
}
