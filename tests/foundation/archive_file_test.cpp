#include "foundation/archive_file.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "content/archive_writer.h"
#include "content/burrows_wheeler_encoder.h"
#include "foundation/report.h"
#include "tests/foundation/memory_bound.h"
#include "tests/support/memory_file.h"
#include "tests/support/report_capture.h"

// ---- failing allocations ----------------------------------------------------
// Under AddressSanitizer no address-space limit can fail an allocation (the
// sanitizer reserves terabytes up front and ends the process when one
// fails), so this program's array new can be told to fail large requests
// instead; otherwise it is the runtime's own (the sanitizer's, when there is
// one), found behind this definition.

namespace {

std::atomic<std::size_t> g_failAllocationsAbove{0};  // 0: none fail
std::atomic<int> g_failedAllocations{0};

// Array new fails for requests above `bytes` while this lives.
class FailAllocationsAbove {
 public:
  explicit FailAllocationsAbove(std::size_t bytes) {
    g_failedAllocations = 0;
    g_failAllocationsAbove = bytes;
  }
  ~FailAllocationsAbove() { g_failAllocationsAbove = 0; }
  FailAllocationsAbove(const FailAllocationsAbove&) = delete;
  FailAllocationsAbove& operator=(const FailAllocationsAbove&) = delete;
  int failures() const { return g_failedAllocations; }
};

}  // namespace

void* operator new[](std::size_t size) {
  using ArrayNew = void* (*)(std::size_t);
  static const auto next = reinterpret_cast<ArrayNew>(::dlsym(RTLD_NEXT, "_Znam"));
  const std::size_t limit = g_failAllocationsAbove.load(std::memory_order_relaxed);
  if (limit != 0 && size > limit) {
    ++g_failedAllocations;
    throw std::bad_alloc();
  }
  return next(size);
}

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes randomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes bytes(n);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

Bytes textBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Reports land in g_lastMessage, so a test can read what an open reported.
class ArchiveTest : public ReportCapture {
 protected:
  // Puts the writer's archive into memory as "data.sar" and mounts it.
  ArchiveFile& mount(const ArchiveWriter& writer) { return mountBytes(writer.build()); }
  ArchiveFile& mountBytes(Bytes bytes) {
    m_disk.put("data.sar", std::move(bytes));
    m_archive = std::make_unique<ArchiveFile>(m_disk);
    EXPECT_TRUE(m_archive->mount("data.sar"));
    return *m_archive;
  }
  bool mountFails(Bytes bytes) {
    m_disk.put("bad.sar", std::move(bytes));
    ArchiveFile archive(m_disk);
    return !archive.mount("bad.sar") && !archive.mounted() && !archive.exists("anything");
  }

  static Bytes readAll(File& file) {
    Bytes bytes(static_cast<std::size_t>(file.size()));
    EXPECT_EQ(file.read(bytes.data(), file.size()), file.size());
    return bytes;
  }

  MemoryFile m_disk;
  std::unique_ptr<ArchiveFile> m_archive;
};

}  // namespace

TEST_F(ArchiveTest, RoundTripsEveryFlagAndPlacement) {
  std::string prose;
  while (prose.size() < 30000) prose += "Lap three: the blue kart takes the inside line. ";
  const std::vector<Bytes> contents = {
      {}, {'A'}, Bytes(40000, 0x5A), randomBytes(20000, 5), textBytes(prose),
  };
  for (int placement = 0; placement <= 1; ++placement) {
    ArchiveWriter writer(placement);
    for (int flags = 0; flags <= 3; ++flags)
      for (std::size_t i = 0; i < contents.size(); ++i)
        ASSERT_TRUE(writer.add("pack\\f" + std::to_string(flags) + "_" + std::to_string(i), contents[i], flags));
    ArchiveFile& archive = mount(writer);
    EXPECT_EQ(archive.entryCount(), 20);
    for (int flags = 0; flags <= 3; ++flags) {
      for (std::size_t i = 0; i < contents.size(); ++i) {
        const std::string name = "pack\\f" + std::to_string(flags) + "_" + std::to_string(i);
        std::unique_ptr<File> file = archive.cloneUnique();
        ASSERT_TRUE(file->open(name.c_str())) << name << " placement " << placement << ": " << lastMessage();
        EXPECT_EQ(readAll(*file), contents[i]) << name << " placement " << placement;
      }
    }
  }
}

