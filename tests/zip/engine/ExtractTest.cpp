#include <gtest/gtest.h>
#include <zlib.h>

#include <map>
#include <memory>
#include <sstream>

#include "ZipTestSupport.h"
#include "platform/rtl/Files.h"
#include "zip/engine/ZpBitBucketStream.h"
#include "zip/engine/ZpSlidingWindowStream.h"
#include "zip/engine/ZpInsertItem.h"
#include "zip/engine/ZpUnzipHelper.h"
#include "zip/engine/ZpUnzipItem.h"
#include "zip/engine/ZpZipArchive.h"
#include "zip/engine/ZpZipHelper.h"

namespace {

using ziptest::Quote;
using ziptest::ReadFile;
using ziptest::Shell;
using ziptest::TempDir;
using ziptest::WriteFile;
namespace fs = std::filesystem;

// The codecs come from their own units; until they decode, the round trips have nothing to test.
bool CodecsReady() {
  static const bool ready = [] {
    try {
      TMemoryStream src, out, back;
      src.Write("abc", 3);
      src.SetPosition(0);
      TZpZipHelper zipper(&src, nullptr, &out);
      zipper.SetMethod(ZpMethodDeflated);
      zipper.Execute();
      out.SetPosition(0);
      TZpUnzipHelper unzipper(&out, &back, nullptr);
      unzipper.SetCompressedSize(out.Size());
      unzipper.SetUncompressedSize(3);
      unzipper.SetMethod(ZpMethodDeflated);
      unzipper.Execute();
      return back.Size() == 3;
    } catch (const EZpException&) {
      return false;
    }
  }();
  return ready;
}
#define REQUIRE_CODECS() \
  if (!CodecsReady()) GTEST_SKIP() << "compressor and decompressor not built yet"

struct TFailure {
  std::string Name;
  int Class, Code;
};

std::unique_ptr<TZpZipArchive> OpenArchive(const std::string& path, std::vector<TFailure>* failures = nullptr) {
  bool exists = FileExists(path);
  auto a = std::make_unique<TZpZipArchive>(path, exists ? (fmOpenReadWrite | fmShareDenyWrite) : fmCreate);
  a->SetBaseDirectory(ExtractFileDir(path));
  a->ExtractHelper = ZpExtractToFile;
  a->ExtractToStreamHelper = ZpExtractToStream;
  a->TestHelper = ZpTestItem;
  a->InsertHelper = ZpInsertFromFile;
  a->InsertFromStreamHelper = ZpInsertFromStream;
  a->OnProcessItemFailure = [failures](TZpArchive&, TZpArchiveItem* item, TZpProcessType, TZpErrorClass c, int code) {
    if (failures) failures->push_back({item ? item->FileName() : "", int(c), code});
    else ADD_FAILURE() << "item failed: " << (item ? item->FileName() : "") << " class " << int(c) << " code " << code;
  };
  if (exists) a->Load();
  return a;
}

std::string Hex(const std::string& s) {
  std::string hex;
  for (unsigned char c : s) {
    char b[3];
    std::snprintf(b, sizeof b, "%02x", c);
    hex += b;
  }
  return hex;
}

// Extracts with Python's zipfile into folder; the exit status.
int PythonExtract(const TempDir& dir, const std::string& zip, const std::string& folder, const std::string& pwd) {
  WriteFile(dir / "x.py",
            "import sys, zipfile\n"
            "z = zipfile.ZipFile(sys.argv[1])\n"
            "z.extractall(sys.argv[2], pwd=bytes.fromhex(sys.argv[3]) if sys.argv[3] else None)\n");
  return Shell("python3 " + Quote(dir / "x.py") + " " + Quote(zip) + " " + Quote(folder) + " '" + Hex(pwd) + "'");
}

std::string InflateRaw(const std::string& data) {
  z_stream z{};
  inflateInit2(&z, -15);
  std::string out;
  char buf[65536];
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = uInt(data.size());
  int rc;
  do {
    z.next_out = reinterpret_cast<Bytef*>(buf);
    z.avail_out = sizeof buf;
    rc = inflate(&z, Z_NO_FLUSH);
    out.append(buf, sizeof buf - z.avail_out);
  } while (rc == Z_OK);
  inflateEnd(&z);
  return rc == Z_STREAM_END ? out : "<inflate failed>";
}

const std::map<std::string, std::string>& Corpus() {
  static const std::map<std::string, std::string> files = [] {
    std::map<std::string, std::string> f;
    f["empty.txt"] = "";
    f["one.bin"] = "\x7f";
    f["hot.txt"] = ziptest::HotText(40000);
    for (int i = 0; i < 4096; ++i) f["binary.bin"] += char(i * 7 % 256);
    f["random.bin"] = ziptest::RandomBytes(20000, 2);
    f["zeros.bin"] = std::string(30000, '\0');
    f["over32k.txt"] = ziptest::HotText(32768 + 5);
    f["over64k.bin"] = ziptest::HotText(40000) + ziptest::RandomBytes(65536 + 7 - 40000, 3);
    f["big/several.txt"] = ziptest::HotText(3 << 20);
    return f;
  }();
  return files;
}

TEST(ZipWriterRoundTrip, RealProgramsReadWhatWeWrite) {
  REQUIRE_CODECS();
  struct Level {
    TZpZipDeflationOption option;
    int level;
  };
  const Level levels[] = {{TZpZipDeflationOption::doSuperFast, 1},
                          {TZpZipDeflationOption::doFast, 3},
                          {TZpZipDeflationOption::doNormal, 5},
                          {TZpZipDeflationOption::doMaximum, 9}};
  const TZpZipSupportedMethod methods[] = {smStored, smDeflated, smBestMethod};
  const std::string passwords[] = {"", "Secret-42", std::string("\x80\xA7\xE9\xFF pw", 7)};
  TempDir src;
  for (auto& [name, data] : Corpus()) WriteFile(src / name, data);
  for (const Level& l : levels)
    for (TZpZipSupportedMethod m : methods)
      for (const std::string& pwd : passwords) {
        // The stored method is the same at every level.
        if (m == smStored && l.level != 5) continue;
        std::string label = "level " + std::to_string(l.level) + " method " + std::to_string(int(m)) + " pwd " + Hex(pwd);
        TempDir dir;
        std::string zip = dir / "out.zip";
        {
          auto a = OpenArchive(zip);
          a->SetBaseDirectory(src.Path());
          a->SetStoreOptions(soStripDrive | soRecurse);
          a->SetDeflationOption(l.option);
          a->SetCompressionMethodToUse(m);
          a->SetPassword(pwd);
          a->AddFiles("*", faAnyFile);
          a->Save();
          ASSERT_EQ(a->Count(), int(Corpus().size())) << label;
          for (int i = 0; i < a->Count(); ++i) {
            TZpZipItem* item = a->ZipItems(i);
            EXPECT_EQ(item->IsEncrypted(), !pwd.empty());
            if (m == smStored) {
              EXPECT_EQ(item->CompressionMethod(), 0);
            }
            if (m == smDeflated) {
              EXPECT_EQ(item->CompressionMethod(), 8);
            }
            if (item->IsEncrypted()) {
              EXPECT_GE(item->CompressedSize(), 12u);
            }
            if (pwd.empty() && item->CompressionMethod() == 8) {
              // Every deflate payload is a raw deflate stream zlib reads.
              std::string archive = ReadFile(zip);
              std::size_t at = item->RelativeOffset() + 30 + item->ItemInfo().FileName.size();
              EXPECT_EQ(InflateRaw(archive.substr(at, item->CompressedSize())), Corpus().at(item->FileName())) << label;
            }
          }
        }
        std::string pw = pwd.empty() ? "" : " -P " + Quote(pwd);
        EXPECT_EQ(Shell("unzip -tq" + pw + " " + Quote(zip)), 0) << label;
        ASSERT_EQ(Shell("unzip -q" + pw + " " + Quote(zip) + " -d " + Quote(dir / "unzip")), 0) << label;
        ASSERT_EQ(PythonExtract(dir, zip, dir / "py", pwd), 0) << label;
        for (auto& [name, data] : Corpus()) {
          EXPECT_EQ(ReadFile(dir / ("unzip/" + name)), data) << label << " " << name;
          EXPECT_EQ(ReadFile(dir / ("py/" + name)), data) << label << " " << name;
        }
      }
}

// Extracts every item below dir/out; returns the failures.
std::vector<TFailure> ExtractAll(const std::string& zip, const std::string& out, const std::string& pwd = "") {
  std::vector<TFailure> failures;
  fs::create_directories(out);
  auto a = OpenArchive(zip, &failures);
  a->SetBaseDirectory(out);
  a->SetExtractOptions(eoRestorePath | eoCreateDirs);
  a->SetPassword(pwd);
  a->ExtractFiles("*.*");
  return failures;
}

TEST(ZipReaderRoundTrip, ExtractsWhatRealWritersMake) {
  REQUIRE_CODECS();
  TempDir src;
  std::map<std::string, std::string> files = {{"a.txt", ziptest::HotText(70000)},
                                              {"d/b.bin", ziptest::RandomBytes(40000, 9)},
                                              {"d/e/c.txt", "tiny"},
                                              {"zero.bin", ""}};
  for (auto& [n, d] : files) WriteFile(src / n, d);
  std::vector<std::pair<std::string, std::string>> commands;  // command, password
  for (int level = 0; level <= 9; ++level) commands.push_back({"zip -q -r -" + std::to_string(level) + " OUT .", ""});
  commands.push_back({"zip -q -r -X OUT .", ""});
  commands.push_back({"echo comment | zip -q -r -z OUT .", ""});
  commands.push_back({"yes c | zip -q -r -c OUT .", ""});
  commands.push_back({"zip -q -r -P pass OUT .", "pass"});
  for (auto& [command, pwd] : commands) {
    TempDir dir;
    std::string zip = dir / "in.zip";
    std::string c = command;
    c.replace(c.find("OUT"), 3, Quote(zip));
    ASSERT_EQ(Shell("cd " + Quote(src.Path()) + " && " + c), 0) << c;
    auto failures = ExtractAll(zip, dir / "out", pwd);
    EXPECT_TRUE(failures.empty()) << c << ": " << (failures.empty() ? "" : failures[0].Name);
    for (auto& [n, d] : files) EXPECT_EQ(ReadFile(dir / ("out/" + n)), d) << c << " " << n;
    // Testing passes too, also where local and central extra fields differ.
    auto a = OpenArchive(zip);
    a->SetPassword(pwd);
    for (int i = 0; i < a->Count(); ++i) a->TestItemAt(i);
  }

  // Python: every level, an unseekable stream with data descriptors, and a pipe into zip -P.
  TempDir dir;
  WriteFile(dir / "m.py",
            "import sys, zipfile, io\n"
            "d = sys.argv[1]\n"
            "for l in range(10):\n"
            "  with zipfile.ZipFile(d + '/l%d.zip' % l, 'w', zipfile.ZIP_DEFLATED, compresslevel=l) as z:\n"
            "    z.writestr('t.txt', 'level text ' * 3000)\n"
            "with zipfile.ZipFile(d + '/s.zip', 'w') as z: z.writestr('t.txt', 'level text ' * 3000)\n"
            "class W(io.RawIOBase):\n"
            "  def __init__(s, f): s.f = f\n"
            "  def writable(s): return True\n"
            "  def write(s, b): return s.f.write(b)\n"
            "with open(d + '/stream.zip', 'wb') as f:\n"
            "  with zipfile.ZipFile(W(f), 'w', zipfile.ZIP_DEFLATED) as z:\n"
            "    with z.open('t.txt', 'w') as e: e.write(b'level text ' * 3000)\n");
  ASSERT_EQ(Shell("python3 " + Quote(dir / "m.py") + " " + Quote(dir.Path())), 0);
  std::vector<std::string> zips = {"s.zip", "stream.zip"};
  for (int l = 0; l < 10; ++l) zips.push_back("l" + std::to_string(l) + ".zip");
  for (const std::string& z : zips) {
    std::string out = dir / ("out_" + z);
    EXPECT_TRUE(ExtractAll(dir / z, out).empty()) << z;
    std::string expected;
    for (int i = 0; i < 3000; ++i) expected += "level text ";
    EXPECT_EQ(ReadFile(out + "/t.txt"), expected) << z;
    auto a = OpenArchive(dir / z);
    a->TestItemAt(0);  // with a data descriptor the local sizes are zero and not compared
  }
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && printf 'piped data' | zip -q -fz- -P pw piped.zip -"), 0);
  auto failures = ExtractAll(dir / "piped.zip", dir / "piped", "pw");
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(ReadFile(dir / "piped/-"), "piped data");
  // The same from a pipe with Zip64 records: listed, and refused when extracted.
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && printf 'piped data' | zip -q -P pw piped64.zip -"), 0);
  failures = ExtractAll(dir / "piped64.zip", dir / "piped64", "pw");
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].Code, 1);
  EXPECT_FALSE(fs::exists(dir / "piped64/-"));
}

