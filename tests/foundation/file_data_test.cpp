#include "foundation/file_data.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "content/bmp_writer.h"
#include "content/jpeg_writer.h"
#include "tests/support/memory_file.h"
#include "tests/support/report_capture.h"

namespace {

class Tracked : public RefCounted {
 public:
  explicit Tracked(int* deaths) : m_deaths(deaths) {}
  ~Tracked() override { ++*m_deaths; }

 private:
  int* m_deaths;
};

// A file whose reads stop short of the size it reports, like a disk file cut
// while it is read.
class ShortReadFile : public MemoryFile {
 public:
  using MemoryFile::MemoryFile;
  File* clone() const override { return new ShortReadFile(*this); }
  int read(void* buffer, int count) override {
    if (m_readOnce) return 0;
    m_readOnce = true;
    return MemoryFile::read(buffer, std::min(count, 3));
  }

 private:
  bool m_readOnce = false;
};

using FileDataTest = ReportCapture;

}  // namespace

TEST(RefCountedTest, TheLastReleaseDeletesAndRefPtrHoldsOneReference) {
  int deaths = 0;
  auto* object = new Tracked(&deaths);
  EXPECT_EQ(object->refCount(), 1) << "born holding the creator's reference";
  {
    RefPtr<Tracked> first(object);  // adopts the creator's reference
    RefPtr<Tracked> second = first;
    EXPECT_EQ(object->refCount(), 2);
    RefPtr<Tracked> moved = std::move(second);
    EXPECT_EQ(object->refCount(), 2) << "a move hands the reference over";
    first.reset();
    EXPECT_EQ(deaths, 0);
  }
  EXPECT_EQ(deaths, 1);

  RefPtr<Tracked> held(new Tracked(&deaths));
  Tracked* raw = held.detach();
  EXPECT_FALSE(held);
  EXPECT_EQ(raw->refCount(), 1);
  raw->release();
  EXPECT_EQ(deaths, 2);
}

TEST_F(FileDataTest, LoadFileDataReadsTheWholeFileThroughAClone) {
  MemoryFile files;
  files.put("Textures\\sky.dds", std::string("DDS 12345"));
  RefPtr<FileData> data(loadFileData("Textures\\sky.dds", files));
  ASSERT_TRUE(data);
  EXPECT_EQ(data->size(), 9);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data->data()), 9), "DDS 12345");
  EXPECT_EQ(files.tell(), -1) << "the prototype itself is never opened";

  EXPECT_EQ(loadFileData("Textures\\missing.dds", files), nullptr);
  EXPECT_TRUE(lastMessage().empty()) << "a missing file is not an error";

  files.put("empty", std::string());
  RefPtr<FileData> empty(loadFileData("empty", files));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->size(), 0);
}

TEST_F(FileDataTest, LoadFileDataRefusesAFileThatCannotBeReadWhole) {
  ShortReadFile files;
  files.put("cut.dds", std::string("0123456789"));
  EXPECT_EQ(loadFileData("cut.dds", files), nullptr);
  EXPECT_EQ(lastMessage(), "loadFileData: read 3 of 10 bytes of \"cut.dds\"\n");
}

TEST_F(FileDataTest, LoadImageChoosesTheDecoderByTheLastThreeLetters) {
  const std::vector<std::uint32_t> pixels = {0x102030, 0x405060};
  const std::vector<std::uint8_t> bmp = writeBmp24(2, 1, pixels);
  const std::vector<std::uint8_t> jpeg = writeJpegGrey(8, 8, std::vector<std::uint8_t>(64, 200));
  MemoryFile files;
  files.put("a.bmp", bmp);
  files.put("B.BMP", bmp);
  files.put("c.JPG", jpeg);
  files.put("d.jpeg", jpeg);
  files.put("e.pcx", bmp);
  files.put("bmp", bmp);
  files.put("mp", bmp);

  for (const char* name : {"a.bmp", "B.BMP", "bmp"}) {
    RefPtr<Image> image(loadImage(files, name, true));
    ASSERT_TRUE(image) << name;
    EXPECT_EQ(image->pixel(0, 1), 0xFF405060u) << name;
  }
  RefPtr<Image> jpg(loadImage(files, "c.JPG", false));
  ASSERT_TRUE(jpg) << "the extension test ignores case";
  EXPECT_EQ(jpg->width(), 8);

  EXPECT_EQ(loadImage(files, "d.jpeg", false), nullptr) << "\"peg\" is no picture extension";
  EXPECT_EQ(loadImage(files, "e.pcx", false), nullptr) << "PCX pictures go through PcxImage";
  EXPECT_EQ(loadImage(files, "mp", false), nullptr);
  EXPECT_EQ(loadImage(files, "missing.bmp", false), nullptr);
  EXPECT_EQ(loadImage(files, nullptr, false), nullptr);
  EXPECT_TRUE(lastMessage().empty());
  EXPECT_EQ(files.tell(), -1);

  files.put("wrong.jpg", bmp);
  EXPECT_EQ(loadImage(files, "wrong.jpg", false), nullptr) << "the extension decides, not the contents";
  EXPECT_EQ(lastMessage().rfind("JPEG: ", 0), 0u) << lastMessage();
}
