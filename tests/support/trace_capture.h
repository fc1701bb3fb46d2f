// The trace log caught in a file for as long as the object lives, so that a
// test reads what the game wrote to its trace (which refusals, how often).
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/report.h"

class TraceCapture {
 public:
  TraceCapture()
      : m_path(std::filesystem::temp_directory_path() /
               ("trace_" + std::to_string(::getpid()) + "_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)))) {
    g_log.open(m_path.c_str());
  }
  ~TraceCapture() {
    g_log.open("nul");
    std::filesystem::remove(m_path);
  }
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  std::vector<std::string> lines() const {
    g_log.flush();
    std::ifstream in(m_path);
    std::vector<std::string> read;
    for (std::string line; std::getline(in, line);) read.push_back(line);
    return read;
  }
  // How many lines of the trace are exactly `line`.
  std::size_t count(const std::string& line) const {
    const std::vector<std::string> all = lines();
    return static_cast<std::size_t>(std::count(all.begin(), all.end(), line));
  }

 private:
  std::filesystem::path m_path;
};