TEST(ZipReaderRoundTrip, NamesBeyondAsciiTravelAsUtf8BothWays) {
  REQUIRE_CODECS();
  const std::map<std::string, std::string> files = {
      {"caf\xC3\xA9.txt", "e acute"}, {"caf\xC3\xA8.txt", "e grave"}, {"\xE6\x97\xA5\xE6\x9C\xAC.txt", "cjk"}, {"plain.txt", "ascii"}};
  TempDir dir;
  std::string names;
  for (auto& [name, data] : files) {
    WriteFile(dir / ("src/" + name), data);
    names += " " + Quote(name);
  }
  // Peers flag such names as UTF-8; each is extracted under its own bytes, none merged.
  ASSERT_EQ(Shell("cd " + Quote(dir / "src") + " && 7zz a -tzip ../7z.zip" + names), 0);
  WriteFile(dir / "py.py",
            "import sys, zipfile, os\n"
            "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
            "  for n in sorted(os.listdir(sys.argv[2])): z.write(os.path.join(sys.argv[2], n), n)\n");
  ASSERT_EQ(Shell("python3 " + Quote(dir / "py.py") + " " + Quote(dir / "py.zip") + " " + Quote(dir / "src")), 0);
  for (std::string peer : {"7z", "py"}) {
    ASSERT_TRUE(ExtractAll(dir / (peer + ".zip"), dir / ("out_" + peer)).empty()) << peer;
    for (auto& [name, data] : files) EXPECT_EQ(ReadFile(dir / ("out_" + peer + "/" + name)), data) << peer << " " << name;
  }

  // Names we store are read right by the peers; a plain name keeps its flag clear.
  {
    auto a = OpenArchive(dir / "ours.zip");
    a->SetBaseDirectory(dir / "src");
    a->SetStoreOptions(soStripDrive | soStripPath);
    a->AddFiles("*.txt", faAnyFile);
    a->Save();
    for (int i = 0; i < a->Count(); ++i)
      EXPECT_EQ((a->ZipItems(i)->GeneralPurposeBitFlag() & 0x0800) != 0, a->ZipItems(i)->FileName() != "plain.txt");
  }
  ASSERT_EQ(Shell("7zz x -y " + Quote(dir / "ours.zip") + " -o" + Quote(dir / "by7z")), 0);
  ASSERT_EQ(Shell("unzip -q " + Quote(dir / "ours.zip") + " -d " + Quote(dir / "byunzip")), 0);
  ASSERT_EQ(PythonExtract(dir, dir / "ours.zip", dir / "bypy", ""), 0);
  for (std::string peer : {"by7z", "byunzip", "bypy"})
    for (auto& [name, data] : files) EXPECT_EQ(ReadFile(dir / (peer + "/" + name)), data) << peer << " " << name;
}

