// The spreadsheet server's workbook files: a million cells read, with the memory it takes against
// the file's size, and a workbook of twenty thousand sheets opened. Python's own Expat binding
// walks the same million-cell file in the same run, for the ratio of reading time.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/com/XlFile.h"
#include "platform/com/XlServer.h"

namespace {

std::string Folder() {
  static std::string dir = [] {
    char tmpl[] = "/tmp/benchxlXXXXXX";
    return std::string(mkdtemp(tmpl)) + "/";
  }();
  return dir;
}

const char* const Head =
    "<?xml version=\"1.0\"?>\n<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
    "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\n";

const std::string& MillionCells() {
  static std::string path = [] {
    std::string p = Folder() + "million.xml";
    std::ofstream o(p);
    o << Head << "<Worksheet ss:Name=\"Cells\"><Table>\n";
    for (int r = 1; r <= 100000; ++r) {
      o << "<Row>";
      for (int c = 0; c < 10; ++c) {
        if (c % 2) o << "<Cell><Data ss:Type=\"Number\">" << r * 10 + c << ".25</Data></Cell>";
        else o << "<Cell><Data ss:Type=\"String\">text " << r * 10 + c << "</Data></Cell>";
      }
      o << "</Row>\n";
    }
    o << "</Table></Worksheet></Workbook>\n";
    return p;
  }();
  return path;
}

const std::string& ManySheets() {
  static std::string path = [] {
    std::string p = Folder() + "sheets.xml";
    std::ofstream o(p);
    o << Head;
    for (int i = 1; i <= 20000; ++i) o << "<Worksheet ss:Name=\"Sheet " << i << "\"/>\n";
    o << "</Workbook>\n";
    return p;
  }();
  return path;
}

size_t HeapInUse() {
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

double PeerSeconds() {
  std::string script = Folder() + "peer.py";
  std::ofstream(script) << "import sys, time, xml.parsers.expat\n"
                           "cells = 0\n"
                           "def start(name, attrs):\n"
                           "    global cells\n"
                           "    if name.endswith('Cell'): cells += 1\n"
                           "p = xml.parsers.expat.ParserCreate(namespace_separator='|')\n"
                           "p.StartElementHandler = start\n"
                           "t = time.perf_counter()\n"
                           "with open(sys.argv[1], 'rb') as f: p.ParseFile(f)\n"
                           "print(time.perf_counter() - t)\n";
  std::string cmd = "python3 " + script + " " + MillionCells();
  FILE* f = popen(cmd.c_str(), "r");
  double s = 0;
  if (f && std::fscanf(f, "%lf", &s) != 1) s = 0;
  if (f) pclose(f);
  return s;
}

void BM_ReadMillionCells(benchmark::State& state) {
  const std::string& file = MillionCells();
  double bytes = double(std::filesystem::file_size(file));
  double grown = 0, seconds = 0;
  for (auto _ : state) {
    size_t before = HeapInUse();
    auto t = std::chrono::steady_clock::now();
    std::vector<TXlSheetData> sheets = LoadSpreadsheetML(file);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
    grown = double(HeapInUse() - before);
    benchmark::DoNotOptimize(sheets);
  }
  double peer = PeerSeconds();
  state.counters["file_MB"] = bytes / 1e6;
  state.counters["memory_per_file_byte"] = grown / bytes;
  state.counters["time_vs_python_expat"] = peer > 0 ? seconds / peer : 0;
}
BENCHMARK(BM_ReadMillionCells)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_OpenTwentyThousandSheets(benchmark::State& state) {
  OleInitialize();
  RegisterExcelServer();
  TComPtr<_Application> app;
  OleCheck(CoCreateInstance(CLASS_ExcelApplication, nullptr, CLSCTX_INPROC_SERVER, IID__Application, app.PutVoid()));
  TComPtr<Workbooks> books;
  OleCheck(app->Get_Workbooks(0, books.Put()));
  for (auto _ : state) {
    TComPtr<_Workbook> book;
    OleCheck(books->Open(AnsiToWide(ManySheets()), 0, book.Put()));
    OleCheck(book->Close(false, OleVariant::Missing(), OleVariant::Missing(), 0));
  }
  books.Reset();
  app->Quit();
  app.Reset();
  OleUninitialize();
}
BENCHMARK(BM_OpenTwentyThousandSheets)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
