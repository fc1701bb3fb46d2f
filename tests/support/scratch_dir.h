// Runs each test in <tmp>/<test>_<pid>/work, a fresh directory of its own (so
// that ".." is m_root), and restores the working directory afterwards.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

// The same directory for fixtures with another base: entered on
// construction, left and removed on destruction.
class ScratchDir {
 public:
  ScratchDir() {
    m_old = std::filesystem::current_path();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_root = std::filesystem::path(::testing::TempDir()) /
             ("scratch_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(m_root);
    std::filesystem::create_directories(m_root / "work");
    std::filesystem::current_path(m_root / "work");
  }
  ~ScratchDir() {
    std::filesystem::current_path(m_old);
    std::filesystem::remove_all(m_root);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::unique_ptr<ScratchDir> m_dir;
  std::filesystem::path m_old, m_root;
};

class ScratchDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = std::make_unique<ScratchDir>();
    m_old = m_dir->m_old;
    m_root = m_dir->m_root;
  }
  void TearDown() override { m_dir.reset(); }

  static std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  static void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  std::unique_ptr<ScratchDir> m_dir;
  std::filesystem::path m_old, m_root;
};