TEST(ZipReaderRoundTrip, RefusedAndDamagedItemsLeaveNoFile) {
  REQUIRE_CODECS();
  TempDir dir;
  WriteFile(dir / "m.py",
            "import sys, zipfile\n"
            "d = sys.argv[1]\n"
            "data = ('damage me ' * 5000).encode()\n"
            "for name, c in (('bz', zipfile.ZIP_BZIP2), ('lz', zipfile.ZIP_LZMA), ('def', zipfile.ZIP_DEFLATED)):\n"
            "  with zipfile.ZipFile(d + '/' + name + '.zip', 'w', c) as z: z.writestr('f.txt', data)\n"
            "with zipfile.ZipFile(d + '/z64.zip', 'w') as z:\n"
            "  with z.open('f.txt', 'w', force_zip64=True) as e: e.write(data)\n");
  ASSERT_EQ(Shell("python3 " + Quote(dir / "m.py") + " " + Quote(dir.Path())), 0);
  for (std::string z : {"bz", "lz", "z64"}) {
    auto failures = ExtractAll(dir / (z + ".zip"), dir / ("out_" + z));
    ASSERT_EQ(failures.size(), 1u) << z;
    EXPECT_EQ(failures[0].Class, 0);
    EXPECT_EQ(failures[0].Code, z == "z64" ? 1 : 2) << z;
    EXPECT_FALSE(fs::exists(dir / ("out_" + z + "/f.txt"))) << z;
  }
  // The refusal names the method: real BZip2 and LZMA items, and others set into a copy.
  std::string stored = ReadFile(dir / "z64.zip");
  const std::size_t central = stored.find("PK\x01\x02");
  const std::pair<std::string, int> methods[] = {{"BZip2", 0}, {"LZMA", 0}, {"Deflate64", 9}, {"PPMd", 98}, {"AES", 99}};
  for (const auto& [name, method] : methods) {
    std::string zip = dir / (name == "BZip2" ? "bz.zip" : "lz.zip");
    if (method) {
      std::string patched = stored;
      patched[central + 10] = char(method);
      zip = dir / ("m" + std::to_string(method) + ".zip");
      WriteFile(zip, patched);
    }
    auto a = OpenArchive(zip);
    TMemoryStream out;
    try {
      ZpExtractToStream(*a, *a->ZipItems(0), &out);
      ADD_FAILURE() << name << " extracted";
    } catch (const EZpZipInvalidMethod& e) {
      EXPECT_EQ(e.Message(), "Cannot extract file - unsupported compression method (" + name + ")");
    }
  }
  // Damage inside the deflate data, a wrong password, a cut archive.
  std::string good = ReadFile(dir / "def.zip");
  std::string damaged = good;
  for (std::size_t i = 40; i < 60; ++i) damaged[i] = char(damaged[i] ^ 0x5A);
  WriteFile(dir / "damaged.zip", damaged);
  auto failures = ExtractAll(dir / "damaged.zip", dir / "out_damaged");
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_TRUE(failures[0].Code == 20 || failures[0].Code == 23 || failures[0].Code == 29) << failures[0].Code;
  EXPECT_FALSE(fs::exists(dir / "out_damaged/f.txt"));

  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && zip -q -P right pw.zip m.py"), 0);
  failures = ExtractAll(dir / "pw.zip", dir / "out_pw", "wrong");
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].Code, 4);
  EXPECT_FALSE(fs::exists(dir / "out_pw/m.py"));

  // Retries ask for a new password; the handler's answer is tried before the item fails.
  std::vector<std::string> asked;
  {
    std::vector<TFailure> f;
    auto a = OpenArchive(dir / "pw.zip", &f);
    a->SetBaseDirectory(dir / "out_pw");
    a->SetPassword("wrong");
    a->SetPasswordRetries(2);
    a->OnNeedPassword = [&](TZpArchive&, AnsiString& p) {
      asked.push_back(p);
      p = "";
    };
    a->ExtractFiles("*");
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].Code, 4);
  }
  EXPECT_FALSE(asked.empty());
}

