// The table data set on a table of a million records: append (the table held exclusively, as
// SQLite holds its database through one transaction), index and a full scan, then seeks by key;
// SQLite's library does the same insert, index, scan and seeks, and each row prints both and the
// ratio. Then a million appends to a table that already has an index, positions in an order with
// deleted records hidden, and two processes appending to one shared table. Python's dbf package
// reads our table back and works a tenth as many records (a million would take it minutes); its
// times are scaled up.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "tables/XBE7.h"
#include "tables/XbDSet.h"

namespace {

constexpr int kRecords = 1000000;
constexpr int kPeerRecords = kRecords / 10;
constexpr int kSeeks = 100000;
constexpr int kPositions = 10000;
constexpr int kEachProcess = 100000;
constexpr int kScans = 5;

struct TTimes {
  double Append = 0, Index = 0, Scan = 0;
  double PeerAppend = 0, PeerIndex = 0, PeerScan = 0;
  double AppendIndexed = 0, Seeks = 0, Positions = 0, TwoProcesses = 0;
  double LiteInsert = 0, LiteIndex = 0, LiteScan = 0, LiteSeeks = 0;
  int64_t ScanSum = -1, LiteScanSum = -2;
  bool TwoProcessesWhole = false;
} Times;

std::string Folder() {
  static std::string dir = [] {
    char tmpl[] = "/tmp/benchtablesXXXXXX";
    return std::string(mkdtemp(tmpl)) + "/";
  }();
  return dir;
}

double Since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

std::string RunPython(const std::string& script) {
  std::string file = Folder() + "peer.py";
  std::ofstream(file) << script;
  std::string out;
  if (FILE* p = popen(("cd " + Folder() + " && /usr/bin/python3 -W ignore peer.py 2>&1").c_str(), "r")) {
    char buf[512];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    pclose(p);
  }
  return out;
}

void MakeEmptyTable(const std::string& name) {
  RunPython("import dbf\nt = dbf.Table('" + name + "', 'name C(10); age N(7,0)', dbf_type='db3')\nt.open(dbf.READ_WRITE)\nt.close()\n");
}

std::string KeyOf(int i, int n) {
  char name[16];
  std::snprintf(name, sizeof name, "N%07d", int((int64_t(i) * 7919) % n));
  return name;
}

void OpenTable(TXbTable& t, const char* name) {
  t.SetDatabaseName(Folder().substr(0, Folder().size() - 1));
  t.SetTableName(name);
  t.Open();
}

// One full scan of our table, records as they lie: seconds taken; the sum and count go out.
double ScanOurs(TXbTable& t, int64_t& sum, int64_t& n) {
  auto start = std::chrono::steady_clock::now();
  sum = n = 0;
  TField* age = t.FieldByName("AGE");
  t.DisableControls();
  for (t.First(); !t.Eof(); t.Next(), ++n) sum += age->AsInteger();
  t.EnableControls();
  return Since(start);
}

// SQLite's full scan of the same records.
double ScanLite(sqlite3* db, int64_t& sum) {
  auto start = std::chrono::steady_clock::now();
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT age FROM big", -1, &st, nullptr);
  sum = 0;
  while (sqlite3_step(st) == SQLITE_ROW) sum += sqlite3_column_int(st, 0);
  sqlite3_finalize(st);
  return Since(start);
}

void BM_TableAppendIndexScan(benchmark::State& state) {
  for (auto _ : state) {
    MakeEmptyTable("big.dbf");
    EnsureTableEngine();
    XbeEntry(xb_SetDeleted)(0);
    TXbTable t(nullptr);
    t.SetDatabaseName(Folder().substr(0, Folder().size() - 1));
    t.SetTableName("big");
    t.SetExclusive(true);
    t.Open();
    auto start = std::chrono::steady_clock::now();
    t.DisableControls();
    char name[16];
    for (int i = 0; i < kRecords; ++i) {
      std::snprintf(name, sizeof name, "N%07d", int((int64_t(i) * 7919) % kRecords));
      t.AppendRecord({Variant(name), Variant(i % 1000)});
    }
    t.EnableControls();
    t.Close();
    Times.Append = Since(start);
    t.SetExclusive(false);

    std::ofstream(Folder() + "big.xbi") << "XBEINDEX 1\nNAME\tNAME\t\t0\t0\n";
    start = std::chrono::steady_clock::now();
    t.Open();
    t.SetIndexName("NAME");
    t.First();
    Times.Index = Since(start);
    t.Close();

    // The full scan walks the records as they lie, as SQLite's does; more scans follow beside
    // SQLite's, in turn with them.
    std::filesystem::remove(Folder() + "big.xbi");
    t.SetIndexName("");
    t.Open();
    int64_t n = 0;
    Times.Scan = ScanOurs(t, Times.ScanSum, n);
    if (n != kRecords) state.SkipWithError("the scan did not see every record");
    t.Close();
  }
  state.counters["append_s"] = Times.Append;
  state.counters["index_s"] = Times.Index;
  state.counters["scan_s"] = Times.Scan;
}

BENCHMARK(BM_TableAppendIndexScan)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// The peer reads our table's count and last record, then works a tenth of the records in a
// table of the same structure: its index and scan of a million records take minutes.
void BM_PythonDbfPeer(benchmark::State& state) {
  for (auto _ : state) {
    std::string out = RunPython(
        "import dbf, time\n"
        "t = dbf.Table('big.dbf')\n"
        "t.open(dbf.READ_ONLY)\n"
        "n = len(t); last = t[-1].name.strip()\n"
        "t.close()\n"
        "u = dbf.Table('peer.dbf', 'name C(10); age N(7,0)', dbf_type='db3')\n"
        "u.open(dbf.READ_WRITE)\n"
        "a = time.time()\n"
        "for i in range(" + std::to_string(kPeerRecords) + "): u.append(('N%07d' % (i * 7919 % " + std::to_string(kPeerRecords) + "), i % 1000))\n"
        "b = time.time(); idx = u.create_index(lambda r: r.name); c = time.time()\n"
        "s = 0\n"
        "for r in idx: s += r.age\n"
        "d = time.time()\n"
        "u.close()\n"
        "print(b - a, c - b, d - c, n, last)\n");
    int peerSaw = 0;
    char last[32] = "";
    if (std::sscanf(out.c_str(), "%lf %lf %lf %d %31s", &Times.PeerAppend, &Times.PeerIndex, &Times.PeerScan, &peerSaw,
                    last) != 5)
      state.SkipWithError(("python dbf: " + out).c_str());
    else if (peerSaw != kRecords)
      state.SkipWithError("python dbf does not see every record of our table");
  }
  // Scaled to the same number of records.
  for (double* t : {&Times.PeerAppend, &Times.PeerIndex, &Times.PeerScan}) *t *= double(kRecords) / kPeerRecords;
  state.counters["py_append_s"] = Times.PeerAppend;
  state.counters["py_index_s"] = Times.PeerIndex;
  state.counters["py_scan_s"] = Times.PeerScan;
}


// A million appends to a shared table with the index kept up to date as they go.
void BM_TableAppendToIndexed(benchmark::State& state) {
  for (auto _ : state) {
    MakeEmptyTable("indexed.dbf");
    std::ofstream(Folder() + "indexed.xbi") << "XBEINDEX 1\nNAME\tNAME\t\t0\t0\n";
    TXbTable t(nullptr);
    OpenTable(t, "indexed");
    t.SetIndexName("NAME");
    auto start = std::chrono::steady_clock::now();
    t.DisableControls();
    for (int i = 0; i < kRecords; ++i) t.AppendRecord({Variant(KeyOf(i, kRecords)), Variant(i % 1000)});
    t.EnableControls();
    Times.AppendIndexed = Since(start);

    // Seeks by key straight through the engine, each followed by the record it found.
    XbeEntry(xb_Select)(t.WorkArea());
    std::vector<char> record(std::size_t(XbeEntry(xb_RecSize)()));
    int found = 0;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kSeeks; ++i) {
      found += XbeEntry(xb_Seek)(KeyOf(i * 9, kRecords).c_str()) != 0;
      XbeEntry(xb_GetRecord)(record.data());
    }
    Times.Seeks = Since(start);
    if (found != kSeeks) state.SkipWithError("a seek missed its key");

    // Positions in the order with every tenth record deleted and hidden.
    for (int r = 10; r <= kRecords; r += 10) {
      XbeEntry(xb_Go)(r);
      XbeEntry(xb_Delete)();
    }
    XbeEntry(xb_SetDeleted)(-1);
    t.First();
    int64_t sum = 0;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kPositions; ++i) {
      t.Next();
      sum += t.RecNo();
    }
    Times.Positions = Since(start);
    XbeEntry(xb_SetDeleted)(0);
    if (sum != int64_t(kPositions + 1) * kPositions / 2 + kPositions) state.SkipWithError("positions do not count the visible records");
    t.Close();
  }
  state.counters["append_indexed_s"] = Times.AppendIndexed;
  state.counters["seeks_s"] = Times.Seeks;
  state.counters["recno_us"] = Times.Positions / kPositions * 1e6;
}

