// A SQL join over two xBase tables of 100,000 rows each, run by the query data set on this
// machine, beside the same statement in SQLite's shell on the same rows in a database file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tables/XbQuery.h"

namespace {

constexpr int kRows = 100000;
constexpr const char* kJoin =
    "SELECT a.id, a.name, b.amount FROM a JOIN b ON b.aid = a.id WHERE b.amount > 250 ORDER BY b.id";

int OurRows = 0, ShellRows = 0;

std::string Folder() {
  static std::string dir = [] {
    char tmpl[] = "/tmp/benchsqlXXXXXX";
    return std::string(mkdtemp(tmpl)) + "/";
  }();
  return dir;
}

double Since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

struct TColumn {
  const char* Name;
  char Type;
  int Width, Decimals;
};

// A level-3 DBF file of the given rows; each row is the fields' texts already padded.
void WriteDbf(const std::string& path, const std::vector<TColumn>& cols, const std::vector<std::string>& rows) {
  int recordSize = 1;
  for (const TColumn& c : cols) recordSize += c.Width;
  std::string h(32, '\0');
  h[0] = 3, h[1] = 124, h[2] = 1, h[3] = 1;
  uint32_t count = static_cast<uint32_t>(rows.size());
  uint16_t headerSize = static_cast<uint16_t>(32 + 32 * cols.size() + 1), size = static_cast<uint16_t>(recordSize);
  std::memcpy(&h[4], &count, 4);
  std::memcpy(&h[8], &headerSize, 2);
  std::memcpy(&h[10], &size, 2);
  for (const TColumn& c : cols) {
    std::string d(32, '\0');
    std::memcpy(&d[0], c.Name, std::strlen(c.Name));
    d[11] = c.Type;
    d[16] = static_cast<char>(c.Width);
    d[17] = static_cast<char>(c.Decimals);
    h += d;
  }
  h += '\r';
  std::ofstream out(path, std::ios::binary);
  out << h;
  for (const std::string& r : rows) out << ' ' << r;
  out << '\x1A';
}

void MakeData() {
  std::vector<std::string> a, b;
  std::ofstream ca(Folder() + "a.csv"), cb(Folder() + "b.csv");
  char buf[64];
  for (int i = 1; i <= kRows; ++i) {
    std::snprintf(buf, sizeof buf, "%8d%-12s", i, ("Name" + std::to_string(i * 7 % kRows)).c_str());
    a.push_back(buf);
    ca << i << ",Name" << i * 7 % kRows << "\n";
    int aid = 1 + int(int64_t(i) * 7919 % kRows);
    double amount = (i * 37 % 50000) / 100.0;
    std::snprintf(buf, sizeof buf, "%8d%8d%10.2f", i, aid, amount);
    b.push_back(buf);
    cb << i << "," << aid << "," << amount << "\n";
  }
  ca.close();
  cb.close();
  WriteDbf(Folder() + "a.dbf", {{"ID", 'N', 8, 0}, {"NAME", 'C', 12, 0}}, a);
  WriteDbf(Folder() + "b.dbf", {{"ID", 'N', 8, 0}, {"AID", 'N', 8, 0}, {"AMOUNT", 'N', 10, 2}}, b);
  std::ofstream(Folder() + "load.cmd") << "CREATE TABLE a(id INTEGER, name TEXT);\n"
                                          "CREATE TABLE b(id INTEGER, aid INTEGER, amount REAL);\n"
                                          ".mode csv\n.import a.csv a\n.import b.csv b\n";
  std::system(("cd " + Folder() + " && sqlite3 big.db < load.cmd").c_str());
}

// One run of the join through the query data set, as an application would make it.
double RunOurs(int& rows) {
  auto start = std::chrono::steady_clock::now();
  TXbQuery q(nullptr);
  q.SetDatabaseName(Folder());
  q.SetSQL(kJoin);
  q.SetFetchCount(1000);
  for (const char* t : {"a", "b"}) q.TableList().Add()->SetTableName(t);
  q.Open();
  int n = 0;
  double sum = 0;
  TField* amount = q.FieldByName("AMOUNT");
  for (q.First(); !q.Eof(); q.Next(), ++n) sum += amount->AsFloat();
  benchmark::DoNotOptimize(sum);
  rows = n;
  return Since(start);
}

// One run of the shell: its start, the database's open and the rows through a pipe.
double RunShell(int& rows) {
  auto start = std::chrono::steady_clock::now();
  std::string cmd = "cd " + Folder() + " && sqlite3 big.db \"" + kJoin + "\" | wc -l";
  rows = -1;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    if (std::fscanf(p, "%d", &rows) != 1) rows = -1;
    pclose(p);
  }
  return Since(start);
}

// Loaded machines swing single runs by half: both sides run in turns on warm files (the first
// turn of each, which loads the engine and the shell's pages, is not counted), and each side
// reports its fastest and its median turn.
constexpr int kTurns = 7;
std::vector<double> OurTimes, ShellTimes;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}
double Fastest(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }

void BM_SqlJoin(benchmark::State& state) {
  MakeData();
  RunOurs(OurRows);
  RunShell(ShellRows);
  for (auto _ : state) {
    OurTimes.push_back(RunOurs(OurRows));
    ShellTimes.push_back(RunShell(ShellRows));
  }
  state.counters["ours_ms"] = Fastest(OurTimes) * 1e3;
  state.counters["shell_ms"] = Fastest(ShellTimes) * 1e3;
  state.counters["rows"] = OurRows;
  std::filesystem::remove_all(Folder());
}
BENCHMARK(BM_SqlJoin)->Iterations(kTurns)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  double ours = Fastest(OurTimes), shell = Fastest(ShellTimes);
  double ourMedian = Median(OurTimes), shellMedian = Median(ShellTimes);
  std::printf(
      "sql join %dx%d rows, fastest of %zu turns: ours=%.3fs (%d rows); sqlite3 shell=%.3fs (%d rows); ratio=%.2fx\n"
      "sql join medians: ours=%.3fs; sqlite3 shell=%.3fs; ratio=%.2fx\n",
      kRows, kRows, OurTimes.size(), ours, OurRows, shell, ShellRows, ours > 0 ? shell / ours : 0.0, ourMedian,
      shellMedian, ourMedian > 0 ? shellMedian / ourMedian : 0.0);
  return 0;
}