TEST(ZipReaderRoundTrip, ExtractionNeverLeavesItsFolder) {
  REQUIRE_CODECS();
  TempDir dir;
  WriteFile(dir / "m.py",
            "import sys, zipfile\n"
            "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
            "  for n in ['../evil.txt', '/abs.txt', 'C:/drive.txt', 'a/../../up.txt', 'ok/in.txt', 'ok/', 'empty/',\n"
            "            '..\\\\back.txt', '....//dots.txt']:\n"
            "    i = zipfile.ZipInfo(n)\n"
            "    z.writestr(i, '' if n.endswith('/') else 'x')\n");
  ASSERT_EQ(Shell("python3 " + Quote(dir / "m.py") + " " + Quote(dir / "evil.zip")), 0);
  fs::create_directories(dir / "base/target");
  auto failures = ExtractAll(dir / "evil.zip", dir / "base/target");
  for (auto& f : failures) ADD_FAILURE() << f.Name << " " << f.Code;
  EXPECT_TRUE(fs::exists(dir / "base/target/evil.txt"));
  EXPECT_TRUE(fs::exists(dir / "base/target/abs.txt"));
  EXPECT_TRUE(fs::exists(dir / "base/target/drive.txt"));
  EXPECT_TRUE(fs::exists(dir / "base/target/a/up.txt"));
  EXPECT_TRUE(fs::exists(dir / "base/target/ok/in.txt"));
  EXPECT_TRUE(fs::is_directory(dir / "base/target/empty"));
  EXPECT_TRUE(fs::exists(dir / "base/target/back.txt"));
  for (auto& e : fs::recursive_directory_iterator(dir.Path())) {
    std::string p = e.path().string();
    if (e.is_regular_file() && p.find("/base/") != std::string::npos) {
      EXPECT_EQ(p.find(dir / "base/target/"), 0u) << p;
    }
  }

  // A target that is a folder fails the item and the folder stays.
  fs::create_directories(dir / "clash/ok/in.txt");
  failures = ExtractAll(dir / "evil.zip", dir / "clash");
  EXPECT_EQ(failures.size(), 1u);
  EXPECT_TRUE(fs::is_directory(dir / "clash/ok/in.txt"));
  // A file where a folder must go fails the folder and the item in it, and stays as it was.
  WriteFile(dir / "blocked/ok", "mine");
  failures = ExtractAll(dir / "evil.zip", dir / "blocked");
  ASSERT_EQ(failures.size(), 2u);
  for (auto& f : failures) EXPECT_EQ(f.Code, 19) << f.Name;
  EXPECT_EQ(ReadFile(dir / "blocked/ok"), "mine");
  // Without folder creation a missing folder is an item failure.
  {
    std::vector<TFailure> f;
    auto a = OpenArchive(dir / "evil.zip", &f);
    fs::create_directories(dir / "flat");
    a->SetBaseDirectory(dir / "flat");
    a->SetExtractOptions(eoRestorePath);
    a->ExtractFiles("ok/in.txt");
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].Code, 19);
  }
}

