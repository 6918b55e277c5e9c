// Splitting HOT files against a plain read-and-write copy of the same file: a realistic sample
// (trailing blanks stripped, offices of varying size, several kinds of detail records) and a
// sample of full-width records. The summary line is the realistic sample's, with the split's
// peak memory.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "core/uHotFileLines.h"
#include "core/uHotSplitter.h"

namespace {

struct Sample {
  std::string input;
  double megabytes = 0;
  double splitMBps = 0;
  double copyMBps = 0;
  double peakMB = 0;
};

// On tmpfs, as the other rows: the disk must not decide the ratio.
std::string Dir() {
  static const std::string dir = [] {
    char tmpl[] = "/dev/shm/benchsplitXXXXXX";
    return std::string(::mkdtemp(tmpl));
  }();
  return dir;
}

void Put(std::string& line, std::size_t start, const std::string& value) {
  if (line.size() < start - 1 + value.size()) line.resize(start - 1 + value.size(), ' ');
  line.replace(start - 1, value.size(), value);
}

class Writer {
public:
  explicit Writer(const std::string& name, bool fullWidth) : FOut(name, std::ios::binary), FFullWidth(fullWidth) {}

  // A record of the given id whose content runs to character `length`; without full width the
  // trailing blanks go, as in real files.
  void Emit(const char* id, std::size_t length, std::size_t fieldAt = 0, const std::string& field = "") {
    std::string line(FFullWidth ? 136 : length, '5');
    Put(line, 1, std::string(id, 3));
    char seq[16];
    std::snprintf(seq, sizeof seq, "%08d", ++FSeq % 100000000);
    Put(line, 4, seq);
    Put(line, 12, std::string(id + 3, 2));
    for (std::size_t i = 20; i < line.size(); i += 17) line[i] = ' ';  // blanks between fields
    if (fieldAt) Put(line, fieldAt, field);
    while (!FFullWidth && line.size() > 13 && line.back() == ' ') line.pop_back();
    FOut << line << "\r\n";
  }
  int Lines() const { return FSeq; }

  uint32_t Next(uint32_t bound) {
    FNoise = FNoise * 1103515245u + 12345u;
    return (FNoise >> 8) % bound;
  }

private:
  std::ofstream FOut;
  bool FFullWidth;
  int FSeq = 0;
  uint32_t FNoise = 20240601u;
};

// Offices of forty agents with 1 to 200 transactions each, in layout B; each transaction has
// three to eight detail records of several kinds.
void WriteSample(const std::string& name, bool fullWidth, int lines) {
  Writer w(name, fullWidth);
  w.Emit("BFH01", 40, 20, "10022");
  w.Emit("BCH02", 44);
  const char* airlines[] = {"074  ", "125  ", "220  ", "057  ", "006  ", "016  "};
  const struct {
    const char* id;
    std::size_t shortest, longest;
  } details[] = {{"BKS24", 40, 70}, {"BKS30", 25, 60}, {"BKS39", 25, 50}, {"BKS46", 20, 45},
                 {"BAR64", 40, 80}, {"BAR65", 25, 55}, {"BKF81", 20, 40}, {"BKP84", 30, 60}};
  while (w.Lines() < lines - 3) {
    w.Emit("BOH03", 33, 14, std::to_string(1000000 + w.Next(40)));
    const uint32_t transactions = 1 + w.Next(200);
    for (uint32_t t = 0; t < transactions && w.Lines() < lines - 3; ++t) {
      w.Emit("BKT06", 56 + w.Next(30), 51, airlines[w.Next(6)]);
      const uint32_t n = 3 + w.Next(6);
      for (uint32_t d = 0; d < n; ++d) {
        const auto& k = details[w.Next(8)];
        w.Emit(k.id, k.shortest + w.Next(uint32_t(k.longest - k.shortest)));
      }
    }
    w.Emit("BOT94", 129);
  }
  w.Emit("BCT95", 129);
  w.Emit("BFT99", 129);
}

Sample& Realistic() {
  static Sample s = [] {
    Sample r{Dir() + "/H0101.txt"};
    WriteSample(r.input, false, 2300000);
    r.megabytes = double(std::filesystem::file_size(r.input)) / 1e6;
    return r;
  }();
  return s;
}

Sample& FullWidth() {
  static Sample s = [] {
    Sample r{Dir() + "/H0202.txt"};
    WriteSample(r.input, true, 1000000);
    r.megabytes = double(std::filesystem::file_size(r.input)) / 1e6;
    return r;
  }();
  return s;
}

// The process's peak resident size since the last reset, in MB.
double PeakMB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  double kb = 0;
  while (status >> key)
    if (key == "VmHWM:") {
      status >> kb;
      break;
    }
  return kb * 1024.0 / 1e6;
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void BM_Split(benchmark::State& state, Sample& (*sample)()) {
  Sample& s = sample();
  TCtlTextFileViewer viewer;
  THotSplitter splitter(viewer);
  splitter.SetAirlineList("074|220");
  splitter.SetAgentList("1000001|1000003|1000005");
  double seconds = 0;
  ResetPeak();
  for (auto _ : state) {
    std::filesystem::remove(SplitOutputName(s.input));
    const auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(splitter.SplitOneFile(s.input));
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  s.peakMB = PeakMB();
  s.splitMBps = s.megabytes * double(state.iterations()) / seconds;
  state.counters["MBps"] = s.splitMBps;
  state.counters["peak_MB"] = s.peakMB;
}

void BM_Copy(benchmark::State& state, Sample& (*sample)()) {
  Sample& s = sample();
  const std::string target = Dir() + "/copy.txt";
  double seconds = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    std::string data(std::filesystem::file_size(s.input), '\0');
    std::ifstream(s.input, std::ios::binary).read(data.data(), std::streamsize(data.size()));
    std::ofstream(target, std::ios::binary).write(data.data(), std::streamsize(data.size()));
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  s.copyMBps = s.megabytes * double(state.iterations()) / seconds;
  state.counters["MBps"] = s.copyMBps;
}

BENCHMARK_CAPTURE(BM_Split, realistic, Realistic)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_Copy, realistic, Realistic)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_Split, full_width, FullWidth)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_Copy, full_width, FullWidth)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  CreateGlobalHotFileLine();
  Realistic();
  FullWidth();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(Dir());
  const Sample& s = Realistic();
  std::printf("split_MBps=%.1f copy_MBps=%.1f ratio=%.3f peak_MB=%.1f input_MB=%.1f\n", s.splitMBps, s.copyMBps,
              s.copyMBps > 0 ? s.splitMBps / s.copyMBps : 0.0, s.peakMB, s.megabytes);
  return 0;
}
