#include <gtest/gtest.h>
#include <zlib.h>

#include <map>
#include <memory>
#include <sstream>

#include "ZipTestSupport.h"
#include "platform/rtl/Files.h"
#include "zip/engine/ZpInsertItem.h"
#include "zip/engine/ZpZipArchive.h"

namespace {

using ziptest::Quote;
using ziptest::ReadFile;
using ziptest::Shell;
using ziptest::TempDir;
using ziptest::WriteFile;

struct TFailure {
  std::string Name;
  int Process, Class, Code;
};

// Opens an archive as the component does: existing files read-write deny-write, new ones created.
std::unique_ptr<TZpZipArchive> OpenArchive(const std::string& path, std::vector<TFailure>* failures = nullptr) {
  bool exists = FileExists(path);
  auto a = std::make_unique<TZpZipArchive>(path, exists ? (fmOpenReadWrite | fmShareDenyWrite) : fmCreate);
  a->SetBaseDirectory(ExtractFileDir(path));
  if (failures)
    a->OnProcessItemFailure = [failures](TZpArchive&, TZpArchiveItem* item, TZpProcessType p, TZpErrorClass c, int code) {
      failures->push_back({item ? item->FileName() : "", int(p), int(c), code});
    };
  if (exists) a->Load();
  return a;
}

// A storing inserter, with zlib's CRC as the oracle; a disk file named "*fail*" fails to compress.
void PlugStoredInserter(TZpZipArchive& a) {
  a.InsertHelper = [](TZpZipArchive&, TZpZipItem& item, TStream& out) {
    if (item.DiskFileName().find("fail") != std::string::npos) throw EFOpenError("cannot open");
    std::string data = ReadFile(item.DiskFileName());
    out.WriteBuffer(data.data(), int64_t(data.size()));
    item.SetCRC32(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size()))));
    item.SetCompressedSize(uint32_t(data.size()));
    item.SetUncompressedSize(uint32_t(data.size()));
    item.SetCompressionMethod(0);
    item.SetVersionNeededToExtract(10);
    item.SetVersionMadeBy(20);
    int32_t age = FileAge(item.DiskFileName());
    item.SetLastModFileDate(uint16_t(age >> 16));
    item.SetLastModFileTime(uint16_t(age & 0xFFFF));
  };
}

// Name -> bytes of every file in an archive, as Python's zipfile reads them.
std::map<std::string, std::string> PythonRead(const TempDir& dir, const std::string& zip, const std::string& pwd = "") {
  std::string script = dir / "read.py";
  WriteFile(script,
            "import sys, zipfile\n"
            "z = zipfile.ZipFile(sys.argv[1])\n"
            "pwd = bytes.fromhex(sys.argv[3]) if len(sys.argv) > 3 else None\n"
            "with open(sys.argv[2], 'w') as out:\n"
            "  for i in z.infolist():\n"
            "    out.write(i.filename + '\\t' + z.read(i, pwd=pwd).hex() + '\\n')\n");
  std::string hex;
  for (unsigned char c : pwd) {
    char b[3];
    std::snprintf(b, sizeof b, "%02x", c);
    hex += b;
  }
  std::map<std::string, std::string> out;
  if (Shell("python3 " + Quote(script) + " " + Quote(zip) + " " + Quote(dir / "read.txt") + (pwd.empty() ? "" : " " + hex)) != 0)
    return out;
  std::istringstream in(ReadFile(dir / "read.txt"));
  std::string line;
  while (std::getline(in, line)) {
    auto tab = line.find('\t');
    std::string bytes;
    for (std::size_t i = tab + 1; i + 1 < line.size(); i += 2) bytes += char(std::stoi(line.substr(i, 2), nullptr, 16));
    out[line.substr(0, tab)] = bytes;
  }
  return out;
}

std::string Py(const TempDir& dir, const std::string& body) {
  std::string script = dir / "make.py";
  WriteFile(script, "import zipfile, io, sys\n" + body);
  return "python3 " + Quote(script);
}