// Into a folder found empty: a name another writer takes during the extraction, and a name the
// archive holds twice, are asked about like any file that was there; a refusal keeps what is there.
TEST(ZipReaderRoundTrip, NamesTakenDuringTheExtractionAreAskedAbout) {
  REQUIRE_CODECS();
  TempDir dir;
  WriteFile(dir / "m.py",
            "import sys, zipfile, warnings\n"
            "warnings.simplefilter('ignore')\n"
            "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
            "  for n, d in (('a.txt', 'first'), ('b.txt', 'ours'), ('a.txt', 'second')): z.writestr(n, d * 50)\n");
  ASSERT_EQ(Shell("python3 " + Quote(dir / "m.py") + " " + Quote(dir / "twice.zip")), 0);
  const std::string out = dir / "out";
  fs::create_directories(out);
  auto a = OpenArchive(dir / "twice.zip");
  a->SetBaseDirectory(out);
  std::vector<std::string> asked;
  a->OnConfirmOverwrite = [&](AnsiString& name, bool& confirm) {
    asked.push_back(name);
    confirm = false;
  };
  a->OnArchiveItemProgress = [&](TZpArchive&, TZpArchiveItem* item, uint8_t, bool&) {
    if (item->FileName() == "a.txt" && !fs::exists(out + "/b.txt")) WriteFile(out + "/b.txt", "theirs");
  };
  a->ExtractFiles("*.*");
  EXPECT_EQ(asked, (std::vector<std::string>{out + "/b.txt", out + "/a.txt"}));
  EXPECT_EQ(ReadFile(out + "/b.txt"), "theirs");
  std::string first;
  for (int i = 0; i < 50; ++i) first += "first";
  EXPECT_EQ(ReadFile(out + "/a.txt"), first);
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);
}