TEST_F(ArchiveTest, PackedEntriesAreSmallerThanTheirText) {
  std::string prose;
  while (prose.size() < 20000) prose += "Checkpoint reached. Best lap 1:02.35. ";
  const Bytes text = textBytes(prose);
  const PackedEntry packed = ArchiveWriter::pack(text.data(), text.size(), 3);
  EXPECT_LT(packed.storedSize, text.size() / 20);
  EXPECT_EQ(packed.bytes.size(), packed.storedSize + 4u) << "the primary index follows the data";
  EXPECT_EQ(packed.unpackedSize, text.size());
}

TEST_F(ArchiveTest, LookupFoldsSlashesAndCaseButMatchesWholeNames) {
  ArchiveWriter writer;
  writer.add("Textures\\Kart.BMP", std::string_view("kart"), 0);
  ArchiveFile& archive = mount(writer);

  EXPECT_TRUE(archive.exists("textures/kart.bmp"));
  EXPECT_TRUE(archive.exists("TEXTURES\\KART.BMP"));
  EXPECT_FALSE(archive.exists("Kart.BMP"));
  EXPECT_FALSE(archive.exists("C:/Tamberlok/Textures/Kart.BMP")) << "authoring paths match only whole";

  ASSERT_TRUE(archive.open("textures/kart.bmp"));
  EXPECT_EQ(archive.size(), 4);
  EXPECT_TRUE(lastMessage().empty());

  EXPECT_FALSE(archive.open("C:/Tamberlok/textures/kart.bmp"));
  EXPECT_EQ(lastMessage(), "error: \"C:\\Tamberlok\\textures\\kart.bmp\" not found !!!\n");
  EXPECT_EQ(archive.size(), 0) << "a failed open leaves nothing open";
}

TEST_F(ArchiveTest, OpenSkipsEntriesWithUnknownFlagBits) {
  ArchiveWriter writer;
  const Bytes odd = textBytes("future");
  writer.addPacked("scene.lws", 0x04, {odd, 6, 6});
  writer.add("SCENE.LWS", std::string_view("second"), 1);
  writer.addPacked("only.dat", 0x80, {odd, 6, 6});
  ArchiveFile& archive = mount(writer);

  EXPECT_TRUE(archive.exists("scene.lws"));
  ASSERT_TRUE(archive.open("scene.lws"));
  EXPECT_EQ(readAll(archive), textBytes("second"));

  EXPECT_TRUE(archive.exists("only.dat")) << "exists looks at names only";
  EXPECT_FALSE(archive.open("only.dat"));
  EXPECT_EQ(lastMessage(), "error: \"only.dat\" not found !!!\n");
}

TEST_F(ArchiveTest, MountRefusesWhatIsNotAnArchive) {
  ArchiveWriter writer;
  writer.add("a", std::string_view("a"));
  ArchiveFile& archive = mount(writer);
  EXPECT_FALSE(archive.mount("data.sar")) << "mounting twice";
  EXPECT_TRUE(archive.exists("a"));

  ArchiveFile missing(m_disk);
  EXPECT_FALSE(missing.mount("nothing.sar"));
  EXPECT_FALSE(missing.open("a"));
  EXPECT_EQ(lastMessage(), "error: \"a\" not found !!!\n");

  const Bytes good = writer.build();
  Bytes wrongMagic = good;
  wrongMagic[0] = 'X';
  EXPECT_TRUE(mountFails(wrongMagic));
  Bytes unknownPlacement = good;
  unknownPlacement[7] = 2;
  EXPECT_TRUE(mountFails(unknownPlacement));
  EXPECT_TRUE(mountFails(Bytes(good.begin(), good.begin() + 6))) << "header cut short";

  // After a failed mount the same object can mount a good archive.
  m_disk.put("bad.sar", wrongMagic);
  ArchiveFile retry(m_disk);
  EXPECT_FALSE(retry.mount("bad.sar"));
  EXPECT_TRUE(retry.mount("data.sar"));
  EXPECT_TRUE(retry.exists("a"));
}