struct TCorpus {
  std::map<std::string, std::string> Files = {
      {"empty.txt", ""},
      {"one.bin", "x"},
      {"hot.txt", ziptest::HotText(50000)},
      {"random.bin", ziptest::RandomBytes(70000, 7)},
      {"sub/zeros.bin", std::string(33000, '\0')},
      {"sub/deeper/note.txt", "note\r\n"},
  };
  void WriteTo(const TempDir& dir) const {
    for (auto& [name, data] : Files) WriteFile(dir / ("src/" + name), data);
  }
};

TEST(ZipArchiveRead, ListsArchivesOfRealWriters) {
  struct Case {
    const char* label;
    std::string command;  // run in src/, writes ../a.zip
  };
  const Case cases[] = {
      {"zip -0", "zip -q -0 -r ../a.zip ."},
      {"zip -1", "zip -q -1 -r ../a.zip ."},
      {"zip -6", "zip -q -6 -r ../a.zip ."},
      {"zip -9", "zip -q -9 -r ../a.zip ."},
      {"zip -X no extra fields", "zip -q -X -r ../a.zip ."},
      {"zip -z archive comment", "echo 'the comment' | zip -q -z -r ../a.zip ."},
      {"zip -c entry comments", "yes 'entry comment' | zip -q -c -r ../a.zip ."},
      {"zip -P password", "zip -q -P secret -r ../a.zip ."},
  };
  TCorpus corpus;
  for (const Case& c : cases) {
    TempDir dir;
    corpus.WriteTo(dir);
    ASSERT_EQ(Shell("cd " + Quote(dir / "src") + " && " + c.command), 0) << c.label;
    auto expected = PythonRead(dir, dir / "a.zip", std::string(c.label).find("-P") != std::string::npos ? "secret" : "");
    ASSERT_FALSE(expected.empty()) << c.label;
    auto a = OpenArchive(dir / "a.zip");
    ASSERT_EQ(a->Count(), int(expected.size())) << c.label;
    for (int i = 0; i < a->Count(); ++i) {
      TZpZipItem* item = a->ZipItems(i);
      ASSERT_TRUE(expected.count(item->FileName())) << c.label << " " << item->FileName();
      const std::string& data = expected[item->FileName()];
      EXPECT_EQ(item->UncompressedSize(), data.size()) << c.label;
      EXPECT_EQ(item->CRC32(), uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size()))));
      EXPECT_EQ(item->IsDirectory(), item->FileName().back() == '/');
    }
    if (std::string(c.label).find("-z") != std::string::npos) {
      EXPECT_EQ(a->ZipfileComment(), "the comment");
    }
  }
}