BENCHMARK(BM_TableAppendToIndexed)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void AppendFromThisProcess(const char* prefix) {
  TXbTable t(nullptr);
  OpenTable(t, "shared");
  t.DisableControls();
  char name[16];
  for (int i = 0; i < kEachProcess; ++i) {
    std::snprintf(name, sizeof name, "%s%06d", prefix, i);
    t.AppendRecord({Variant(name), Variant(i % 1000)});
  }
  t.EnableControls();
  t.Close();
}

// Two processes append to one table at once; afterwards every record of both is there.
void BM_TableTwoProcessesAppend(benchmark::State& state) {
  for (auto _ : state) {
    MakeEmptyTable("shared.dbf");
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
      AppendFromThisProcess("B");
      _exit(0);
    }
    AppendFromThisProcess("A");
    int status = 0;
    waitpid(child, &status, 0);
    Times.TwoProcesses = Since(start);
    TXbTable t(nullptr);
    OpenTable(t, "shared");
    std::vector<char> seen(2 * kEachProcess, 0);
    TField* name = t.FieldByName("NAME");
    t.DisableControls();
    for (t.First(); !t.Eof(); t.Next()) {
      AnsiString n = name->AsString();
      int i = std::atoi(n.c_str() + 1);
      if (n.size() == 7 && (n[0] == 'A' || n[0] == 'B') && i >= 0 && i < kEachProcess) seen[std::size_t((n[0] == 'B') * kEachProcess + i)] = 1;
    }
    t.EnableControls();
    Times.TwoProcessesWhole = t.RecCount() == 2 * kEachProcess && std::count(seen.begin(), seen.end(), 1) == 2 * kEachProcess;
    if (!Times.TwoProcessesWhole) state.SkipWithError("records of the two processes are missing");
    t.Close();
  }
  state.counters["two_process_s"] = Times.TwoProcesses;
}

