// Splitting a HOT file of a million records against a plain copy of the same file.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "core/uHotSplitter.h"

namespace {

constexpr int Records = 1000000;

struct Sample {
  std::string dir;
  std::string input;
  double megabytes = 0;
};

void Put(std::string& line, std::size_t start, const std::string& value) { line.replace(start - 1, value.size(), value); }

std::string Record(const char* id, int seq) {
  std::string line(136, '5');
  Put(line, 1, std::string(id, 3));
  char s[16];
  std::snprintf(s, sizeof s, "%08d", seq);
  Put(line, 4, s);
  Put(line, 12, std::string(id + 3, 2));
  return line;
}

// Offices of ten agents, each with transactions of four airlines and their details.
const Sample& TheSample() {
  static const Sample sample = [] {
    Sample s;
    char tmpl[] = "/tmp/benchsplitXXXXXX";
    s.dir = ::mkdtemp(tmpl);
    s.input = s.dir + "/H0101.txt";
    std::ofstream out(s.input, std::ios::binary);
    int seq = 0;
    auto emit = [&](std::string line) { out << line << "\r\n"; ++seq; };
    std::string header = Record("BFH01", seq);
    Put(header, 20, "10");
    Put(header, 22, "022");
    emit(header);
    emit(Record("BCH02", seq));
    const char* airlines[] = {"074  ", "125  ", "220  ", "057  "};
    while (seq < Records - 2) {
      std::string office = Record("BOH03", seq);
      Put(office, 14, std::to_string(1000000 + (seq / 1000) % 10));
      emit(office);
      for (int t = 0; t < 40 && seq < Records - 4; ++t) {
        std::string tx = Record("BKT06", seq);
        Put(tx, 51, airlines[t % 4]);
        emit(tx);
        emit(Record("BKS24", seq));
        emit(Record("BAR64", seq));
        emit(Record("BKP84", seq));
      }
      emit(Record("BOT94", seq));
    }
    emit(Record("BCT95", seq));
    emit(Record("BFT99", seq));
    out.close();
    s.megabytes = double(std::filesystem::file_size(s.input)) / 1e6;
    return s;
  }();
  return sample;
}

double SplitMBps = 0;
double CopyMBps = 0;

void BM_Split(benchmark::State& state) {
  const Sample& s = TheSample();
  TCtlTextFileViewer viewer;
  THotSplitter splitter(viewer);
  splitter.SetAirlineList("074|220");
  splitter.SetAgentList("1000001|1000003|1000005");
  double seconds = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(splitter.SplitOneFile(s.input));
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  SplitMBps = s.megabytes * double(state.iterations()) / seconds;
  state.counters["MBps"] = SplitMBps;
}

void BM_Copy(benchmark::State& state) {
  const Sample& s = TheSample();
  const std::string target = s.dir + "/copy.txt";
  double seconds = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    std::string data(std::filesystem::file_size(s.input), '\0');
    std::ifstream(s.input, std::ios::binary).read(data.data(), std::streamsize(data.size()));
    std::ofstream(target, std::ios::binary).write(data.data(), std::streamsize(data.size()));
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  CopyMBps = s.megabytes * double(state.iterations()) / seconds;
  state.counters["MBps"] = CopyMBps;
}

BENCHMARK(BM_Split)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Copy)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TheSample();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const double peak = double(usage.ru_maxrss) * 1024.0 / 1e6;
  const double input = TheSample().megabytes;
  std::filesystem::remove_all(TheSample().dir);
  std::printf("split_MBps=%.1f copy_MBps=%.1f ratio=%.3f peak_MB=%.1f input_MB=%.1f\n", SplitMBps, CopyMBps,
              CopyMBps > 0 ? SplitMBps / CopyMBps : 0.0, peak, input);
  return 0;
}