TEST(ZipArchiveRead, PythonArchivesIncludingStreamsAndRefusedMethods) {
  TempDir dir;
  ASSERT_EQ(Shell(Py(dir,
                   "def make(path, **kw):\n"
                   "  with zipfile.ZipFile(path, 'w', **kw) as z:\n"
                   "    z.writestr('a.txt', 'hello ' * 1000)\n"
                   "    z.writestr('b.bin', bytes(range(256)) * 10)\n"
                   "    z.comment = b'py comment'\n"
                   "make(sys.argv[1] + '/stored.zip')\n"
                   "for l in range(10): make(sys.argv[1] + '/deflated%d.zip' % l, compression=zipfile.ZIP_DEFLATED, compresslevel=l)\n"
                   "make(sys.argv[1] + '/bzip2.zip', compression=zipfile.ZIP_BZIP2)\n"
                   "make(sys.argv[1] + '/lzma.zip', compression=zipfile.ZIP_LZMA)\n"
                   "class W(io.RawIOBase):\n"
                   "  def __init__(s, f): s.f = f\n"
                   "  def writable(s): return True\n"
                   "  def write(s, b): return s.f.write(b)\n"
                   "with open(sys.argv[1] + '/stream.zip', 'wb') as f:\n"
                   "  with zipfile.ZipFile(W(f), 'w', compression=zipfile.ZIP_DEFLATED) as z:\n"
                   "    with z.open('s.txt', 'w') as e: e.write(b'streamed ' * 500)\n"
                   "    z.writestr('t.txt', 'second')\n"
                   "with zipfile.ZipFile(sys.argv[1] + '/zip64.zip', 'w') as z:\n"
                   "  with z.open('big.txt', 'w', force_zip64=True) as e: e.write(b'x' * 100)\n"
                   "zipfile.ZipFile(sys.argv[1] + '/empty.zip', 'w').close()\n") +
                " " + Quote(dir.Path())),
            0);
  for (std::string name : {"stored", "deflated0", "deflated1", "deflated5", "deflated9", "bzip2", "lzma"}) {
    auto a = OpenArchive(dir / (name + ".zip"));
    ASSERT_EQ(a->Count(), 2) << name;
    EXPECT_EQ(a->ZipItems(0)->FileName(), "a.txt");
    EXPECT_EQ(a->ZipItems(0)->UncompressedSize(), 6000u);
    EXPECT_EQ(a->ZipfileComment(), "py comment");
  }
  auto s = OpenArchive(dir / "stream.zip");
  ASSERT_EQ(s->Count(), 2);
  EXPECT_TRUE(s->ZipItems(0)->GeneralPurposeBitFlag() & ZpFlagDataDescriptor);
  EXPECT_EQ(s->ZipItems(0)->UncompressedSize(), 4500u);
  auto z64 = OpenArchive(dir / "zip64.zip");
  ASSERT_EQ(z64->Count(), 1);
  EXPECT_GT(z64->ZipItems(0)->VersionNeededToExtract() & 0xFF, 20);
  // An archive of only an end record is a valid archive of no items.
  auto empty = OpenArchive(dir / "empty.zip");
  EXPECT_EQ(empty->Count(), 0);
}

TEST(ZipArchiveRead, MalformedArchivesFailWithTheEngineExceptions) {
  TempDir dir;
  TCorpus corpus;
  corpus.WriteTo(dir);
  ASSERT_EQ(Shell("cd " + Quote(dir / "src") + " && zip -q -r ../good.zip ."), 0);
  std::string good = ReadFile(dir / "good.zip");
  std::size_t eocd = good.rfind("PK\x05\x06");
  std::size_t cd = good.find("PK\x01\x02");

  auto corrupt = [&](const std::string& name, std::string bytes) {
    WriteFile(dir / name, bytes);
    return dir / name;
  };
  EXPECT_THROW(OpenArchive(corrupt("text.zip", "just some text that is long enough to search through")), EZpZipInvalid);
  std::string badCentral = good;
  badCentral[cd + 2] = 'X';
  EXPECT_THROW(OpenArchive(corrupt("badcd.zip", badCentral)), EZpZipInvalid);
  std::string pastEnd = good;
  pastEnd[eocd + 16] = char(0xF0);  // directory offset far past the end
  pastEnd[eocd + 19] = char(0x7F);
  EXPECT_THROW(OpenArchive(corrupt("offset.zip", pastEnd)), EZpZipInvalid);
  std::string cut = good.substr(0, cd + 20) + good.substr(eocd);
  EXPECT_ANY_THROW(OpenArchive(corrupt("cut.zip", cut)));
  // Bytes lost from the middle leave the directory offset at or past the end record.
  std::string lost = good.substr(0, 40) + good.substr(cd + (eocd - cd) / 2);
  EXPECT_THROW(OpenArchive(corrupt("lost.zip", lost)), EZpZipInvalid);
  std::string atEnd = good;
  const uint32_t end = uint32_t(eocd);
  for (int i = 0; i < 4; ++i) atEnd[eocd + 16 + std::size_t(i)] = char(end >> (8 * i));
  EXPECT_THROW(OpenArchive(corrupt("atend.zip", atEnd)), EZpZipInvalid);

  // An end record claiming no entries in front of a full directory.
  std::string zeroEntries = good;
  zeroEntries[eocd + 8] = zeroEntries[eocd + 9] = zeroEntries[eocd + 10] = zeroEntries[eocd + 11] = 0;
  std::vector<uint8_t> progress;
  auto a = std::make_unique<TZpZipArchive>(corrupt("zero.zip", zeroEntries), fmOpenRead);
  a->OnArchiveProgress = [&](TZpArchive&, uint8_t p, bool&) { progress.push_back(p); };
  a->Load();
  EXPECT_EQ(a->Count(), int(corpus.Files.size()) + 2);  // the files and the two folders
  for (uint8_t p : progress) EXPECT_LE(p, 100);

  // A failed load leaves an archive that refuses further work.
  auto b = std::make_unique<TZpZipArchive>(dir / "badcd.zip", fmOpenRead);
  EXPECT_THROW(b->Load(), EZpZipInvalid);
  EXPECT_THROW(b->Save(), EZpNoArchive);
}

