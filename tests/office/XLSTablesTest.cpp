#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "core/TempDir.h"
#include "office/XLSConsts.h"
#include "office/XLSHtml.h"
#include "platform/rtl/Exceptions.h"

namespace {

uint32_t zlibHashOf(const XLSWideString& text) {
  std::string bytes;
  for (char16_t u : text) {
    if (u > 255) bytes += static_cast<char>(u >> 8);
    bytes += static_cast<char>(u & 0xFF);
  }
  uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
  return crc ^ 0xFFFFFFFFu;  // the hash leaves out zlib's final inversion
}

// Every text lands in one bucket, so growth and deletion can be watched there.
class OneBucketList : public TXLSCustomStrBucketList {
public:
  OneBucketList() { SetBucketCount(1); }
  int BucketFor(const XLSWideString&) const override { return 0; }
};

std::string runPython(const std::string& script, const std::string& input) {
  TempDir dir;
  std::string in = dir.Write("in.txt", input), py = dir.Write("check.py", script), out = dir.path + "out.txt";
  int rc = std::system(("python3 " + py + " " + in + " > " + out + " 2>&1").c_str());
  std::string text = TempDir::Read(out);
  EXPECT_EQ(rc, 0) << text;
  return text;
}

}  // namespace

TEST(XLSHash, MatchesZlibCrcWithoutFinalInversion) {
  EXPECT_EQ(WideHash(u"abc"), 0xCADBBE3Du);
  TXLSStringBucketList list;
  EXPECT_EQ(list.BucketFor(u"abc"), 162);
  for (const XLSWideString& s : {XLSWideString(), XLSWideString(u"abc"), XLSWideString(u"mediumDashDotDot"),
                                 XLSWideString(u"\u00E9t\u00E9"), XLSWideString(u"\u20AC \u0100x\uFFFF")})
    EXPECT_EQ(WideHash(s), zlibHashOf(s));
}

TEST(XLSHash, BucketListAddsFindsAndRefusesDuplicatesAndLockedChanges) {
  TXLSStringBucketList list;
  EXPECT_EQ(list.Add(u"Solid", 7), 7);
  EXPECT_EQ(list.Add(u"solid", 8), 8);  // case makes a different entry
  try {
    list.Add(u"Solid", 9);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "Duplicate Item");
  }
  int bucket = -1, index = -1;
  ASSERT_TRUE(list.Find(u"solid", bucket, index));
  EXPECT_EQ(list.ItemData(bucket, index), 8);
  EXPECT_FALSE(list.Find(u"SOLID", bucket, index));
  list.SetLocked(true);
  EXPECT_THROW(list.Add(u"x", 1), EListError);
  EXPECT_THROW(list.Clear(), EListError);
  // Destroyed while locked: the sanitizer build sees nothing left behind.
}

TEST(XLSHash, BucketGrowsInStepsAndDeletesInPlace) {
  OneBucketList list;
  std::vector<int> capacities;
  for (int i = 0; i < 95; ++i) {
    list.Add(u"t" + XLSWideString(std::u16string(1, char16_t(u'A' + i))), i);
    if (capacities.empty() || capacities.back() != list.BucketCapacity(0)) capacities.push_back(list.BucketCapacity(0));
  }
  EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95}));
  list.Clear();
  EXPECT_EQ(list.BucketItemCount(0), 0);

  struct Deleting : OneBucketList {
    int32_t Delete(int index) { return DeleteItem(0, index); }
  } three;
  three.Add(u"a", 1);
  three.Add(u"b", 2);
  three.Add(u"c", 3);
  EXPECT_EQ(three.Delete(0), 1);
  ASSERT_EQ(three.BucketItemCount(0), 2);
  EXPECT_EQ(three.ItemText(0, 0), u"b");
  EXPECT_EQ(three.ItemText(0, 1), u"c");
  three.Delete(0);
  three.Delete(0);
  EXPECT_EQ(three.BucketItemCount(0), 0);
  EXPECT_EQ(three.BucketCapacity(0), 0);
}

