// A temp folder that stands in for the program's folder (its "bin" holds the program), with file helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/rtl/Files.h"

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

inline void WriteWholeFile(const std::string& path, const std::string& data) {
  std::ofstream f(path, std::ios::binary);
  f << data;
}

class TempExeFolderTest : public ::testing::Test {
protected:
  void SetUp() override {
    FSavedExe = ParamStr(0);
    std::string tmpl = "/tmp/quorvexTestXXXXXX";
    FDir = ::mkdtemp(tmpl.data());
    std::filesystem::create_directories(FDir + "/bin");
    SetExeNameForTesting(FDir + "/bin/Quorvex.EXE");
  }
  void TearDown() override {
    SetExeNameForTesting(FSavedExe);
    std::filesystem::remove_all(FDir);
  }
  std::string FDir, FSavedExe;
};