TEST(ZipArchiveSave, CopiesUnchangedItemsAndAddsNewOnes) {
  TempDir dir;
  TCorpus corpus;
  corpus.WriteTo(dir);
  ASSERT_EQ(Shell("cd " + Quote(dir / "src") + " && zip -q -r ../a.zip ."), 0);
  ASSERT_EQ(Shell(Py(dir,
                   "class W(io.RawIOBase):\n"
                   "  def __init__(s, f): s.f = f\n"
                   "  def writable(s): return True\n"
                   "  def write(s, b): return s.f.write(b)\n"
                   "with open(sys.argv[1], 'wb') as f:\n"
                   "  with zipfile.ZipFile(W(f), 'w', compression=zipfile.ZIP_DEFLATED) as z:\n"
                   "    with z.open('s.txt', 'w') as e: e.write(b'streamed ' * 500)\n"
                   "    with z.open('u.txt', 'w') as e: e.write(b'more ' * 50)\n") +
                " " + Quote(dir / "stream.zip")),
            0);
  for (std::string zip : {"a.zip", "stream.zip"}) {
    auto before = PythonRead(dir, dir / zip);
    {
      auto a = OpenArchive(dir / zip);
      PlugStoredInserter(*a);
      std::string gone = a->ZipItems(0)->FileName();
      a->DeleteAt(0);
      before.erase(gone);
      WriteFile(dir / "added.txt", "added content\r\n");
      a->AddFiles(dir / "added.txt", faAnyFile);
      a->Save();
      EXPECT_EQ(a->Count(), int(before.size()) + 1);
    }
    EXPECT_EQ(Shell("unzip -tq " + Quote(dir / zip)), 0) << zip;
    auto after = PythonRead(dir, dir / zip);
    for (auto& [name, data] : after) {
      if (name.find("added.txt") != std::string::npos) {
        EXPECT_EQ(data, "added content\r\n");
        continue;
      }
      ASSERT_TRUE(before.count(name)) << zip << " " << name;
      EXPECT_EQ(data, before[name]);
    }
  }
}

TEST(ZipArchiveSave, NamesAreStoredInTheOemCodePageOnce) {
  TempDir dir;
  WriteFile(dir / "caf\xC3\xA9.txt", "name bytes stay");
  {
    auto a = OpenArchive(dir / "n.zip");
    PlugStoredInserter(*a);
    // The disk name is used as it is; the stored name is the 1252 form converted to 437.
    std::unique_ptr<TZpArchiveItem> item = a->NewItem(dir / "caf\xC3\xA9.txt");
    item->SetFileName("caf\xE9.txt");
    a->Add(std::move(item));
    a->Save();
    EXPECT_EQ(a->ZipItems(0)->ItemInfo().FileName, "caf\x82.txt");
    EXPECT_EQ(a->ZipItems(0)->FileName(), "caf\xE9.txt");
  }
  auto read = PythonRead(dir, dir / "n.zip");
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read.begin()->first, "caf\xC3\xA9.txt");  // Python decodes the name as code page 437
}