TEST_F(ArchiveTest, DamagedDirectoriesFailToMount) {
  ArchiveWriter writer;
  writer.add("first", std::string_view("1"));
  writer.add("second", std::string_view("2"));
  const Bytes good = writer.build();

  Bytes manyEntries = good;
  manyEntries[8] = manyEntries[9] = manyEntries[10] = manyEntries[11] = 0xFF;
  EXPECT_TRUE(mountFails(manyEntries)) << "a count the file cannot hold is not allocated";

  ArchiveWriter atEnd(1);
  atEnd.add("first", std::string_view("1"));
  Bytes oneMore = atEnd.build();
  oneMore[8] = 2;
  EXPECT_TRUE(mountFails(oneMore)) << "the second record would lie past the end";
  Bytes farDirectory = atEnd.build();
  farDirectory[15] = 0x7F;
  EXPECT_TRUE(mountFails(farDirectory));
  Bytes cutDirectory = atEnd.build();
  cutDirectory.pop_back();
  EXPECT_TRUE(mountFails(cutDirectory));
}

TEST_F(ArchiveTest, DirectoryAtTheEndCountsOffsetsFromTheStart) {
  ArchiveWriter writer(1);
  writer.add("one", std::string_view("first entry"), 0);
  writer.add("two", std::string_view("second entry"), 0);
  const Bytes bytes = writer.build();
  EXPECT_EQ(bytes[7], 1) << "placement in the version's top byte";
  const std::uint32_t directoryOffset = bytes[12] | bytes[13] << 8 | bytes[14] << 16 | bytes[15] << 24;
  EXPECT_EQ(directoryOffset, 16u + 11u + 12u);
  EXPECT_EQ(bytes.size(), directoryOffset + 2u * (1 + 3 + 1 + 12));
  ArchiveFile& archive = mount(writer);
  ASSERT_TRUE(archive.open("two"));
  EXPECT_EQ(readAll(archive), textBytes("second entry"));
}

TEST_F(ArchiveTest, NamesMayUseTheWholeLengthByte) {
  const std::string longest(255, 'n');
  std::string almost = "dir\\";
  almost.append(250, 'm');
  ArchiveWriter writer;
  ASSERT_TRUE(writer.add(longest, std::string_view("255"), 0));
  ASSERT_TRUE(writer.add(almost, std::string_view("254"), 1));
  ASSERT_TRUE(writer.add("", std::string_view("empty name"), 2));
  EXPECT_FALSE(writer.add(std::string(256, 'x'), std::string_view("no")));
  ArchiveFile& archive = mount(writer);
  ASSERT_TRUE(archive.open(longest.c_str()));
  EXPECT_EQ(readAll(archive), textBytes("255"));
  ASSERT_TRUE(archive.open(almost.c_str()));
  EXPECT_EQ(readAll(archive), textBytes("254"));
  ASSERT_TRUE(archive.open(""));
  EXPECT_EQ(readAll(archive), textBytes("empty name"));
}

TEST_F(ArchiveTest, ReadSeekAndSkipClampAtTheEnd) {
  ArchiveWriter writer;
  writer.add("ten", std::string_view("0123456789"), 3);
  ArchiveFile& archive = mount(writer);
  ASSERT_TRUE(archive.open("ten"));
  char buffer[16] = {};
  EXPECT_TRUE(archive.seek(7));
  EXPECT_EQ(archive.read(buffer, 16), 3);
  EXPECT_EQ(std::string(buffer, 3), "789");
  EXPECT_EQ(archive.read(buffer, 16), 0);
  EXPECT_TRUE(archive.seek(100));
  EXPECT_EQ(archive.tell(), 10);
  EXPECT_TRUE(archive.seek(2));
  EXPECT_TRUE(archive.skip(3));
  EXPECT_EQ(archive.tell(), 5);
  EXPECT_TRUE(archive.skip(-2)) << "unsigned wrap-around moves back";
  EXPECT_EQ(archive.tell(), 3);
  EXPECT_TRUE(archive.skip(-4));
  EXPECT_EQ(archive.tell(), 10) << "moving before the start wraps past the end and clamps";
  EXPECT_TRUE(archive.seek(-1));
  EXPECT_EQ(archive.tell(), 10);
  EXPECT_EQ(archive.read(buffer, -5), 0);
  EXPECT_FALSE(archive.create("new"));
  EXPECT_EQ(archive.write("x", 1), 0);
  EXPECT_TRUE(archive.close());
  EXPECT_EQ(archive.size(), 0);
  EXPECT_EQ(archive.read(buffer, 16), 0);
}

