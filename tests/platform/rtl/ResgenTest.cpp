// Round trips through the resource generator: readable sources in, the binary forms read back.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/rtl/Files.h"
#include "platform/rtl/Resources.h"
#include "platform/rtl/VersionInfo.h"

namespace fs = std::filesystem;

namespace {

struct TempDir {
  fs::path path;
  TempDir() {
    char tmpl[] = "/tmp/quorvex-resgen-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { fs::remove_all(path); }
};

void writeFile(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const fs::path kResgen = fs::path(QUORVEX_BINARY_DIR) / "tools/resgen/resgen";

int runResgen(const std::string& args) { return std::system((kResgen.string() + " " + args + " 2>/dev/null").c_str()); }

// Compiles one source; the result's bytes live as long as the process, as registered resources must.
const std::vector<uint8_t>& compile(const fs::path& src) {
  static std::vector<std::unique_ptr<std::vector<uint8_t>>> keep;
  fs::path out = src.string() + ".bin";
  EXPECT_EQ(runResgen("--compile " + src.string() + " " + out.string()), 0) << src;
  std::string s = readFile(out);
  keep.push_back(std::make_unique<std::vector<uint8_t>>(s.begin(), s.end()));
  return *keep.back();
}

int32_t get32(const std::vector<uint8_t>& b, std::size_t at) {
  int32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

// Reads the STR0 form the way the string-table readers do: binary search, UTF-16LE text.
std::u16string lookup(const std::vector<uint8_t>& b, int32_t id, bool& found) {
  found = false;
  int32_t lo = 0, hi = get32(b, 4) - 1;
  while (lo <= hi) {
    int32_t mid = (lo + hi) / 2;
    std::size_t e = 8 + 12 * static_cast<std::size_t>(mid);
    int32_t eid = get32(b, e);
    if (eid == id) {
      found = true;
      std::u16string s;
      for (int32_t k = 0; k < get32(b, e + 8); ++k) {
        std::size_t o = static_cast<std::size_t>(get32(b, e + 4)) + 2 * static_cast<std::size_t>(k);
        s += static_cast<char16_t>(b[o] | b[o + 1] << 8);
      }
      return s;
    }
    if (eid > id) hi = mid - 1;
    else lo = mid + 1;
  }
  return {};
}

}  // namespace

TEST(Resgen, StringTableCompilesToSortedStr0WithUtf16Texts) {
  TempDir dir;
  fs::path src = dir.path / "RCDATA/CTL3_STRINGS_ENGLISH.strtab";
  writeFile(src,
            "# comment line\r\n"
            "30170 Command table not found\r\n"
            "\r\n"
            "7 Tab\\there\\nnext \\\\ end\n"
            "-2 negative\n"
            "12 Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\n"
            "13 \n"
            "14 #not a comment");
  const auto& b = compile(src);
  ASSERT_GE(b.size(), 8u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "STR0");
  ASSERT_EQ(get32(b, 4), 6);
  std::vector<int32_t> ids;
  for (int i = 0; i < 6; ++i) ids.push_back(get32(b, 8 + 12 * static_cast<std::size_t>(i)));
  EXPECT_EQ(ids, (std::vector<int32_t>{-2, 7, 12, 13, 14, 30170}));
  EXPECT_EQ(get32(b, 12), 8 + 12 * 6);  // the first text follows the index

  struct Case { int32_t id; std::u16string text; bool found; };
  const Case cases[] = {
      {30170, u"Command table not found", true},
      {7, u"Tab\there\nnext \\ end", true},
      {-2, u"negative", true},
      {12, u"Caf\u00E9 \u20AC \U0001F600", true},
      {13, u"", true},
      {14, u"#not a comment", true},
      {8, u"", false},
  };
  for (const auto& c : cases) {
    bool found;
    EXPECT_EQ(lookup(b, c.id, found), c.text) << c.id;
    EXPECT_EQ(found, c.found) << c.id;
  }
  // The texts fill the rest exactly: no terminators, no padding.
  std::size_t units = 0;
  for (int i = 0; i < 6; ++i) units += static_cast<std::size_t>(get32(b, 16 + 12 * static_cast<std::size_t>(i)));
  EXPECT_EQ(b.size(), 8 + 12 * 6 + 2 * units);
}

TEST(Resgen, BadSourcesFailTheBuild) {
  TempDir dir;
  const char* bad[] = {"5 one\n5 two\n", "x text\n", "5 bad \\q escape\n", "5 \xC3 broken utf8\n", "99999999999 big\n"};
  int n = 0;
  for (const char* text : bad) {
    fs::path src = dir.path / "RCDATA" / ("T" + std::to_string(n++) + ".strtab");
    writeFile(src, text);
    EXPECT_NE(runResgen("--compile " + src.string() + " " + src.string() + ".bin"), 0) << text;
  }
  fs::path ver = dir.path / "VERSION/VERSION_INFO.ver";
  writeFile(ver, "NoSuchKey=1\n");
  EXPECT_NE(runResgen("--compile " + ver.string() + " " + ver.string() + ".bin"), 0);
}

TEST(Resgen, ProgramStringsAndFolderSource) {
  TempDir dir;
  writeFile(dir.path / "res/STRING/program.strtab", "100 Caf\xC3\xA9\n101 line\\r\\nbreak\n");
  writeFile(dir.path / "res/BITMAP/LOGO.bmp", std::string("BM\0\1", 4));
  fs::path out = dir.path / "gen.cpp";
  ASSERT_EQ(runResgen((dir.path / "res").string() + " " + out.string() + " test_res"), 0);
  std::string gen = readFile(out);
  EXPECT_NE(gen.find("\"STRING\", \"#100\""), std::string::npos);
  EXPECT_NE(gen.find("\"STRING\", \"#101\""), std::string::npos);
  EXPECT_NE(gen.find("\"BITMAP\", \"LOGO\", d0, 4)"), std::string::npos);

  // The string resources hold Windows-1252 text; register them as the generated source would.
  const auto& s = compile(dir.path / "res/STRING/program.strtab");
  EXPECT_EQ(std::string(s.begin(), s.end()), "Caf\xE9line\r\nbreak");
  static const uint8_t text[] = {'C', 'a', 'f', 0xE9};
  static TResourceRegistration reg("STRING", "#4100", text, sizeof text);
  EXPECT_EQ(LoadResString(4100), "Caf\xE9");
  EXPECT_EQ(LoadResString(4101), "");
}

TEST(Resgen, VersionBlockAnswersTheQueriesOfTheProgramFile) {
  TempDir dir;
  fs::path src = dir.path / "VERSION/VERSION_INFO.ver";
  writeFile(src,
            "# the program's version\n"
            "FileVersion=1.2.3.4\n"
            "ProductVersion=5.6\n"
            "LegalCopyright=\xC2\xA9 2026 Quorvex\n"
            "CompanyName=Quorvex\n"
            "ProductName=HOT splitter\n"
            "Translation=0409 04E4\n");
  const auto& b = compile(src);
  static bool registered = false;
  if (!registered) {
    static TResourceRegistration reg("VERSION", "#1", b.data(), b.size());
    registered = true;
  }

  int error = -1;
  ASSERT_EQ(GetFileVersionInfoSize(ParamStr(0), &error), b.size());
  std::vector<uint8_t> block;
  ASSERT_TRUE(GetFileVersionInfo(ParamStr(0), block));

  std::vector<uint8_t> tr;
  ASSERT_TRUE(VerQueryValue(block, "\\VarFileInfo\\Translation", tr));
  ASSERT_EQ(tr.size(), 4u);
  EXPECT_EQ(tr[0] | tr[1] << 8, 0x0409);
  EXPECT_EQ(tr[2] | tr[3] << 8, 0x04E4);

  struct Case { const char* path; const char* text; };
  const Case cases[] = {
      {"\\StringFileInfo\\040904e4\\FileVersion", "1.2.3.4"},
      {"\\StringFileInfo\\040904E4\\productversion", "5.6"},
      {"StringFileInfo\\040904e4\\LegalCopyright", "\xA9 2026 Quorvex"},
      {"\\StringFileInfo\\040904e4\\ProductName", "HOT splitter"},
  };
  for (const auto& c : cases) {
    AnsiString t;
    EXPECT_TRUE(VerQueryString(block, c.path, t)) << c.path;
    EXPECT_EQ(t, c.text) << c.path;
  }
  AnsiString t;
  EXPECT_FALSE(VerQueryString(block, "\\StringFileInfo\\040904e4\\Comments", t));
  EXPECT_FALSE(VerQueryString(block, "\\StringFileInfo\\04070000\\FileVersion", t));

  TVSFixedFileInfo fixed;
  ASSERT_TRUE(VerQueryFixedFileInfo(block, fixed));
  EXPECT_EQ(fixed.dwFileVersionMS, 0x00010002u);
  EXPECT_EQ(fixed.dwFileVersionLS, 0x00030004u);
  EXPECT_EQ(fixed.dwProductVersionMS, 0x00050006u);
  EXPECT_EQ(fixed.dwProductVersionLS, 0u);

  // Every cut of the block is malformed: lookups fail without reading past it.
  for (std::size_t n = 0; n < block.size(); n += 7) {
    std::vector<uint8_t> cut(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
    AnsiString x;
    VerQueryString(cut, "\\StringFileInfo\\040904e4\\ProductName", x);
  }

  // Other files carry no version block.
  fs::path other = dir.path / "other.exe";
  writeFile(other, "MZ");
  EXPECT_EQ(GetFileVersionInfoSize(other.string(), &error), 0u);
  EXPECT_EQ(error, ERROR_RESOURCE_TYPE_NOT_FOUND);
  EXPECT_EQ(GetFileVersionInfoSize((dir.path / "missing.exe").string(), &error), 0u);
  EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
}