TEST(ZipArchiveSave, SizeCapAndFailuresKeepWhatTheArchiveHolds) {
  TempDir dir;
  std::vector<TFailure> failures;
  for (int i = 0; i < 4; ++i) WriteFile(dir / ("f" + std::to_string(i) + ".bin"), ziptest::RandomBytes(600 * 1024, i));
  {
    auto a = OpenArchive(dir / "cap.zip", &failures);
    PlugStoredInserter(*a);
    a->SetMaxZipFileSizeInMb(1);
    a->AddFiles(dir / "f*.bin", faAnyFile);
    a->Save();
    // The first item always goes in; the next passes the cap and it and every later new item stay out.
    ASSERT_EQ(a->Count(), 1);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].Process, int(ptAdd));
    EXPECT_EQ(failures[0].Class, 4);
    EXPECT_EQ(failures[0].Code, 2);
  }
  EXPECT_EQ(Shell("unzip -tq " + Quote(dir / "cap.zip")), 0);

  // A freshen that would pass the cap keeps the old copy; a failing replace keeps its old copy too.
  failures.clear();
  WriteFile(dir / "small.txt", "small");
  WriteFile(dir / "old.txt", "old copy");
  {
    auto a = OpenArchive(dir / "cap.zip", &failures);
    PlugStoredInserter(*a);
    auto plain = a->InsertHelper;
    a->InsertHelper = [plain](TZpZipArchive& ar, TZpZipItem& item, TStream& out) {
      if (item.Action() == aaReplace) throw EFOpenError("gone");
      plain(ar, item, out);
    };
    a->AddFiles(dir / "small.txt", faAnyFile);
    a->AddFiles(dir / "old.txt", faAnyFile);
    a->Save();
    ASSERT_EQ(a->Count(), 3);
    WriteFile(dir / "old.txt", "new copy");
    a->SetStoreOptions(soStripDrive | soReplace);
    a->AddFiles(dir / "old.txt", faAnyFile);
    a->Save();
    ASSERT_EQ(a->Count(), 3);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].Class, 4);
    EXPECT_EQ(failures[0].Code, 0);
  }
  // A failure inside the real compressor (a source too large for the format) is class 4, code 0.
  failures.clear();
  WriteFile(dir / "huge.bin", "");
  ziptest::fs::resize_file(dir / "huge.bin", uint64_t(1) << 32);
  {
    auto a = OpenArchive(dir / "cap.zip", &failures);
    a->InsertHelper = ZpInsertFromFile;
    a->AddFiles(dir / "huge.bin", faAnyFile);
    a->Save();
    EXPECT_EQ(a->Count(), 3);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].Class, 4);
    EXPECT_EQ(failures[0].Code, 0);
  }
  auto read = PythonRead(dir, dir / "cap.zip");
  EXPECT_EQ(read[ziptest::fs::path(dir / "old.txt").relative_path().string()], "old copy");
  EXPECT_EQ(read[ziptest::fs::path(dir / "small.txt").relative_path().string()], "small");
}

TEST(ZipArchiveSave, AnAbortedSaveLeavesTheOriginalWhole) {
  TempDir dir;
  TCorpus corpus;
  corpus.WriteTo(dir);
  ASSERT_EQ(Shell("cd " + Quote(dir / "src") + " && zip -q -r ../a.zip ."), 0);
  std::string original = ReadFile(dir / "a.zip");
  {
    auto a = OpenArchive(dir / "a.zip");
    a->DeleteAt(0);
    int calls = 0;
    a->OnArchiveProgress = [&](TZpArchive&, uint8_t, bool& abort) { abort = ++calls == 3; };
    EXPECT_THROW(a->Save(), EZpUserAbort);
  }
  EXPECT_EQ(ReadFile(dir / "a.zip"), original);
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.Path())) files += e.is_regular_file();
  EXPECT_EQ(files, 1);  // no temporary file is left beside it
}