TEST(ZipReaderRoundTrip, TestingComparesHeadersAndChecksData) {
  REQUIRE_CODECS();
  TempDir dir;
  WriteFile(dir / "f.txt", ziptest::HotText(5000));
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && zip -q t.zip f.txt"), 0);
  std::string good = ReadFile(dir / "t.zip");
  std::string renamed = good;
  renamed[30] = 'g';  // the local name differs from the central one
  WriteFile(dir / "renamed.zip", renamed);
  std::vector<TFailure> f;
  auto a = OpenArchive(dir / "renamed.zip", &f);
  a->TestItemAt(0);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].Code, 26);

  std::string badCrc = good;
  std::size_t cd = badCrc.find("PK\x01\x02");
  badCrc[cd + 16] ^= 1;
  badCrc[14] ^= 1;
  WriteFile(dir / "crc.zip", badCrc);
  f.clear();
  auto b = OpenArchive(dir / "crc.zip", &f);
  b->TestItemAt(0);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].Code, 23);
}

TEST(TZpSlidingWindowStream, KeepsTheLastChunksAndWritesTheRestThrough) {
  TMemoryStream target;
  target.Write("pre", 3);
  const std::string data = ziptest::RandomBytes(100001, 9);
  auto message = [](auto&& action) {
    try {
      action();
    } catch (const EZpException& e) {
      return std::string(e.Message());
    }
    return std::string("no error");
  };
  {
    TZpSlidingWindowStream w(target);
    for (std::size_t at = 0; at < data.size(); at += 7777)
      w.WriteBuffer(data.data() + at, int64_t(std::min<std::size_t>(7777, data.size() - at)));
    EXPECT_EQ(w.Size(), 100001);
    // Only whole chunks went out, and at least the window stayed behind.
    EXPECT_EQ((target.Size() - 3) % TZpSlidingWindowStream::ChunkSize, 0);
    EXPECT_GE(100001 - (target.Size() - 3), TZpSlidingWindowStream::WindowSize);
    std::string back(TZpSlidingWindowStream::WindowSize, '\0');
    w.Seek(-TZpSlidingWindowStream::WindowSize, soFromEnd);
    w.ReadBuffer(back.data(), int64_t(back.size()));
    EXPECT_EQ(back, data.substr(data.size() - back.size()));
    w.Seek(-1, soFromEnd);
    EXPECT_EQ(message([&] { w.Write("x", 1); }), "TZpSlidingWindowStream.Write: Not at end of stream");
    EXPECT_EQ(message([&] { w.Seek(0, soFromBeginning); }), "TZpSlidingWindowStream.Seek: invalid new position");
    EXPECT_EQ(message([&] { w.Seek(1, soFromEnd); }), "TZpSlidingWindowStream.Seek: invalid new position");
    EXPECT_EQ(message([&] { w.Seek(0, TSeekOrigin(7)); }), "TZpSlidingWindowStream.Seek: invalid origin");
  }
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(target.Memory()), std::size_t(target.Size())), "pre" + data);

  // A target that will not take the bytes, or not where they belong.
  struct TRefusing : TStream {
    bool SeekFails = false;
    int64_t Moved = 0;  // a target someone else moves on
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t) override { return 0; }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
      if (!SeekFails) return offset;
      return origin == soFromCurrent ? Moved++ : -1;
    }
  };
  for (bool seekFails : {false, true}) {
    TRefusing refusing;
    refusing.SeekFails = seekFails;
    TZpSlidingWindowStream w(refusing);
    w.WriteBuffer(data.data(), 100);
    EXPECT_EQ(message([&] { w.Flush(); }), seekFails ? "TZpSlidingWindowStream.bsWriteChunk: seek failed"
                                                      : "TZpSlidingWindowStream.bsWriteChunk: write failed");
  }
}

