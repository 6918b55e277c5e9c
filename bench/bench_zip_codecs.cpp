// Deflate, inflate and CRC-32 of the zip engine beside zlib and libdeflate on the same data, HOT
// text and mixed; whole archives and many small items beside the zip and unzip programs.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/StringList.h"
#include "platform/win/Windows.h"
#include "zip/engine/ZpCrc32.h"
#include "zip/engine/ZpInsertItem.h"
#include "zip/engine/ZpUnzipItem.h"
#include "zip/engine/ZpZipArchive.h"
#include "zip/engine/ZpUnzipHelper.h"
#include "zip/engine/ZpZipHelper.h"
#include "zip/service/uZipJob.h"

namespace {

using TBytes = std::vector<uint8_t>;

TBytes HotText(std::size_t size) {
  static const char* const kinds[] = {"BFH01", "BCH02", "BOH03", "BKT06", "BKS24", "BKS30", "BKS39", "BAR64", "BKP84"};
  std::mt19937 gen(7);
  auto r = [&gen] { return static_cast<unsigned>(gen()); };
  TBytes out;
  out.reserve(size + 200);
  char line[200];
  unsigned n = 0;
  while (out.size() < size) {
    const int len = std::snprintf(line, sizeof line, "%s%08u%-10s%012u%05u  EUR2 %011u00000000000000%09u%-40s\r\n",
                                  kinds[r() % 9], ++n, "AGT", r() % 1000000u, r() % 99999u, r() % 100000u,
                                  r() % 1000u, (r() % 3) ? "" : "PASSENGER/NAME MR");
    out.insert(out.end(), line, line + len);
  }
  out.resize(size);
  return out;
}

TBytes Mixed(std::size_t size) {
  TBytes out = HotText(size / 2);
  std::mt19937 gen(3);
  uint32_t v = 0;
  while (out.size() < size * 7 / 8) {
    v += gen() % 17;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  while (out.size() < size) out.push_back(static_cast<uint8_t>(gen()));
  return out;
}

const TBytes& Data(bool mixed) {
  static const TBytes hot = HotText(16u << 20);
  static const TBytes mix = Mixed(16u << 20);
  return mixed ? mix : hot;
}

// Source and output streams live outside the timed loop, as zlib's buffers do.
std::size_t OurDeflate(TMemoryStream& src, TMemoryStream& out, int level) {
  src.SetPosition(0);
  out.SetPosition(0);
  TZpZipHelper z(&src, nullptr, &out);
  z.SetLevel(level);
  z.Execute();
  return static_cast<std::size_t>(z.CompressedSize());
}

std::size_t ZlibDeflateInto(const TBytes& data, int level, TBytes& out) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  out.resize(deflateBound(&z, static_cast<uLong>(data.size())));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  deflateEnd(&z);
  return z.total_out;
}

TBytes ZlibDeflate(const TBytes& data, int level) {
  TBytes out;
  out.resize(ZlibDeflateInto(data, level, out));
  return out;
}

void BM_Deflate(benchmark::State& state) {
  const TBytes& data = Data(state.range(1) != 0);
  TMemoryStream src, out;
  src.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  out.SetSize(static_cast<int64_t>(data.size()));
  std::size_t size = 0;
  for (auto _ : state) size = OurDeflate(src, out, static_cast<int>(state.range(0)));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
  state.counters["size"] = static_cast<double>(size);
}

void BM_ZlibDeflate(benchmark::State& state) {
  const TBytes& data = Data(state.range(1) != 0);
  TBytes out;
  std::size_t size = 0;
  for (auto _ : state) size = ZlibDeflateInto(data, static_cast<int>(state.range(0)), out);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
  state.counters["size"] = static_cast<double>(size);
}

// For reference only: a compressor of its own design, not the same output.
void BM_LibdeflateDeflate(benchmark::State& state) {
  const TBytes& data = Data(state.range(1) != 0);
  libdeflate_compressor* c = libdeflate_alloc_compressor(static_cast<int>(state.range(0)));
  TBytes out(libdeflate_deflate_compress_bound(c, data.size()));
  std::size_t size = 0;
  for (auto _ : state) size = libdeflate_deflate_compress(c, data.data(), data.size(), out.data(), out.size());
  libdeflate_free_compressor(c);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
  state.counters["size"] = static_cast<double>(size);
}

void BM_Inflate(benchmark::State& state) {
  const TBytes& data = Data(state.range(0) != 0);
  const TBytes packed = ZlibDeflate(data, 6);
  TMemoryStream in;
  in.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
  TMemoryStream out;
  out.SetSize(static_cast<int64_t>(data.size()));
  for (auto _ : state) {
    in.SetPosition(0);
    out.SetPosition(0);
    TZpUnzipHelper u(&in, &out, nullptr);
    u.SetCompressedSize(static_cast<int64_t>(packed.size()));
    u.SetUncompressedSize(static_cast<int64_t>(data.size()));
    u.SetMethod(ZpMethodInflate);
    benchmark::DoNotOptimize(u.Execute());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

void BM_ZlibInflate(benchmark::State& state) {
  const TBytes& data = Data(state.range(0) != 0);
  const TBytes packed = ZlibDeflate(data, 6);
  TBytes out(data.size());
  for (auto _ : state) {
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<Bytef*>(packed.data());
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    inflate(&z, Z_FINISH);
    inflateEnd(&z);
    // The engine checks the CRC of what it inflates; so does this side.
    benchmark::DoNotOptimize(crc32(0, out.data(), static_cast<uInt>(out.size())));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

void BM_LibdeflateInflate(benchmark::State& state) {
  const TBytes& data = Data(state.range(0) != 0);
  const TBytes packed = ZlibDeflate(data, 6);
  TBytes out(data.size());
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  for (auto _ : state) {
    std::size_t got = 0;
    if (libdeflate_deflate_decompress(d, packed.data(), packed.size(), out.data(), out.size(), &got) !=
        LIBDEFLATE_SUCCESS)
      state.SkipWithError("libdeflate could not inflate");
    benchmark::DoNotOptimize(libdeflate_crc32(0, out.data(), got));
  }
  libdeflate_free_decompressor(d);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

void BM_Crc32(benchmark::State& state) {
  const TBytes& data = Data(false);
  for (auto _ : state) benchmark::DoNotOptimize(ZpCrc32(data.data(), data.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

void BM_ZlibCrc32(benchmark::State& state) {
  const TBytes& data = Data(false);
  for (auto _ : state) benchmark::DoNotOptimize(crc32(0, data.data(), static_cast<uInt>(data.size())));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

// The whole-archive round trip: one HOT file of 100 MB, packed with a password at the level the
// system uses and extracted again, by the engine and by the zip and unzip programs.
namespace fs = std::filesystem;

constexpr char ArchivePassword[] = "pw";

class TScratch {
public:
  TScratch() {
    char tmpl[] = "/tmp/bench_zip_XXXXXX";
    if (const char* made = ::mkdtemp(tmpl)) FPath = made;
  }
  ~TScratch() {
    std::error_code ec;
    if (!FPath.empty()) fs::remove_all(FPath, ec);
  }
  TScratch(const TScratch&) = delete;
  TScratch& operator=(const TScratch&) = delete;
  const fs::path& Path() const { return FPath; }

private:
  fs::path FPath;
};

// The file is written once and shared by both sides.
const fs::path& HotFile() {
  static TScratch dir;
  static const fs::path file = [] {
    const fs::path f = dir.Path() / "hot100.txt";
    const TBytes data = HotText(100u << 20);
    std::ofstream(f, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                             static_cast<std::streamsize>(data.size()));
    return f;
  }();
  return file;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::unique_ptr<TZpZipArchive> OpenArchive(const fs::path& zip, const fs::path& base, bool password = true) {
  const bool exists = fs::exists(zip);
  auto a = std::make_unique<TZpZipArchive>(zip.string(), exists ? (fmOpenReadWrite | fmShareDenyWrite) : fmCreate);
  a->SetBaseDirectory(base.string());
  a->ExtractHelper = ZpExtractToFile;
  a->ExtractToStreamHelper = ZpExtractToStream;
  a->TestHelper = ZpTestItem;
  a->InsertHelper = ZpInsertFromFile;
  a->InsertFromStreamHelper = ZpInsertFromStream;
  a->OnProcessItemFailure = [](TZpArchive&, TZpArchiveItem* item, TZpProcessType, TZpErrorClass, int code) {
    std::fprintf(stderr, "archive round trip: %s failed (%d)\n", item ? item->FileName().c_str() : "?", code);
    std::exit(1);
  };
  if (password) a->SetPassword(ArchivePassword);
  if (exists) a->Load();
  return a;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  return std::equal(std::istreambuf_iterator<char>(x), std::istreambuf_iterator<char>(),
                    std::istreambuf_iterator<char>(y), std::istreambuf_iterator<char>());
}

void BM_ArchiveRoundTrip(benchmark::State& state) {
  const fs::path& file = HotFile();
  double seconds = 0;
  for (auto _ : state) {
    TScratch dir;
    const fs::path zip = dir.Path() / "hot.zip";
    const fs::path out = dir.Path() / "out";
    fs::create_directories(out);
    const auto start = std::chrono::steady_clock::now();
    {
      auto a = OpenArchive(zip, file.parent_path());
      a->SetStoreOptions(soStripPath);
      a->AddFiles(file.string(), faAnyFile);
      a->Save();
    }
    {
      auto a = OpenArchive(zip, out);
      a->ExtractFiles("*.*");
    }
    seconds = Seconds(start);
    if (!SameFile(file, out / file.filename())) state.SkipWithError("extracted file differs");
    state.counters["archive_bytes"] = static_cast<double>(fs::file_size(zip));
  }
  state.counters["seconds"] = seconds;
}

void BM_ZipCli(benchmark::State& state) {
  if (std::system("command -v zip >/dev/null 2>&1 && command -v unzip >/dev/null 2>&1") != 0) {
    state.SkipWithError("zip or unzip not installed: zip_cli_s left out");
    for (auto _ : state) {
    }
    return;
  }
  const fs::path& file = HotFile();
  double seconds = 0;
  for (auto _ : state) {
    TScratch dir;
    const std::string zip = (dir.Path() / "hot.zip").string();
    const std::string pack = "cd '" + file.parent_path().string() + "' && zip -q -P " + ArchivePassword + " '" + zip +
                             "' '" + file.filename().string() + "'";
    const std::string unpack =
        std::string("unzip -q -P ") + ArchivePassword + " '" + zip + "' -d '" + (dir.Path() / "out").string() + "'";
    const auto start = std::chrono::steady_clock::now();
    const bool ok = std::system(pack.c_str()) == 0 && std::system(unpack.c_str()) == 0;
    seconds = Seconds(start);
    if (!ok) state.SkipWithError("zip -P or unzip -P failed");
    state.counters["archive_bytes"] = static_cast<double>(fs::file_size(zip));
  }
  state.counters["seconds"] = seconds;
}

// 20,000 small files packed into a new archive and unpacked again, all on tmpfs so that the disk
// does not decide; the peers are the zip and unzip programs on the same files.
constexpr int SmallItems = 20000;

class TShmScratch {
public:
  TShmScratch() {
    char tmpl[] = "/dev/shm/bench_small_XXXXXX";
    if (const char* made = ::mkdtemp(tmpl)) FPath = made;
  }
  ~TShmScratch() {
    std::error_code ec;
    if (!FPath.empty()) fs::remove_all(FPath, ec);
  }
  TShmScratch(const TShmScratch&) = delete;
  TShmScratch& operator=(const TShmScratch&) = delete;
  const fs::path& Path() const { return FPath; }

private:
  fs::path FPath;
};

// About 500 bytes of HOT-like text each, every file different.
const fs::path& SmallFiles() {
  static TShmScratch dir;
  static const fs::path files = [] {
    const fs::path d = dir.Path() / "small";
    fs::create_directories(d);
    const TBytes text = HotText(SmallItems * 512 + 1024);
    for (int i = 0; i < SmallItems; ++i) {
      std::ofstream f(d / ("s" + std::to_string(i) + ".txt"), std::ios::binary);
      f.write(reinterpret_cast<const char*>(text.data()) + std::size_t(i) * 512, 400 + i % 200);
    }
    return d;
  }();
  return files;
}

bool HaveZipPrograms() {
  return std::system("command -v zip >/dev/null 2>&1 && command -v unzip >/dev/null 2>&1") == 0;
}

// range(0): 0 create, 1 extract.
void BM_SmallItems(benchmark::State& state) {
  const fs::path& files = SmallFiles();
  double seconds = 1e9;  // the best of the runs
  for (auto _ : state) {
    TShmScratch dir;
    const fs::path zip = dir.Path() / "small.zip";
    const fs::path out = dir.Path() / "out";
    fs::create_directories(out);
    auto start = std::chrono::steady_clock::now();
    {
      auto a = OpenArchive(zip, files, false);
      a->SetStoreOptions(soStripPath);
      a->AddFiles("*.txt", faAnyFile);
      a->Save();
    }
    if (state.range(0) == 0) seconds = std::min(seconds, Seconds(start));
    start = std::chrono::steady_clock::now();
    {
      auto a = OpenArchive(zip, out, false);
      a->ExtractFiles("*.*");
    }
    if (state.range(0) == 1) seconds = std::min(seconds, Seconds(start));
    std::size_t n = 0;
    for (auto it = fs::directory_iterator(out); it != fs::directory_iterator(); ++it) ++n;
    if (n != SmallItems) state.SkipWithError("items went missing");
  }
  state.counters["seconds"] = seconds;
}

void BM_SmallItemsCli(benchmark::State& state) {
  if (!HaveZipPrograms()) {
    state.SkipWithError("zip or unzip not installed");
    for (auto _ : state) {
    }
    return;
  }
  const fs::path& files = SmallFiles();
  double seconds = 1e9;  // the best of the runs
  for (auto _ : state) {
    TShmScratch dir;
    const std::string zip = (dir.Path() / "small.zip").string();
    const std::string pack = "cd '" + files.string() + "' && zip -q '" + zip + "' -r .";
    const std::string unpack = "unzip -q '" + zip + "' -d '" + (dir.Path() / "out").string() + "'";
    auto start = std::chrono::steady_clock::now();
    bool ok = std::system(pack.c_str()) == 0;
    if (state.range(0) == 0) seconds = std::min(seconds, Seconds(start));
    start = std::chrono::steady_clock::now();
    ok = ok && std::system(unpack.c_str()) == 0;
    if (state.range(0) == 1) seconds = std::min(seconds, Seconds(start));
    if (!ok) state.SkipWithError("zip or unzip failed");
  }
  state.counters["seconds"] = seconds;
}

// Many small items: adding 20,000 files to an archive of 5,000 (each add looks its name up), and
// unpacking 65,535 items by the zip service's job and by the engine alone.
constexpr int KeptItems = 5000;
constexpr int AddedItems = 20000;
constexpr int ManyItems = 65535;

// Time in the program itself: creating 65,535 files costs the kernel far more, and that varies
// with whatever else the file system is doing.
double CpuSeconds() {
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  return double(r.ru_utime.tv_sec) + double(r.ru_utime.tv_usec) / 1e6;
}

// Python's zipfile writes the archives: quick, and a peer's view of the format.
bool PythonArchive(const fs::path& zip, int items, const char* prefix) {
  const std::string cmd = "python3 -c \"import zipfile,sys\nwith zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                          " for i in range(int(sys.argv[2])): z.writestr(sys.argv[3] + '%05d.txt' % i, 'item %d' % i)\" '" +
                          zip.string() + "' " + std::to_string(items) + " " + prefix;
  return std::system(cmd.c_str()) == 0;
}

void BM_ArchiveAddMany(benchmark::State& state) {
  TScratch dir;
  const fs::path adds = dir.Path() / "adds";
  fs::create_directories(adds);
  for (int i = 0; i < AddedItems; ++i) std::ofstream(adds / ("n" + std::to_string(i) + ".txt")) << i;
  double seconds = 0;
  for (auto _ : state) {
    const fs::path zip = dir.Path() / "kept.zip";
    fs::remove(zip);
    if (!PythonArchive(zip, KeptItems, "kept/")) {
      state.SkipWithError("python3 could not write the archive");
      break;
    }
    const auto start = std::chrono::steady_clock::now();
    auto a = OpenArchive(zip, adds);
    a->SetStoreOptions(soStripDrive | soStripPath);
    a->AddFiles("*.txt", faAnyFile);
    seconds = Seconds(start);
    if (a->Count() != KeptItems + AddedItems) state.SkipWithError("items went missing");
  }
  state.counters["seconds"] = seconds;
}

const fs::path& ManyItemsArchive(const TScratch& dir) {
  static const fs::path zip = [&dir] {
    const fs::path z = dir.Path() / "many.zip";
    if (!PythonArchive(z, ManyItems, "many/")) fs::remove(z);
    return z;
  }();
  return zip;
}

TScratch& ManyItemsDir() {
  static TScratch dir;
  return dir;
}

void BM_UnzipManyJob(benchmark::State& state) {
  ResetWindowSystem();
  const fs::path& zip = ManyItemsArchive(ManyItemsDir());
  double seconds = 0;
  for (auto _ : state) {
    TScratch out;
    TZipJob job;
    job.IsUnzip = true;
    job.ZipName = zip.string();
    job.TargetDir = out.Path().string();
    const double start = CpuSeconds();
    const bool ok = fs::exists(zip) && job.Run() == mrOk;
    seconds = CpuSeconds() - start;
    if (!ok || job.JobFiles.Count() != ManyItems) state.SkipWithError("the job did not unzip every item");
  }
  state.counters["seconds"] = seconds;
}

void BM_UnzipManyEngine(benchmark::State& state) {
  const fs::path& zip = ManyItemsArchive(ManyItemsDir());
  double seconds = 0;
  for (auto _ : state) {
    TScratch out;
    const double start = CpuSeconds();
    {
      auto a = std::make_unique<TZpZipArchive>(zip.string(), fmOpenRead | fmShareDenyWrite);
      a->SetBaseDirectory(out.Path().string());
      a->ExtractHelper = ZpExtractToFile;
      a->Load();
      a->ExtractFiles("*.*");
    }
    seconds = CpuSeconds() - start;
  }
  state.counters["seconds"] = seconds;
}

// Each level's three compressors run side by side, twice, and the best of each counts: a busy
// machine then slows a row and its peers alike, not one now and the other a minute later.
[[maybe_unused]] const bool DeflateRowsRegistered = [] {
  for (int round = 0; round < 2; ++round)
    for (int mixed : {0, 1})
      for (int level : {1, 3, 5, 6, 9}) {
        benchmark::RegisterBenchmark("BM_Deflate", BM_Deflate)->Args({level, mixed})->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_ZlibDeflate", BM_ZlibDeflate)
            ->Args({level, mixed})
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_LibdeflateDeflate", BM_LibdeflateDeflate)
            ->Args({level, mixed})
            ->Unit(benchmark::kMillisecond);
      }
  return true;
}();
// The best of several runs each, as a busy machine slows one side now and the other then.
BENCHMARK(BM_Inflate)->Arg(0)->Arg(1)->Repetitions(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibInflate)->Arg(0)->Arg(1)->Repetitions(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibdeflateInflate)->Arg(0)->Arg(1)->Repetitions(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibCrc32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArchiveRoundTrip)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ZipCli)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_SmallItems)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_SmallItemsCli)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ArchiveAddMany)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_UnzipManyJob)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_UnzipManyEngine)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// What Repetitions adds to the inflate rows' names.
constexpr char Repeats[] = "/repeats:5";

// Collects each run's figures (the best of repeated runs) for the closing name=value line.
class TSummaryReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration) continue;
      const std::string name = r.benchmark_name();
      auto bps = r.counters.find("bytes_per_second");
      auto size = r.counters.find("size");
      auto seconds = r.counters.find("seconds");
      if (bps != r.counters.end()) {
        double& best = FFigures[name + "/MBps"];
        best = std::max(best, bps->second.value / 1e6);
      }
      if (size != r.counters.end()) FFigures[name + "/size"] = size->second.value;
      if (seconds != r.counters.end() && !r.error_occurred) FFigures[name + "/s"] = seconds->second.value;
    }
  }

  void PrintSummary() const {
    std::string line;
    auto add = [&](const std::string& key, const std::string& run, const char* what) {
      auto it = FFigures.find(run + "/" + what);
      if (it == FFigures.end()) return;
      char buf[96];
      const std::string w = what;
      std::snprintf(buf, sizeof buf, w == "size" ? "%s=%.0f " : w == "s" ? "%s=%.2f " : "%s=%.1f ", key.c_str(),
                    it->second);
      line += buf;
    };
    for (const char* set : {"", "mixed_"}) {
      const std::string mixedArg = *set ? "1" : "0";
      for (int n : {1, 3, 5, 6, 9}) {
        const std::string num = std::to_string(n);
        std::string args = "/";
        args += num;
        args += '/';
        args += mixedArg;
        add(std::string(set) + "deflate" + std::to_string(n) + "_MBps", "BM_Deflate" + args, "MBps");
        add(std::string(set) + "zlib" + std::to_string(n) + "_MBps", "BM_ZlibDeflate" + args, "MBps");
        add(std::string(set) + "deflate" + std::to_string(n) + "_size", "BM_Deflate" + args, "size");
        add(std::string(set) + "zlib" + std::to_string(n) + "_size", "BM_ZlibDeflate" + args, "size");
      }
      add(std::string(set) + "inflate_MBps", "BM_Inflate/" + mixedArg + Repeats, "MBps");
      add(std::string(set) + "zlib_inflate_MBps", "BM_ZlibInflate/" + mixedArg + Repeats, "MBps");
    }
    add("crc32_MBps", "BM_Crc32", "MBps");
    add("zlib_crc32_MBps", "BM_ZlibCrc32", "MBps");
    add("archive_s", "BM_ArchiveRoundTrip/iterations:1/real_time", "s");
    add("zip_cli_s", "BM_ZipCli/iterations:1/real_time", "s");
    add("add_20000_to_5000_s", "BM_ArchiveAddMany/iterations:1/real_time", "s");
    add("unzip_65535_job_user_s", "BM_UnzipManyJob/iterations:1/real_time", "s");
    add("unzip_65535_engine_user_s", "BM_UnzipManyEngine/iterations:1/real_time", "s");
    if (!line.empty()) line.pop_back();
    std::printf("%s\n", line.c_str());
    PrintRows();
  }

  // Ours beside the peer, with the ratio (above 1: ours is faster).
  void PrintRows() const {
    auto get = [this](const std::string& key) {
      auto it = FFigures.find(key);
      return it == FFigures.end() ? -1.0 : it->second;
    };
    auto row = [](const std::string& what, double ours, double peer, bool rate, const char* peerName) {
      if (ours <= 0 || peer <= 0) return;
      const char* unit = rate ? "MB/s" : "s";
      std::printf("%-34s ours %9.2f %s  %-10s %9.2f %s  ratio %.2f\n", what.c_str(), ours, unit, peerName, peer, unit,
                  rate ? ours / peer : peer / ours);
    };
    for (const char* mixed : {"0", "1"}) {
      const std::string kind = *mixed == '1' ? "mixed" : "HOT";
      for (int n : {1, 3, 5, 6, 9}) {
        const std::string args = "/" + std::to_string(n) + "/" + mixed;
        row("deflate " + std::to_string(n) + " " + kind, get("BM_Deflate" + args + "/MBps"),
            get("BM_ZlibDeflate" + args + "/MBps"), true, "zlib");
        row("deflate " + std::to_string(n) + " " + kind, get("BM_Deflate" + args + "/MBps"),
            get("BM_LibdeflateDeflate" + args + "/MBps"), true, "libdeflate");
      }
      row("inflate+CRC " + kind, get(std::string("BM_Inflate/") + mixed + Repeats + "/MBps"),
          get(std::string("BM_LibdeflateInflate/") + mixed + Repeats + "/MBps"), true, "libdeflate");
      row("inflate+CRC " + kind, get(std::string("BM_Inflate/") + mixed + Repeats + "/MBps"),
          get(std::string("BM_ZlibInflate/") + mixed + Repeats + "/MBps"), true, "zlib");
    }
    row("crc32", get("BM_Crc32/MBps"), get("BM_ZlibCrc32/MBps"), true, "zlib");
    row("100 MB password archive", get("BM_ArchiveRoundTrip/iterations:1/real_time/s"),
        get("BM_ZipCli/iterations:1/real_time/s"), false, "zip+unzip");
    row("20,000 small files create", get("BM_SmallItems/0/iterations:3/real_time/s"),
        get("BM_SmallItemsCli/0/iterations:3/real_time/s"), false, "zip");
    row("20,000 small files extract", get("BM_SmallItems/1/iterations:3/real_time/s"),
        get("BM_SmallItemsCli/1/iterations:3/real_time/s"), false, "unzip");
  }

private:
  std::map<std::string, double> FFigures;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TSummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary();
  benchmark::Shutdown();
  return 0;
}
