// A SQL join over two xBase tables of 100,000 rows each, run by the query data set on this
// machine, beside the same statement in SQLite's shell on the same rows in a database file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "tables/XbQuery.h"

namespace {

constexpr int kRows = 100000;
constexpr const char* kJoin =
    "SELECT a.id, a.name, b.amount FROM a JOIN b ON b.aid = a.id WHERE b.amount > 250 ORDER BY b.id";

double Ours = 0, Shell = 0;
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

void BM_SqlJoinLocal(benchmark::State& state) {
  MakeData();
  for (auto _ : state) {
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
    Ours = Since(start);
    OurRows = n;
  }
  state.counters["rows"] = OurRows;
}
BENCHMARK(BM_SqlJoinLocal)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SqlJoinSqliteShell(benchmark::State& state) {
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    std::string cmd = "cd " + Folder() + " && sqlite3 big.db \"" + kJoin + "\" | wc -l";
    if (FILE* p = popen(cmd.c_str(), "r")) {
      if (std::fscanf(p, "%d", &ShellRows) != 1) ShellRows = -1;
      pclose(p);
    }
    Shell = Since(start);
  }
  state.counters["rows"] = ShellRows;
  std::filesystem::remove_all(Folder());
}
BENCHMARK(BM_SqlJoinSqliteShell)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("sql join %dx%d rows: ours=%.3fs (%d rows); sqlite3 shell=%.3fs (%d rows); ratio=%.2fx\n", kRows, kRows,
              Ours, OurRows, Shell, ShellRows, Ours > 0 ? Shell / Ours : 0.0);
  return 0;
}