TEST(ZpBitBucketStream, KeepsOnlyTheLastBytes) {
  TZpBitBucketStream b(0);
  std::string data = ziptest::RandomBytes(100000, 5);
  for (std::size_t at = 0; at < data.size(); at += 30000) b.Write(data.data() + at, int64_t(std::min<std::size_t>(30000, data.size() - at)));
  EXPECT_EQ(b.Size(), 100000);
  b.Seek(-100, soFromEnd);
  char buf[100];
  b.Read(buf, 100);
  EXPECT_EQ(std::string(buf, 100), data.substr(99900));
  EXPECT_THROW(b.Seek(0, soFromBeginning), EZpBBSSeekOutsideBuffer);
  EXPECT_THROW(b.Seek(0, TSeekOrigin(7)), EZpBBSInvalidOrigin);
  std::string huge(40000, 'h');
  b.Write(huge.data(), int64_t(huge.size()));
  b.Seek(-10, soFromEnd);
  EXPECT_THROW(b.Write(huge.data(), 11), EZpBBSWriteTooManyBytes);
  b.Write("0123456789", 10);
  b.Seek(-10, soFromEnd);
  b.Read(buf, 10);
  EXPECT_EQ(std::string(buf, 10), "0123456789");
}

}  // namespace

namespace {

TEST(ZipReaderRoundTrip, ItemsOfASpannedSetExtractAcrossVolumes) {
  REQUIRE_CODECS();
  TempDir dir;
  std::string a1 = ziptest::RandomBytes(150000, 11), a2 = ziptest::HotText(90000);
  WriteFile(dir / "src/r.bin", a1);
  WriteFile(dir / "src/h.txt", a2);
  {
    auto a = OpenArchive(dir / "set.zip");
    a->SetBaseDirectory(dir / "src");
    a->SetSpanningThreshold(50000);
    a->AddFiles("*", faAnyFile);
    a->Save();
    EXPECT_TRUE(a->IsSpanned());
  }
  auto failures = ExtractAll(dir / "set.zip", dir / "out");
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(ReadFile(dir / "out/r.bin"), a1);
  EXPECT_EQ(ReadFile(dir / "out/h.txt"), a2);
}

}  // namespace
