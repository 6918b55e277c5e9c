// Tables that lie: each opens with a clear error or reads what is there, and nothing crashes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "XbeTables.h"

namespace {

struct TField {
  std::string Name;
  char Type;
  int Width;
};

// A level-3 table as bytes, with every header number open to a lie.
struct TTableBytes {
  uint8_t Version = 0x03;
  std::vector<TField> Fields;
  std::vector<std::string> Records;
  int CountLie = -1, RecordSizeLie = -1, HeaderSizeLie = -1;
  std::string Build() const {
    int recordSize = 1;
    for (const TField& f : Fields) recordSize += f.Width;
    int headerSize = 32 + 32 * int(Fields.size()) + 1;
    std::string h(32, '\0');
    h[0] = char(Version);
    auto put = [&](int at, uint32_t v, int n) {
      for (int i = 0; i < n; ++i) h[std::size_t(at + i)] = char(v >> (8 * i));
    };
    put(4, CountLie >= 0 ? uint32_t(CountLie) : uint32_t(Records.size()), 4);
    put(8, uint32_t(HeaderSizeLie >= 0 ? HeaderSizeLie : headerSize), 2);
    put(10, uint32_t(RecordSizeLie >= 0 ? RecordSizeLie : recordSize), 2);
    for (const TField& f : Fields) {
      std::string d(32, '\0');
      std::memcpy(d.data(), f.Name.data(), std::min<std::size_t>(f.Name.size(), 10));
      d[11] = f.Type;
      d[16] = char(f.Width);
      h += d;
    }
    h += '\x0D';
    for (std::string r : Records) {
      r.resize(std::size_t(recordSize), ' ');
      h += r;
    }
    return h + '\x1A';
  }
};

std::string DbtWith(const std::string& memoBlock) {
  std::string m(512, '\0');
  m[0] = 2;  // next free block
  return m + memoBlock;
}

std::string FptWithBlockSize(int size) {
  std::string m(512, '\0');
  m[3] = 8;
  m[6] = char(size >> 8);
  m[7] = char(size);
  return m;
}

// Opens the table, walks it, reads every record and memo; answers the engine's last complaint.
std::string Exercise(const std::string& path, int32_t& area, int32_t& records) {
  TEngineErrors errors;
  TOpenTable t(path);
  area = t.Area;
  records = 0;
  std::string complaints;
  if (area < 1) return TEngineErrors::Last();
  std::vector<char> rec(std::size_t(xb_RecSize()) + 1);
  for (xb_GoTop(); !xb_Eof(); xb_Skip(1), ++records) {
    xb_GetRecord(rec.data());
    for (int i = 1; i <= xb_FieldCount(); ++i) {
      std::string name = xb_FieldName(i);
      if (std::string("MGB").find(xb_FieldType(name.c_str())) == std::string::npos) continue;
      TEngineErrors::Last().clear();
      char* memo = xb_GetMemo(name.c_str(), 0);
      xb_MemDealloc(memo);
      if (!TEngineErrors::Last().empty()) complaints = TEngineErrors::Last();
    }
  }
  return complaints;
}

TEST(XbeHostile, LyingTablesOpenWithAClearErrorOrReadWhatIsThere) {
  TempDir dir;
  TTableBytes plain;
  plain.Fields = {{"NAME", 'C', 10}};
  plain.Records = {" Ann", " Bob"};
  auto with = [&](auto change) {
    TTableBytes t = plain;
    change(t);
    return t.Build();
  };
  std::vector<TField> many;
  for (int i = 0; i < 255; ++i) many.push_back({"F" + std::to_string(i), 'C', 1});
  TTableBytes memo;
  memo.Version = 0x83;
  memo.Fields = {{"NAME", 'C', 4}, {"NOTES", 'M', 10}};
  TTableBytes fox = memo;
  fox.Version = 0xF5;
  struct TCase {
    const char* What;
    std::string Table;
    std::string Memo;  // written beside it as .dbt (or .fpt for the FoxPro kind)
    int32_t Records;   // -1: refused at open
    const char* Complaint;
  } cases[] = {
      {"a count beyond the file", with([](TTableBytes& t) { t.CountLie = 1000; }), "", 2, ""},
      {"a record size the fields do not fill", with([](TTableBytes& t) { t.RecordSizeLie = 100; }), "", -1, "Damaged DBF header"},
      {"fields reaching past the record", with([](TTableBytes& t) { t.Fields.push_back({"WIDE", 'C', 200}); t.RecordSizeLie = 11; }), "",
       -1, "Damaged DBF header"},
      {"a header longer than the file", with([](TTableBytes& t) { t.HeaderSizeLie = 60000; }), "", -1, "Damaged DBF header"},
      {"a field type byte of 0", with([](TTableBytes& t) { t.Fields[0].Type = '\0'; }), "", -1, "Damaged DBF header"},
      {"zero-width fields", with([](TTableBytes& t) { t.Fields.insert(t.Fields.begin(), {"NONE", 'C', 0}); }), "", 2, ""},
      {"255 fields", with([&](TTableBytes& t) { t.Fields = many; }), "", 2, ""},
      {"an empty file", "", "", -1, "Not a DBF table"},
      {"a truncated memo file", with([&](TTableBytes& t) { t = memo; t.Records = {" Ann         1"}; }), DbtWith("cut sh"), 1,
       "Truncated memo file"},
      {"a memo pointer past the end", with([&](TTableBytes& t) { t = memo; t.Records = {" Ann        99"}; }),
       DbtWith("text\x1a\x1a"), 1, "past the end"},
      {"a memo pointer that is no number", with([&](TTableBytes& t) { t = memo; t.Records = {" Ann      12x4"}; }),
       DbtWith("text\x1a\x1a"), 1, "Damaged memo reference"},
      {"a memo block size of 0", with([&](TTableBytes& t) { t = fox; t.Records = {" Ann         8"}; }), FptWithBlockSize(0), 1,
       "block size 0"},
      {"a memo file that is missing", with([&](TTableBytes& t) { t = memo; }), "", -1, "Memo file is missing"},
  };
  int n = 0;
  for (const TCase& c : cases) {
    std::string name = "t" + std::to_string(n++);
    dir.Write(name + ".dbf", c.Table);
    if (!c.Memo.empty()) dir.Write(name + (c.Memo.size() > 7 && c.Memo[7] == '\0' && c.Memo[3] == 8 ? ".fpt" : ".dbt"), c.Memo);
    int32_t area = 0, records = 0;
    std::string complaint = Exercise(dir.path + name + ".dbf", area, records);
    EXPECT_EQ(area > 0 ? records : -1, c.Records) << c.What << ": " << complaint;
    EXPECT_NE(complaint.find(c.Complaint), std::string::npos) << c.What << ": " << complaint;
  }
}

TEST(XbeHostile, BlobsNeverOverrunTheBufferTheirLengthSized) {
  TempDir dir;
  MakePeople(dir, "db3");
  TEngineErrors errors;
  TOpenTable t(dir.path + "people.dbf");
  char unasked[4] = "abc";
  xb_GetBlob("notes", unasked);  // no length asked for: refused, nothing written
  EXPECT_STREQ(unasked, "abc");
  int32_t length = xb_GetBlobLength("notes");
  ASSERT_EQ(length, 10);
  {
    // Meanwhile the memo grows through another copy of the table.
    TOpenTable other(dir.path + "people.dbf");
    std::string longer(5000, 'x');
    xb_PutBlob("notes", longer.data(), int32_t(longer.size()));
    xb_Commit();
  }
  xb_Select(t.Area);
  std::vector<char> buffer(std::size_t(length) + 8, '#');
  xb_GetBlob("notes", buffer.data());
  EXPECT_EQ(std::string(buffer.data() + length, 8), "########");
}

TEST(XbeHostile, AnotherProgramsIndexBesideATableIsLeftAlone) {
  TempDir dir;
  MakePeople(dir, "db3");
  std::string foreign("\x00\x04\x00\x00\x00\x00\x00\x00 binary tag pages", 26);
  dir.Write("people.cdx", foreign);
  TEngineErrors errors;
  {
    TOpenTable t(dir.path + "people.dbf");
    ASSERT_GT(t.Area, 0);
    EXPECT_NE(TEngineErrors::Last().find("left alone"), std::string::npos) << TEngineErrors::Last();
    TEngineErrors::Last().clear();
    EXPECT_EQ(xb_IndexOpen((dir.path + "people.cdx").c_str()), 0);
    EXPECT_EQ(TEngineErrors::Last(), "");  // reported once
  }
  // This engine's own tags for that index live beside it under a name of their own.
  dir.Write("people.xbi", "XBEINDEX 1\nNAME\tUPPER(NAME)\t\t0\t0\n");
  TOpenTable t(dir.path + "people.dbf");
  EXPECT_EQ(xb_SysProp(xbPropOrderCount, 0), 1);
  EXPECT_EQ(TempDir::Read(dir.path + "people.cdx"), foreign);
}

}  // namespace