TEST(ZipArchiveSave, SpannedSetsAndTheirLimits) {
  TempDir dir;
  WriteFile(dir / "big.bin", ziptest::RandomBytes(200000, 3));
  {
    auto a = OpenArchive(dir / "span.zip");
    PlugStoredInserter(*a);
    a->SetSpanningThreshold(65536);
    a->AddFiles(dir / "big.bin", faAnyFile);
    a->Save();
    EXPECT_TRUE(a->IsSpanned());
  }
  EXPECT_TRUE(FileExists(dir / "span.z01"));
  EXPECT_TRUE(FileExists(dir / "span.z03"));
  EXPECT_EQ(ReadFile(dir / "span.zip").substr(0, 4), "PK\x07\x08");
  {
    auto a = OpenArchive(dir / "span.zip");
    EXPECT_TRUE(a->IsSpanned());
    ASSERT_EQ(a->Count(), 1);
    EXPECT_EQ(a->ZipItems(0)->UncompressedSize(), 200000u);
    a->DeleteAt(0);
    EXPECT_THROW(a->Save(), EZpZipSpanOverwrite);
  }
  // A set that fits one volume keeps "PK00" and is an ordinary archive.
  {
    auto a = OpenArchive(dir / "one.zip");
    PlugStoredInserter(*a);
    a->SetSpanningThreshold(1 << 20);
    a->AddFiles(dir / "big.bin", faAnyFile);
    a->Save();
    EXPECT_FALSE(a->IsSpanned());
  }
  EXPECT_EQ(ReadFile(dir / "one.zip").substr(0, 4), "PK00");
  EXPECT_EQ(OpenArchive(dir / "one.zip")->Count(), 1);
  // More than 99 volumes is refused before anything is written.
  {
    auto a = OpenArchive(dir / "many.zip");
    PlugStoredInserter(*a);
    a->SetSpanningThreshold(1000);
    a->AddFiles(dir / "big.bin", faAnyFile);
    EXPECT_THROW(a->Save(), EZpException);
  }
  EXPECT_FALSE(FileExists(dir / "many.z01"));
}

TEST(ZipArchiveModel, StoredNamesDuplicatesAndBaseFolder) {
  TempDir dir;
  std::vector<TFailure> failures;
  auto a = OpenArchive(dir / "m.zip", &failures);
  struct Case {
    TZpStoreOptions options;
    const char* name;
    const char* stored;
  };
  const Case cases[] = {
      {soStripDrive, "/abs/dir/f.txt", "abs/dir/f.txt"},
      {soStripDrive, "C:\\dir\\f.txt", "dir/f.txt"},
      {soStripDrive | soStripPath, "/abs/dir/f.txt", "f.txt"},
      {soStripDrive | soRemoveDots, "../x/./y/../f.txt", "x/y/f.txt"},
  };
  for (const Case& c : cases) {
    a->SetStoreOptions(c.options);
    EXPECT_EQ(a->MakeStoredName(c.name), c.stored) << c.name;
  }
  a->SetStoreOptions(soStripDrive);
  WriteFile(dir / "Same.txt", "1");
  WriteFile(dir / "sub/same.txt", "2");
  a->AddFiles(dir / "Same.txt", faAnyFile);
  auto dup = a->NewItem(dir / "sub/same.txt");
  dup->SetFileName(a->ZipItems(0)->FileName().substr(0, a->ZipItems(0)->FileName().size() - 8) + "SAME.TXT");
  a->Add(std::move(dup));
  EXPECT_EQ(a->Count(), 1);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].Code, 7);
  EXPECT_EQ(a->FindFile(ziptest::fs::path(dir / "same.TXT").relative_path().string()), 0);

  EXPECT_NO_THROW(a->SetBaseDirectory(""));
  EXPECT_EQ(a->BaseDirectory(), "");
  EXPECT_THROW(a->SetBaseDirectory(dir / "missing"), EZpNoSuchDirectory);
  EXPECT_TRUE(ExceedsZipSizeCap(0, 1000 * 1024 * 1024, 1000 * 1024 * 1024));
  EXPECT_FALSE(ExceedsZipSizeCap(0, 1000 * 1024 * 1024, 999 * 1024 * 1024));
  EXPECT_TRUE(ExceedsZipSizeCap(1, 512 * 1024, 512 * 1024));
}