BENCHMARK(BM_TableTwoProcessesAppend)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_PythonDbfPeer)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void Exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string what = error ? error : "sqlite3_exec failed";
    sqlite3_free(error);
    throw std::runtime_error(what);
  }
}

// SQLite's library on the same work, on a database file beside our table: one transaction of
// inserts through a prepared statement, the index, a full scan and the seeks.
void BM_SqliteSameWork(benchmark::State& state) {
  for (auto _ : state) {
    std::string file = Folder() + "lite.db";
    std::filesystem::remove(file);
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
      state.SkipWithError("sqlite3_open failed");
      break;
    }
    try {
      Exec(db, "CREATE TABLE big(name TEXT, age INTEGER);");
      sqlite3_stmt* st = nullptr;
      auto start = std::chrono::steady_clock::now();
      Exec(db, "BEGIN");
      sqlite3_prepare_v2(db, "INSERT INTO big VALUES(?, ?)", -1, &st, nullptr);
      for (int i = 0; i < kRecords; ++i) {
        std::string key = KeyOf(i, kRecords);
        sqlite3_bind_text(st, 1, key.c_str(), int(key.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 2, i % 1000);
        sqlite3_step(st);
        sqlite3_reset(st);
      }
      sqlite3_finalize(st);
      Exec(db, "COMMIT");
      Times.LiteInsert = Since(start);

      start = std::chrono::steady_clock::now();
      Exec(db, "CREATE INDEX byname ON big(name);");
      Times.LiteIndex = Since(start);

      Times.LiteScan = ScanLite(db, Times.LiteScanSum);

      start = std::chrono::steady_clock::now();
      sqlite3_prepare_v2(db, "SELECT age FROM big WHERE name = ?", -1, &st, nullptr);
      int found = 0;
      for (int i = 0; i < kSeeks; ++i) {
        std::string key = KeyOf(i * 9, kRecords);
        sqlite3_bind_text(st, 1, key.c_str(), int(key.size()), SQLITE_TRANSIENT);
        found += sqlite3_step(st) == SQLITE_ROW;
        sqlite3_reset(st);
      }
      sqlite3_finalize(st);
      Times.LiteSeeks = Since(start);
      if (found != kSeeks) state.SkipWithError("a seek of SQLite missed its key");
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
    }
    sqlite3_close(db);
  }
  state.counters["lite_insert_s"] = Times.LiteInsert;
  state.counters["lite_index_s"] = Times.LiteIndex;
  state.counters["lite_scan_s"] = Times.LiteScan;
  state.counters["lite_seeks_s"] = Times.LiteSeeks;
}

