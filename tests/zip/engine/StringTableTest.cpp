#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpStringResource.h"

namespace {

void Put32(std::vector<uint8_t>& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(uint32_t(v) >> (8 * i)));
}

// Builds a STR0 table from "<id> <text>" lines (UTF-8); '#' starts a comment line.
std::vector<uint8_t> CompileStrtab(const std::string& source) {
  std::vector<std::pair<int, std::u16string>> entries;
  std::istringstream in(source);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::size_t sp = line.find(' ');
    int id = std::stoi(line.substr(0, sp));
    std::string text = sp == std::string::npos ? std::string() : line.substr(sp + 1);
    std::u16string u;
    for (std::size_t i = 0; i < text.size();) {
      unsigned char c = text[i];
      char32_t cp;
      int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
      cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
      for (int k = 1; k < n; ++k) cp = (cp << 6) | (text[i + k] & 0x3F);
      i += n;
      if (cp >= 0x10000) {
        u += char16_t(0xD800 + ((cp - 0x10000) >> 10));
        u += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
      } else {
        u += char16_t(cp);
      }
    }
    entries.emplace_back(id, u);
  }
  std::sort(entries.begin(), entries.end());
  std::vector<uint8_t> out = {'S', 'T', 'R', '0'};
  Put32(out, int32_t(entries.size()));
  int32_t offset = int32_t(8 + 12 * entries.size());
  for (auto& [id, text] : entries) {
    Put32(out, id);
    Put32(out, offset);
    Put32(out, int32_t(text.size()));
    offset += int32_t(2 * text.size());
  }
  for (auto& e : entries)
    for (char16_t c : e.second) {
      out.push_back(uint8_t(c));
      out.push_back(uint8_t(c >> 8));
    }
  return out;
}

TEST(ZpStringResource, LooksUpTextsAndShortensIntoBuffers) {
  auto table = CompileStrtab("# test\n3 three\n1 one\n20 \xC3\xA9tudes of twenty chars\n7  padded \n");
  TZpStringResource r(table.data(), table.size());
  EXPECT_EQ(r.Count(), 4);
  EXPECT_EQ(r.GetString(1), "one");
  EXPECT_EQ(r.GetString(3), "three");
  EXPECT_EQ(r.GetString(7), " padded ");
  EXPECT_EQ(r.GetString(20), "\xE9tudes of twenty chars");  // Windows-1252
  EXPECT_EQ(r.GetString(2), "");
  char buf[5];
  r.GetAsPChar(3, buf, sizeof buf);
  EXPECT_STREQ(buf, "thre");
  r.GetAsPChar(99, buf, sizeof buf);
  EXPECT_STREQ(buf, "");

  auto empty = CompileStrtab("");
  TZpStringResource none(empty.data(), empty.size());
  EXPECT_EQ(none.GetString(1), "");
}

TEST(ZpStringResource, RejectsTablesThatAreNotStr0) {
  std::vector<uint8_t> bad = {'S', 'T', 'R', '1', 0, 0, 0, 0};
  try {
    TZpStringResource r(bad.data(), bad.size());
    FAIL();
  } catch (const ESrmStringResourceError& e) {
    EXPECT_EQ(e.Message(), "Invalid string resource");
  }
  // A count that runs past the data is as bad as a wrong magic.
  std::vector<uint8_t> overlong = {'S', 'T', 'R', '0', 100, 0, 0, 0};
  EXPECT_THROW(TZpStringResource(overlong.data(), overlong.size()), ESrmStringResourceError);
  try {
    TZpStringResource r("NO_SUCH_TABLE");
    FAIL();
  } catch (const ESrmStringResourceError& e) {
    EXPECT_EQ(e.Message(), "String resource not found: NO_SUCH_TABLE");
  }
}

TEST(ZpExceptions, TakeTextAndCodeFromTheEngineTable) {
  struct Case {
    EZpException e;
    int code;
    const char* text;
  };
  const Case cases[] = {
      {EZpZipVersion(), 1, "Cannot extract file - newer version required"},
      {EZpZipInvalidMethod(), 2, "Cannot extract file - unsupported compression method"},
      {EZpZipInvalidPassword(), 4, "Cannot extract file - invalid password"},
      {EZpUserAbort(), 9, "Process aborted by user"},
      {EZpNoSuchDirectory(), 19, "Directory does not exist"},
      {EZpZipBadCRC(), 23, "Failed CRC Check"},
      {EZpFileNotFound(), 25, "File not found"},
      {EZpZipInvalid(), 28, "Invalid file - not a PKZip file"},
      {EZpBBSReadTooManyBytes(77), 40, "BBS: request to read too many bytes [77]"},
      {EZpVMSInvalidOrigin(3), 201, "VMS: invalid origin 3, should be 0, 1, 2"},
      {EZpVMSReadFail(4096, "swap.tmp"), 204, "VMS: Failed to read 4096 bytes from swap file swap.tmp"},
      {EZpVMSWriteFail(4096, "s"), 205, "VMS: Failed to write 4096 bytes to swap file s"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.e.ErrorCode(), c.code);
    EXPECT_EQ(c.e.Message(), c.text);
  }
  EXPECT_EQ(ZpStringById(ZpText::LogAdded), " added ");
}

TEST(ZpExceptions, ConvertToErrorClassAndCode) {
  auto convert = [](auto&& thrower) {
    TZpErrorClass cls = ecZpEngineError;
    int code = -1;
    try {
      thrower();
    } catch (...) {
      ZpConvertCurrentException(cls, code);
    }
    return std::make_pair(int(cls), code);
  };
  EXPECT_EQ(convert([] { throw EZpZipBadCRC(); }), std::make_pair(0, 23));
  EXPECT_EQ(convert([] { throw EInOutError("disk", 112); }), std::make_pair(1, 112));
  EXPECT_EQ(convert([] { throw EReadError("short"); }), std::make_pair(2, 0));
  EXPECT_EQ(convert([] { throw EFCreateError("c"); }), std::make_pair(3, 0));
  EXPECT_EQ(convert([] { throw EFOpenError("o"); }), std::make_pair(4, 0));
  EXPECT_EQ(convert([] { throw std::runtime_error("foreign"); }), std::make_pair(6, 0));
  EXPECT_EQ(convert([] { throw 42; }), std::make_pair(6, 0));
}

}  // namespace
