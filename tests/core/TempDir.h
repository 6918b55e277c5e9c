// A temporary folder that goes away with the test.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

struct TempDir {
  TempDir() {
    char tmpl[] = "/tmp/coreXXXXXX";
    path = ::mkdtemp(tmpl);
    path += "/";
  }
  ~TempDir() { std::filesystem::remove_all(path); }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path + name, std::ios::binary) << bytes;
    return path + name;
  }
  static std::string Read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::string path;
};
