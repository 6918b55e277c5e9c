// The table data set on a table of a million records: append, index and scan, beside Python's
// dbf package in the same run. The peer reads our table back and works a tenth as many records
// of the same structure (a million would take it many minutes); its times are scaled up.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tables/XBE7.h"
#include "tables/XbDSet.h"

namespace {

constexpr int kRecords = 1000000;
constexpr int kPeerRecords = kRecords / 10;

struct TTimes {
  double Append = 0, Index = 0, Scan = 0;
  double PeerAppend = 0, PeerIndex = 0, PeerScan = 0;
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

void BM_TableAppendIndexScan(benchmark::State& state) {
  for (auto _ : state) {
    RunPython("import dbf\nt = dbf.Table('big.dbf', 'name C(10); age N(7,0)', dbf_type='db3')\nt.open(dbf.READ_WRITE)\nt.close()\n");
    EnsureTableEngine();
    XbeEntry(xb_SetDeleted)(0);
    TXbTable t(nullptr);
    t.SetDatabaseName(Folder().substr(0, Folder().size() - 1));
    t.SetTableName("big");
    t.Open();
    auto start = std::chrono::steady_clock::now();
    t.DisableControls();
    char name[16];
    for (int i = 0; i < kRecords; ++i) {
      std::snprintf(name, sizeof name, "N%07d", int((int64_t(i) * 7919) % kRecords));
      t.AppendRecord({Variant(name), Variant(i % 1000)});
    }
    t.EnableControls();
    Times.Append = Since(start);
    t.Close();

    std::ofstream(Folder() + "big.cdx") << "XBEINDEX 1\nNAME\tNAME\t\t0\t0\n";
    start = std::chrono::steady_clock::now();
    t.Open();
    t.SetIndexName("NAME");
    Times.Index = Since(start);

    start = std::chrono::steady_clock::now();
    int64_t sum = 0, n = 0;
    TField* age = t.FieldByName("AGE");
    t.DisableControls();
    for (t.First(); !t.Eof(); t.Next(), ++n) sum += age->AsInteger();
    t.EnableControls();
    Times.Scan = Since(start);
    benchmark::DoNotOptimize(sum);
    if (n != kRecords) state.SkipWithError("the scan did not see every record");
    t.Close();
  }
  // The peer reads our table's count and last record, then works a tenth of the records in a
  // table of the same structure: its index and scan of a million records take minutes.
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
  // Scaled to the same number of records.
  for (double* t : {&Times.PeerAppend, &Times.PeerIndex, &Times.PeerScan}) *t *= double(kRecords) / kPeerRecords;
  state.counters["append_s"] = Times.Append;
  state.counters["index_s"] = Times.Index;
  state.counters["scan_s"] = Times.Scan;
  state.counters["py_append_s"] = Times.PeerAppend;
  state.counters["py_index_s"] = Times.PeerIndex;
  state.counters["py_scan_s"] = Times.PeerScan;
  std::filesystem::remove_all(Folder());
}

BENCHMARK(BM_TableAppendIndexScan)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  double ours = Times.Append + Times.Index + Times.Scan;
  double peer = Times.PeerAppend + Times.PeerIndex + Times.PeerScan;
  std::printf("tables %d records: ours append=%.2fs index=%.2fs scan=%.2fs total=%.2fs; python dbf total=%.2fs; ratio=%.1fx\n",
              kRecords, Times.Append, Times.Index, Times.Scan, ours, peer, ours > 0 ? peer / ours : 0.0);
  return 0;
}