TEST(ZipArchiveModel, NamesAreLookedUpThroughTheirHashBucket) {
  struct TCounted : TZpArchiveItem {
    int* Reads = nullptr;
    AnsiString FileName() const override {
      ++*Reads;
      return TZpArchiveItem::FileName();
    }
  };
  int reads = 0;
  TZpArchiveList list;
  auto add = [&](const std::string& name) {
    auto item = std::make_unique<TCounted>();
    item->Reads = &reads;
    item->SetFileName(name);
    return list.Add(std::move(item));
  };
  for (int i = 0; i < 5000; ++i) add("dir/f" + std::to_string(i) + ".txt");
  EXPECT_EQ(add("DIR/F7.TXT"), 5000);
  reads = 0;
  EXPECT_EQ(list.Find("Dir/F4321.txt"), 4321);
  EXPECT_EQ(list.Find("dir/f7.txt"), 7);  // the first of two
  EXPECT_FALSE(list.HasActiveName("dir/none.txt"));
  EXPECT_LT(reads, 100);  // a bucket's worth, not the whole list

  list.Items(7)->SetAction(aaDelete);
  EXPECT_EQ(list.FindActive("dir/f7.txt"), 5000);
  EXPECT_EQ(list.FindActive("dir/f7.txt", list.Items(5000)), -1);
  list.Delete(10);
  EXPECT_EQ(list.Find("dir/f4321.txt"), 4320);
  EXPECT_EQ(list.Find("dir/f10.txt"), -1);
  list.Items(0)->SetFileName("renamed.txt");
  list.Relink(list.Items(0));
  EXPECT_EQ(list.Find("RENAMED.TXT"), 0);
  EXPECT_EQ(list.Find("dir/f0.txt"), -1);
}

}  // namespace

namespace {

TEST(ZipArchiveSave, KeepsAStubAndFreshensChangedFiles) {
  TempDir dir;
  WriteFile(dir / "f.txt", "first");
  WriteFile(dir / "g.txt", "other");
  // Whole even seconds, which DOS times hold exactly.
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && touch -d '2020-01-02 10:00:00' f.txt g.txt && zip -q -D plain.zip f.txt g.txt"), 0);
  std::string stub = "MZ" + std::string(98, 's');
  WriteFile(dir / "sfx.zip", stub + ReadFile(dir / "plain.zip"));
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && zip -q -A sfx.zip"), 0);  // offsets past the stub
  {
    auto a = OpenArchive(dir / "sfx.zip");
    EXPECT_TRUE(a->HasStub());
    EXPECT_EQ(a->StubSize(), 100);
    a->SetBaseDirectory(dir.Path());
    PlugStoredInserter(*a);
    // A newer disk file is freshened; an unchanged one is left as it is.
    WriteFile(dir / "f.txt", "second, longer");
    ASSERT_EQ(Shell("touch -d '2020-01-03 10:00:00' " + Quote(dir / "f.txt")), 0);
    a->FreshenFiles("*.*");
    EXPECT_EQ(a->ZipItems(a->FindFile("f.txt"))->Action(), aaFreshen);
    EXPECT_EQ(a->ZipItems(a->FindFile("g.txt"))->Action(), aaUnchanged);
    a->Save();
  }
  EXPECT_EQ(ReadFile(dir / "sfx.zip").substr(0, 100), stub);
  EXPECT_EQ(Shell("unzip -tq " + Quote(dir / "sfx.zip")), 0);
  auto read = PythonRead(dir, dir / "sfx.zip");
  EXPECT_EQ(read["f.txt"], "second, longer");
  EXPECT_EQ(read["g.txt"], "other");
}

}  // namespace
