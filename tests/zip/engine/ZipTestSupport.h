// Shared pieces of the zip engine tests: a temporary folder, file helpers, running real tools.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace ziptest {

namespace fs = std::filesystem;

class TempDir {
public:
  TempDir() {
    static int n = 0;
    FPath = fs::temp_directory_path() /
            ("zpengine_" + std::to_string(::getpid()) + "_" + std::to_string(++n) + "_" + std::to_string(std::random_device{}()));
    fs::create_directories(FPath);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(FPath, ec);
  }
  std::string Path() const { return FPath.string(); }
  std::string operator/(const std::string& name) const { return (FPath / name).string(); }

private:
  fs::path FPath;
};

inline void WriteFile(const std::string& path, const std::string& data) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << data;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs a shell command with its output kept out of the test log; the exit status.
inline int Shell(const std::string& command) {
  int rc = std::system((command + " >/dev/null 2>&1").c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

inline std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

inline std::string RandomBytes(std::size_t n, unsigned start) {
  std::mt19937 gen(start);
  std::string s(n, '\0');
  for (auto& c : s) c = char(gen() & 0xFF);
  return s;
}

inline std::string HotText(std::size_t n) {
  std::string s;
  int i = 0;
  while (s.size() < n) {
    char line[160];
    std::snprintf(line, sizeof line, "BKS24%08d%06d  0000012345 1234567890 EUR TKTT %010d\r\n", i, i % 997, i * 7);
    s += line;
    ++i;
  }
  s.resize(n);
  return s;
}

}  // namespace ziptest
