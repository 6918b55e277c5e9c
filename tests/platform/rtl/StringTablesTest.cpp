// The shared reader of "STR0" tables: lookups, and malformed or truncated tables read safely.
#include <gtest/gtest.h>

#include <cstring>

#include "controls/StrTabBuilder.h"
#include "platform/rtl/Resources.h"
#include "platform/rtl/StringTables.h"

namespace {

void Set32(std::vector<uint8_t>& b, std::size_t at, int32_t v) {
  for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = uint8_t(uint32_t(v) >> (8 * i));
}

TStringTable OpenOrFail(const std::vector<uint8_t>& b) {
  std::optional<TStringTable> t = TStringTable::Open(b.data(), b.size());
  EXPECT_TRUE(t.has_value());
  return t.value_or(TStringTable());
}

const std::vector<uint8_t> Small = strtab::Build({{-4, "minus"}, {1, "one"}, {7, "seven"}, {300, "caf\xC3\xA9"}});
const std::vector<uint8_t> NotATable = {'S', 'T', 'R', '1', 0, 0, 0, 0};
const TResourceRegistration r1("RCDATA", "ST_TEST_SMALL", Small.data(), Small.size());
const TResourceRegistration r2("RCDATA", "ST_TEST_NOT_A_TABLE", NotATable.data(), NotATable.size());
const TResourceRegistration r3("RCDATA", "ST_TEST_NO_DATA", nullptr, 0);

}  // namespace

TEST(StringTable, FindsTextsById) {
  const TStringTable t = OpenOrFail(Small);
  EXPECT_EQ(t.Count(), 4);
  EXPECT_EQ(t.GetString(-4), "minus");
  EXPECT_EQ(t.GetString(1), "one");
  EXPECT_EQ(t.GetString(7), "seven");
  EXPECT_EQ(t.GetString(300), "caf\xE9");  // to the program's code page
  for (int absent : {-5, 0, 2, 8, 299, 301, INT32_MAX, INT32_MIN}) EXPECT_EQ(t.GetString(absent), "") << absent;

  const std::vector<uint8_t> empty = strtab::Build({});
  EXPECT_EQ(OpenOrFail(empty).GetString(1), "");
  EXPECT_EQ(TStringTable().Count(), 0);
  EXPECT_EQ(TStringTable().GetString(1), "");
  TStringTableEntry entry;
  EXPECT_FALSE(TStringTable().Find(1, entry));
}

TEST(StringTable, RefusesWhatIsNotATable) {
  const std::vector<uint8_t> exact = strtab::Build({{1, ""}});  // header and one entry, no text bytes
  ASSERT_EQ(exact.size(), 20u);
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases = {
      {"empty", {}},
      {"shorter than the header", {'S', 'T', 'R', '0', 0, 0, 0}},
      {"wrong magic", NotATable},
      {"negative count", {'S', 'T', 'R', '0', 0xFF, 0xFF, 0xFF, 0xFF}},
      {"count past the end", {'S', 'T', 'R', '0', 1, 0, 0, 0, 1, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0}},
      {"huge count", {'S', 'T', 'R', '0', 0xFF, 0xFF, 0xFF, 0x7F}},
  };
  for (const Case& c : cases) EXPECT_FALSE(TStringTable::Open(c.bytes.data(), c.bytes.size())) << c.what;
  EXPECT_FALSE(TStringTable::Open(nullptr, 64));
  EXPECT_EQ(OpenOrFail(exact).GetString(1), "");
}

TEST(StringTable, EntriesOutsideTheTableReadAsMissing) {
  // One entry, id 5, whose offset (bytes 12..15) and length (16..19) are spoilt in turn.
  const std::vector<uint8_t> good = strtab::Build({{5, "hello"}, {9, "nine"}});
  struct Case {
    const char* what;
    int32_t offset;
    int32_t length;
  };
  const int32_t size = int32_t(good.size());
  const Case cases[] = {
      {"negative offset", -2, 5},
      {"negative length", 32, -1},
      {"offset past the end", size + 1, 0},
      {"text runs past the end", size - 4, 3},
      {"length that would overflow", 32, INT32_MAX},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = good;
    Set32(bad, 12, c.offset);
    Set32(bad, 16, c.length);
    const TStringTable t = OpenOrFail(bad);
    TStringTableEntry entry;
    EXPECT_FALSE(t.Find(5, entry)) << c.what;
    EXPECT_EQ(t.GetString(5), "") << c.what;
    EXPECT_EQ(t.GetString(9), "nine") << c.what;  // the sound entry still reads
  }
  // An empty text at the very end is within the table.
  std::vector<uint8_t> atEnd = good;
  Set32(atEnd, 12, size);
  Set32(atEnd, 16, 0);
  TStringTableEntry entry;
  EXPECT_TRUE(OpenOrFail(atEnd).Find(5, entry));

  // Cutting the texts off leaves the index valid but its texts missing.
  const std::vector<uint8_t> truncated(good.begin(), good.end() - 4);
  const TStringTable t = OpenOrFail(truncated);
  EXPECT_EQ(t.GetString(5), "hello");
  EXPECT_EQ(t.GetString(9), "");
  // Nor does a caller's own entry read outside the table.
  EXPECT_EQ(t.Text({truncated.size() - 2, 2}), "");
  EXPECT_EQ(t.Text({truncated.size() + 1, 0}), "");
}

TEST(StringTable, ReadsUtf16IntoTheCodePage) {
  // U+20AC, U+1F600 as a surrogate pair, then a high surrogate with nothing after it.
  std::vector<uint8_t> b = strtab::Build({{1, "....."}});
  const uint8_t texts[] = {0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, 0x41, 0x00, 0x3D, 0xD8};
  std::memcpy(b.data() + 20, texts, sizeof texts);
  const TStringTable t = OpenOrFail(b);
  EXPECT_EQ(t.GetString(1), "\x80?A?");
  TStringTableEntry entry;
  ASSERT_TRUE(t.Find(1, entry));
  entry.Units = 2;  // a pair cut in half
  EXPECT_EQ(t.Text(entry), "\x80?");
}

TEST(StringTable, OpensNamedResources) {
  TStringTable t;
  EXPECT_EQ(OpenStringTableResource("st_test_small", t), stfNone);  // names ignore case
  EXPECT_EQ(t.GetString(7), "seven");
  EXPECT_EQ(OpenStringTableResource("ST_TEST_NO_SUCH", t), stfNotFound);
  EXPECT_EQ(t.GetString(7), "");  // a failed open leaves nothing behind
  EXPECT_EQ(OpenStringTableResource("ST_TEST_NO_DATA", t), stfCannotOpen);
  EXPECT_EQ(OpenStringTableResource("ST_TEST_NOT_A_TABLE", t), stfInvalid);
  EXPECT_EQ(OpenStringTableResource("", t), stfNone);
  EXPECT_EQ(t.Count(), 0);
}