TEST_F(ArchiveTest, ClonesHoldTheirOwnEntries) {
  ArchiveWriter writer;
  writer.add("a", std::string_view("alpha"));
  writer.add("b", std::string_view("beta"));
  std::unique_ptr<File> first;
  std::unique_ptr<File> second;
  {
    ArchiveFile& archive = mount(writer);
    first = archive.cloneUnique();
    second = first->cloneUnique();
    m_archive.reset();  // clones outlive the archive they came from
  }
  ASSERT_TRUE(first->open("a"));
  ASSERT_TRUE(second->open("b"));
  EXPECT_EQ(readAll(*first), textBytes("alpha"));
  EXPECT_EQ(readAll(*second), textBytes("beta"));
}

TEST_F(ArchiveTest, EntriesPastTheEndFailAndOthersStillOpen) {
  ArchiveWriter writer;
  writer.add("good", std::string_view("still fine"), 3);
  writer.addPacked("short", 0, {textBytes("abc"), 10, 10});
  writer.addPacked("sorted", 2, {textBytes("abc"), 3, 3});  // its index is missing
  ArchiveFile& archive = mount(writer);

  EXPECT_FALSE(archive.open("short"));
  EXPECT_NE(lastMessage().find("\"short\""), std::string::npos) << lastMessage();
  EXPECT_EQ(archive.size(), 0);
  EXPECT_FALSE(archive.open("sorted"));
  ASSERT_TRUE(archive.open("good"));
  EXPECT_EQ(readAll(archive), textBytes("still fine"));
}

TEST_F(ArchiveTest, DamagedPrimaryIndexesFail) {
  const Bytes text = textBytes("the quick kart");
  ArchiveWriter writer;
  for (int flags : {2, 3}) {
    PackedEntry packed = ArchiveWriter::pack(text.data(), text.size(), flags);
    packed.bytes[packed.storedSize] = 15;  // one above the size
    writer.addPacked("above" + std::to_string(flags), flags, packed);
  }
  // p = n is valid, but for this column the walk reaches row n too early.
  const Bytes column = {255, 0};
  PackedEntry edge;
  edge.bytes = encodeMoveToFront(column.data(), column.size());
  edge.storedSize = edge.unpackedSize = 2;
  edge.bytes.insert(edge.bytes.end(), {2, 0, 0, 0});
  writer.addPacked("edge", 2, edge);
  writer.add("fine", text, 3);
  ArchiveFile& archive = mount(writer);

  for (const char* name : {"above2", "above3", "edge"}) {
    g_lastMessage.clear();
    EXPECT_FALSE(archive.open(name)) << name;
    EXPECT_NE(lastMessage().find("invalid source stream"), std::string::npos) << lastMessage();
  }
  ASSERT_TRUE(archive.open("fine"));
  EXPECT_EQ(readAll(archive), text);
}

TEST_F(ArchiveTest, CorruptRangeCodingFailsWithoutTrustingTheSize) {
  const Bytes text = textBytes("a sizeable entry of plain text");
  PackedEntry lying = ArchiveWriter::pack(text.data(), text.size(), 1);
  lying.unpackedSize = 0xFFFFFFFFu;  // never allocated as such
  ArchiveWriter writer;
  writer.addPacked("lying", 1, lying);
  writer.addPacked("zeros", 1, {Bytes(200, 0), 200, 0xFFFFFFF0u});
  writer.addPacked("zeros sorted", 3, {Bytes(204, 0), 200, 0xFFFFFFF0u});
  ArchiveFile& archive = mount(writer);

  ASSERT_TRUE(archive.open("lying")) << "the decoded length is what counts";
  EXPECT_EQ(readAll(archive), text);
  for (const char* name : {"zeros", "zeros sorted"}) {
    g_lastMessage.clear();
    EXPECT_FALSE(archive.open(name));
    EXPECT_NE(lastMessage().find("invalid source stream"), std::string::npos) << lastMessage();
  }
  ASSERT_TRUE(archive.open("lying"));
}

TEST_F(ArchiveTest, WritesAndMountsOnDisk) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(::testing::TempDir()) / ("archive_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "data.sar").string();
  ArchiveWriter writer(1);
  writer.add("texts\\hello.txt", std::string_view("hello from disk"));
  ASSERT_TRUE(writer.write(path.c_str()));

  DiskFile disk;
  ArchiveFile archive(disk);
  ASSERT_TRUE(archive.mount(path.c_str()));
  ASSERT_TRUE(archive.open("texts/HELLO.txt"));
  EXPECT_EQ(readAll(archive), textBytes("hello from disk"));
  fs::remove_all(dir);
}

