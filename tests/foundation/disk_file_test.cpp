#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "foundation/file.h"
#include "tests/support/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

using DiskFileTest = ScratchDirTest;

void put(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

TEST_F(DiskFileTest, SearchPathFindsTheParentAndDropsADrivePrefix) {
  put(m_root / "config.dat", "parent");
  put(m_root / "work" / "here.dat", "current");
  put(m_root / "Tamberlok" / "track.lws", "lws");

  DiskFile file;
  ASSERT_TRUE(file.open("config.dat"));
  EXPECT_EQ(file.size(), 6);
  EXPECT_FALSE(file.open("here.dat")) << "an open file refuses a second open";
  char buffer[16] = {};
  EXPECT_EQ(file.read(buffer, 16), 6) << "the first file stayed open";
  EXPECT_EQ(std::string(buffer), "parent");
  EXPECT_EQ(file.read(buffer, 16), 0);
  EXPECT_TRUE(file.close());
  EXPECT_FALSE(file.close());
  EXPECT_EQ(file.size(), 0);

  ASSERT_TRUE(file.open("D:\\Tamberlok\\track.lws"));
  EXPECT_EQ(file.size(), 3);
  file.close();
  EXPECT_FALSE(file.open("missing.dat"));
}

TEST_F(DiskFileTest, ExistsIgnoresTheOwnSearchPath) {
  put(m_root / "highscore.dat", "x");
  DiskFile elsewhere("nowhere\\");
  EXPECT_FALSE(elsewhere.open("highscore.dat"));
  EXPECT_TRUE(elsewhere.exists("highscore.dat"));
  EXPECT_FALSE(elsewhere.exists("nothing.dat"));
}

TEST_F(DiskFileTest, CreateWriteSeekAndClone) {
  DiskFile file;
  ASSERT_TRUE(file.create("out.bin"));
  EXPECT_EQ(file.write("0123456789", 10), 10);
  EXPECT_EQ(file.size(), 10);
  file.close();

  std::unique_ptr<File> copy = file.cloneUnique();
  ASSERT_TRUE(copy->open("out.bin"));
  EXPECT_TRUE(copy->seek(4));
  EXPECT_TRUE(copy->skip(2));
  EXPECT_EQ(copy->tell(), 6);
  char c = 0;
  EXPECT_EQ(copy->read(&c, 1), 1);
  EXPECT_EQ(c, '6');
  EXPECT_FALSE(copy->create("other.bin")) << "create refuses an open file";
}

TEST_F(DiskFileTest, DrivePrefixedNamesAreRetriedUnderEachDirectory) {
  put(m_root / "work" / "Maps" / "near.map", "current");
  put(m_root / "Maps" / "far.map", "parent");
  put(m_root / "work" / "Maps" / "both.map", "current wins");
  put(m_root / "Maps" / "both.map", "parent loses");

  DiskFile file;
  char buffer[32] = {};
  ASSERT_TRUE(file.open("C:\\Maps\\near.map")) << "joined as .\\\\Maps\\near.map";
  EXPECT_EQ(file.size(), 7);
  file.close();
  ASSERT_TRUE(file.open("E:\\Maps\\far.map"));
  EXPECT_EQ(file.size(), 6);
  file.close();
  ASSERT_TRUE(file.open("C:\\Maps\\both.map"));
  EXPECT_EQ(file.read(buffer, 32), 12);
  EXPECT_EQ(std::string(buffer), "current wins");
  file.close();
  EXPECT_FALSE(file.open("C:\\Maps\\none.map"));
  EXPECT_FALSE(file.open("C:")) << "a bare drive names a directory, not a file";
}