TEST(XLSHash, ProgramIdentifierFromTheFileHeader) {
  TempDir dir;
  std::string pe(64 + 248, '\0');
  pe[0] = 'M', pe[1] = 'Z', pe[60] = 64;
  const unsigned char stamp[4] = {0x82, 0x1B, 0x07, 0xF7}, size[4] = {0x00, 0x30, 0x01, 0x00};
  for (int i = 0; i < 4; ++i) pe[64 + 8 + i] = char(stamp[i]), pe[64 + 80 + i] = char(size[i]);
  struct Case {
    std::string bytes;
    AnsiString id;
  } cases[] = {{pe, "F7071B8200013000"},
               {std::string(200, 'E'), ""},
               {pe.substr(0, 300), XLSFallbackIdentifier},  // header cut short
               {"MZ", XLSFallbackIdentifier}};
  for (const Case& c : cases) EXPECT_EQ(ReadProgramIdentifier(dir.Write("prog", c.bytes)), c.id);
  EXPECT_EQ(ReadProgramIdentifier(dir.path + "missing"), XLSFallbackIdentifier);
}

TEST(XLSTables, StartupBuildsListsOnceAndCloseDownFreesThem) {
  TModuleSteps steps;
  AddSpreadsheetFileSteps(steps);
  steps.Startup();
  InitXLSConsts();  // nested: only counted
  ASSERT_NE(XLSFillPatternList(), nullptr);
  int bucket = 0, index = 0;
  ASSERT_TRUE(XLSFillPatternList()->Find(u"gray125", bucket, index));
  EXPECT_EQ(XLSFillPatternList()->ItemData(bucket, index), 17);
  ASSERT_TRUE(XLSBorderStyleList()->Find(u"slantedDashDot", bucket, index));
  EXPECT_EQ(XLSBorderStyleList()->ItemData(bucket, index), 13);
  EXPECT_EQ(XLSIdentifier().substr(0, 4), "XLS_");
  EXPECT_EQ(XLSStartupValues[8], 901000);
  DoneXLSConsts();
  EXPECT_NE(XLSEntityList(), nullptr);
  steps.Shutdown();
  EXPECT_EQ(XLSEntityList(), nullptr);
  EXPECT_EQ(XLSFillPatternList(), nullptr);
  EXPECT_EQ(XLSStartupValues[0], 0);
}

TEST(XLSTables, EntitiesAndEscapesAgreeWithPythonsHtmlTables) {
  InitXLSHtml();
  const TStringList& list = *XLSEntityList();
  ASSERT_EQ(list.Count(), XLSCharEntityCount);
  std::string lines;
  for (int i = 0; i < list.Count(); ++i) lines += "E " + list[i] + " " + std::to_string(XLSListValue(list, i)) + "\n";
  for (const TXLSCharEscape& e : XLSCharEscapes) lines += "X " + std::to_string(e.Code) + " " + e.Text + "\n";
  int at = -1;
  EXPECT_TRUE(list.Find("Dagger", at) && XLSListValue(list, at) == 8225);
  DoneXLSHtml();
  const char* script = R"(import sys, html.entities as h
n2c = h.name2codepoint
seen = set()
bad = []
for line in open(sys.argv[1]):
    kind, a, b = line.split()
    if kind == 'E':
        seen.add(a)
        ok = n2c.get(a) == int(b) or h.html5.get(a + ';') == chr(int(b))
    else:
        c = int(a)
        ok = b == ('&nbsp;' if c == 32 else '&%s;' % h.codepoint2name[c])
    if not ok: bad.append(line.strip())
bad += ['missing ' + k for k in n2c if k not in seen]
print('\n'.join(bad) or 'ok')
)";
  EXPECT_EQ(runPython(script, lines), "ok\n");
}

TEST(XLSTables, NamedColoursAgreeWithTheX11ListWhereBothNameAColour) {
  std::ifstream rgb("/usr/share/X11/rgb.txt");
  if (!rgb) GTEST_SKIP() << "no X11 colour list";
  std::map<std::string, uint32_t> x11;
  std::string line;
  while (std::getline(rgb, line)) {
    int r, g, b, used = 0;
    if (std::sscanf(line.c_str(), "%d %d %d %n", &r, &g, &b, &used) != 3) continue;
    std::string name;
    for (char ch : line.substr(used)) if (ch != ' ' && ch != '\t') name += char(std::tolower(ch));
    x11[name] = uint32_t(b) << 16 | uint32_t(g) << 8 | uint32_t(r);
  }
  int compared = 0;
  for (const TXLSNamedColour& c : XLSNamedColours) {
    std::string n = c.Name;
    // The web and X11 lists part ways on these.
    if (n == "gray" || n == "grey" || n == "green" || n == "maroon" || n == "purple" || !x11.count(n)) continue;
    EXPECT_EQ(x11[n], c.Color) << n;
    ++compared;
  }
  EXPECT_GT(compared, 130);
  EXPECT_EQ(XLSNamedColours[0].Color, 0xFFF8F0u);
}