namespace {

// An entry of several megabytes whose unpacked size word is damaged, as
// ArchiveWriter stores it; made once, it takes a while to code.
struct LargeEntry {
  Bytes data;
  PackedEntry packed;
};

const LargeEntry& largeEntryWithDamagedSize() {
  static const LargeEntry entry = [] {
    LargeEntry made;
    made.data = randomBytes(6'500'000, 21);
    made.packed = ArchiveWriter::pack(made.data.data(), made.data.size(), 1);
    made.packed.unpackedSize = 0xFFFFFFF0u;
    return made;
  }();
  return entry;
}

}  // namespace

TEST_F(ArchiveTest, ADamagedSizeWordDoesNotSizeTheFirstAllocation) {
  const LargeEntry& large = largeEntryWithDamagedSize();
  ArchiveWriter writer;
  writer.addPacked("big.dat", 1, large.packed);
  ArchiveFile& archive = mount(writer);
  auto openAndCompare = [&] {
    return archive.open("big.dat") && archive.size() == static_cast<int>(large.data.size()) &&
           readAll(archive) == large.data;
  };
#ifdef TESSALINE_TEST_ASAN
  // Under the sanitizer an address-space limit cannot fail an allocation (it
  // reserves terabytes up front), so the allocator's hooks measure instead.
  bool opened = false;
  const std::size_t largest = largestAllocationOf([&] { opened = openAndCompare(); });
  EXPECT_TRUE(opened) << lastMessage();
  EXPECT_LE(largest, std::size_t{64} << 20) << "the first allocation follows the stored size, capped";
  EXPECT_GE(largest, large.data.size());
#else
  const int status = exitStatusUnderMemoryLimit(std::size_t{512} << 20, [&] { return openAndCompare() ? 0 : 1; });
  EXPECT_TRUE(exitedWithZero(status)) << "status " << status;
#endif
}

TEST_F(ArchiveTest, AnEntryPackedFarBelowItsSizeGrowsToExactlyThatSize) {
  // 3 MB of a short pattern packs to a few kilobytes, so the first
  // allocation falls far short and the output grows towards the size word.
  Bytes data(3'000'000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>("kart "[i % 5]);
  ArchiveWriter writer;
  writer.add("pattern.txt", data, 1);
  ArchiveFile& archive = mount(writer);
#ifdef TESSALINE_TEST_ASAN
  const std::size_t largest = largestAllocationOf([&] { ASSERT_TRUE(archive.open("pattern.txt")); });
  EXPECT_EQ(largest, data.size()) << "doubling stops at the size the directory gives";
#else
  ASSERT_TRUE(archive.open("pattern.txt"));
#endif
  EXPECT_EQ(readAll(archive), data);
}

TEST_F(ArchiveTest, AnEntryThatDoesNotFitInMemoryFailsToOpenWithAReport) {
  const LargeEntry& large = largeEntryWithDamagedSize();
  ArchiveWriter writer;
  writer.addPacked("big.dat", 1, large.packed);
  writer.add("small.txt", std::string_view("still opens"), 1);
  ArchiveFile& archive = mount(writer);
  const auto openBigThenSmall = [&] {
    if (archive.open("big.dat") || archive.size() != 0) return 1;
    if (lastMessage() != "error: \"big.dat\" is too large to open !!!\n") return 2;
    return archive.open("small.txt") && readAll(archive) == textBytes("still opens") ? 0 : 3;
  };
  // Room to read the stored bytes, not to hold the output buffer: in every
  // build, the allocation hook fails the large request.
  {
    const FailAllocationsAbove failing(std::size_t{16} << 20);
    EXPECT_EQ(openBigThenSmall(), 0);
    EXPECT_GE(failing.failures(), 1);
  }
#ifndef TESSALINE_TEST_ASAN
  // And where an address-space limit can fail it, for real.
  const int status = exitStatusUnderMemoryLimit(std::size_t{24} << 20, openBigThenSmall);
  EXPECT_TRUE(exitedWithZero(status)) << "status " << status;
#endif
}