BENCHMARK(BM_SqliteSameWork)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// The two full scans again, one after the other a few times over, so that both meet the same
// load of a shared machine; each side's best scan counts.
void BM_SqliteAndTableScansInTurn(benchmark::State& state) {
  for (auto _ : state) {
    sqlite3* db = nullptr;
    TXbTable t(nullptr);
    if (Times.Scan <= 0 || Times.LiteScan <= 0 || sqlite3_open((Folder() + "lite.db").c_str(), &db) != SQLITE_OK) {
      state.SkipWithError("the table and SQLite benchmarks must run first");
      sqlite3_close(db);
      break;
    }
    OpenTable(t, "big");
    for (int pass = 0; pass < kScans; ++pass) {
      int64_t sum = 0, n = 0;
      Times.Scan = std::min(Times.Scan, ScanOurs(t, sum, n));
      if (sum != Times.ScanSum || n != kRecords) state.SkipWithError("our scan saw other records");
      Times.LiteScan = std::min(Times.LiteScan, ScanLite(db, sum));
      if (sum != Times.LiteScanSum) state.SkipWithError("SQLite's scan saw other records");
    }
    t.Close();
    sqlite3_close(db);
  }
  state.counters["scan_s"] = Times.Scan;
  state.counters["lite_scan_s"] = Times.LiteScan;
}

BENCHMARK(BM_SqliteAndTableScansInTurn)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();



}  // namespace

void Row(const char* what, double ours, double lite, double target) {
  // Above 1 ours is faster.
  double ratio = ours > 0 ? lite / ours : 0.0;
  std::printf("tables %-7s ours=%.3fs sqlite=%.3fs ratio=%.2f", what, ours, lite, ratio);
  if (target > 0) std::printf(" (target >= %.1f: %s)", target, ratio >= target ? "met" : "NOT met");
  std::printf("\n");
}

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("tables %d records, ratios sqlite/ours (above 1 ours is faster):\n", kRecords);
  Row("append", Times.Append, Times.LiteInsert, 0.5);
  Row("index", Times.Index, Times.LiteIndex, 1.0);
  Row("scan", Times.Scan, Times.LiteScan, 1.5);
  Row("seeks", Times.Seeks, Times.LiteSeeks, 0);
  if (Times.ScanSum >= 0 && Times.LiteScanSum >= 0 && Times.ScanSum != Times.LiteScanSum)
    std::printf("tables the two scans summed differently: ours %lld, sqlite %lld\n", (long long)Times.ScanSum,
                (long long)Times.LiteScanSum);
  double ours = Times.Append + Times.Index + Times.Scan;
  double peer = Times.PeerAppend + Times.PeerIndex + Times.PeerScan;
  std::printf("tables python dbf append=%.2fs index=%.2fs scan=%.2fs total=%.2fs; ours total=%.2fs; ratio=%.1fx\n",
              Times.PeerAppend, Times.PeerIndex, Times.PeerScan, peer, ours, ours > 0 ? peer / ours : 0.0);
  std::printf("tables append %d records to a shared table with an index kept up to date=%.2fs (held exclusively, "
              "without an index: %.2fs)\n",
              kRecords, Times.AppendIndexed, Times.Append);
  std::printf("tables RecNo in an order, deleted hidden=%.1fus a call\n", Times.Positions / kPositions * 1e6);
  std::printf("tables two processes appending %d records each=%.2fs, every record present: %s\n", kEachProcess,
              Times.TwoProcesses, Times.TwoProcessesWhole ? "yes" : "NO");
  std::filesystem::remove_all(Folder());
  return 0;
}
