// Deflate, inflate and CRC-32 of the zip engine beside zlib on the same data, HOT text and mixed.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/rtl/Streams.h"
#include "zip/engine/ZpCrc32.h"
#include "zip/engine/ZpUnzipHelper.h"
#include "zip/engine/ZpZipHelper.h"

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

TBytes OurDeflate(const TBytes& data, int level) {
  TMemoryStream src;
  src.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  src.SetPosition(0);
  TMemoryStream out;
  TZpZipHelper z(&src, nullptr, &out);
  z.SetLevel(level);
  z.Execute();
  return TBytes(out.Memory(), out.Memory() + out.Size());
}

TBytes ZlibDeflate(const TBytes& data, int level) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  TBytes out(deflateBound(&z, static_cast<uLong>(data.size())));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

void BM_Deflate(benchmark::State& state) {
  const TBytes& data = Data(state.range(1) != 0);
  std::size_t size = 0;
  for (auto _ : state) size = OurDeflate(data, static_cast<int>(state.range(0))).size();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
  state.counters["size"] = static_cast<double>(size);
}

void BM_ZlibDeflate(benchmark::State& state) {
  const TBytes& data = Data(state.range(1) != 0);
  std::size_t size = 0;
  for (auto _ : state) size = ZlibDeflate(data, static_cast<int>(state.range(0))).size();
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

void Levels(benchmark::internal::Benchmark* b) {
  for (int mixed : {0, 1})
    for (int level : {1, 3, 5, 9}) b->Args({level, mixed});
}

BENCHMARK(BM_Deflate)->Apply(Levels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibDeflate)->Apply(Levels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inflate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibInflate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibCrc32)->Unit(benchmark::kMillisecond);

// Collects each run's figures for the closing name=value line.
class TSummaryReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration) continue;
      const std::string name = r.benchmark_name();
      auto bps = r.counters.find("bytes_per_second");
      auto size = r.counters.find("size");
      if (bps != r.counters.end()) FFigures[name + "/MBps"] = bps->second.value / 1e6;
      if (size != r.counters.end()) FFigures[name + "/size"] = size->second.value;
    }
  }

  void PrintSummary() const {
    std::string line;
    auto add = [&](const std::string& key, const std::string& run, const char* what) {
      auto it = FFigures.find(run + "/" + what);
      if (it == FFigures.end()) return;
      char buf[96];
      std::snprintf(buf, sizeof buf, std::string(what) == "size" ? "%s=%.0f " : "%s=%.1f ", key.c_str(), it->second);
      line += buf;
    };
    for (const char* set : {"", "mixed_"}) {
      const std::string mixedArg = *set ? "1" : "0";
      for (int n : {1, 3, 5, 9}) {
        const std::string args = "/" + std::to_string(n) + "/" + mixedArg;
        add(std::string(set) + "deflate" + std::to_string(n) + "_MBps", "BM_Deflate" + args, "MBps");
        add(std::string(set) + "zlib" + std::to_string(n) + "_MBps", "BM_ZlibDeflate" + args, "MBps");
        add(std::string(set) + "deflate" + std::to_string(n) + "_size", "BM_Deflate" + args, "size");
        add(std::string(set) + "zlib" + std::to_string(n) + "_size", "BM_ZlibDeflate" + args, "size");
      }
      add(std::string(set) + "inflate_MBps", "BM_Inflate/" + mixedArg, "MBps");
      add(std::string(set) + "zlib_inflate_MBps", "BM_ZlibInflate/" + mixedArg, "MBps");
    }
    add("crc32_MBps", "BM_Crc32", "MBps");
    add("zlib_crc32_MBps", "BM_ZlibCrc32", "MBps");
    if (!line.empty()) line.pop_back();
    std::printf("%s\n", line.c_str());
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
