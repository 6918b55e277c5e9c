#include <gtest/gtest.h>

#include "TempDir.h"
#include "core/uHotFileLines.h"

namespace {

std::string Header(const std::string& at20, const std::string& at39) {
  std::string l(136, ' ');
  l.replace(0, 5, "BFH00");
  l.replace(19, at20.size(), at20);
  l.replace(38, at39.size(), at39);
  return l;
}

}  // namespace

TEST(HotFileData, DetectLayout) {
  struct { std::string at20, at39; bool a; const char* code; } cases[] = {
      {"203", "20", true, "203"},  {"103", "20", false, "3  "}, {"2 3", "20", false, "3  "},
      {"20 ", "20", false, "   "}, {"203", "  ", false, "3  "}, {"2a3", "20", false, "3  "},
      {"220", "9x", false, "0  "},
  };
  for (const auto& c : cases) {
    THotFileData d;
    d.SetLayoutA(!c.a);
    ShortString<3> code;
    d.DetectLayout(Header(c.at20, c.at39), code);
    EXPECT_EQ(d.LayoutA(), c.a) << c.at20 << "/" << c.at39;
    EXPECT_EQ(code.Str(), c.code) << c.at20 << "/" << c.at39;
  }
  THotFileData d;
  d.SetLayoutA(true);
  ShortString<3> code;
  d.DetectLayout("TFH00000001" + std::string(125, ' '), code);
  EXPECT_TRUE(d.LayoutA());  // a T-line leaves the layout as it was
  EXPECT_EQ(code.Str(), "100");
}

TEST(HotFileData, CodesAndNames) {
  std::string l(136, ' ');
  l.replace(0, 3, "BKT");
  l.replace(11, 2, "06");
  l.replace(13, 7, "1234567");
  l.replace(24, 3, "074");
  l.replace(50, 5, " 22 5");
  THotFileData d;
  EXPECT_EQ(THotFileData::RecordId(l).Str(), "BKT06");
  EXPECT_EQ(THotFileData::Agtn(l).Str(), "1234567");
  EXPECT_EQ(d.Tacn(l).Str(), " 22 5");
  d.SetLayoutA(true);
  EXPECT_EQ(d.Tacn(l).Str(), "074");
  EXPECT_EQ(d.Tacn("T" + l.substr(1)).Str(), "");
  EXPECT_EQ(THotFileData::RecordId("BK").Str(), "BK");
}

TEST(HotFileLine, ZeroingFields) {
  std::string l(136, '9');
  THotFileLine::ZeroField(l, 0, 15);
  EXPECT_EQ(l, std::string(136, '9'));
  THotFileLine::ZeroField(l, 130, 15);
  EXPECT_EQ(l.size(), 144u);
  EXPECT_EQ(l.substr(129), std::string(14, '0') + "{");

  THotFileLine r;
  r.SetLayoutA(true);
  const std::string z = r.ZeroTotals93(std::string(136, '9'));
  const std::string field = std::string(14, '0') + "{";
  for (int start : {28, 43, 58, 73, 92}) EXPECT_EQ(z.substr(std::size_t(start - 1), 15), field) << start;
  EXPECT_EQ(z.substr(87, 4), "9999");
  EXPECT_EQ(z.substr(0, 27), std::string(27, '9'));
  EXPECT_EQ(z.substr(106), std::string(30, '9'));
  r.SetLayoutA(false);
  const std::string b = r.ZeroTotals99(std::string(136, '9'));
  EXPECT_EQ(b.substr(23, 5), "0000{");
  EXPECT_EQ(b.substr(114, 15), field);
  EXPECT_EQ(b.size(), 136u);
}

TEST(HotFileLine, ReadLineFromTheViewer) {
  TempDir dir;
  const std::string lines[] = {
      "BFH" + std::string(77, 'x'),   // 80 characters: padded
      "",                             // empty: passed over
      "   \t  ",                      // blanks only: passed over as well
      "BKT" + std::string(197, 'y'),  // 200 characters: whole
      "A" + std::string(599, 'z'),    // 600 characters: cut to 511
      "TTH01",                        // a T-line ends the records
  };
  std::string bytes;
  for (const auto& l : lines) bytes += l + "\r\n";
  TCtlTextFileViewer v;
  v.SetFileName(dir.Write("h.txt", bytes));
  v.SetIsOpen(true);
  THotFileLine& r = GlobalHotFileLine();
  AnsiString id, line;
  int calls = 0;
  auto progress = [&](void* user) { calls += *static_cast<int*>(user); };
  int step = 2;
  ASSERT_TRUE(r.ReadLine(v, 0, id, line, progress, &step));
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(line.size(), 136u);
  EXPECT_EQ(line.substr(80), std::string(56, ' '));
  for (int n : {1, 2}) {
    ASSERT_TRUE(r.ReadLine(v, n, id, line)) << n;
    EXPECT_EQ(line, "");
    EXPECT_EQ(id, "");
  }
  ASSERT_TRUE(r.ReadLine(v, 3, id, line));
  EXPECT_EQ(line.size(), 200u);
  ASSERT_TRUE(r.ReadLine(v, 4, id, line));
  EXPECT_EQ(line.size(), 511u);
  EXPECT_FALSE(r.ReadLine(v, 5, id, line));
  EXPECT_EQ(id, "");
  EXPECT_TRUE(r.ReadLine(v, 6, id, line));   // the empty line after the file's lines
  EXPECT_FALSE(r.ReadLine(v, 7, id, line));  // past the end
}
