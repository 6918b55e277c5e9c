// The program as it starts and waits on a private X server: from the start-up steps to the main
// window painted and on the screen, and the processor time the running program takes while idle
// (it should take none).
#include <benchmark/benchmark.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "app/ProgramSteps.h"
#include "core/fQuorvex.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/WindowPump.h"
#include "platform/rtl/Files.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Windows.h"
#include "platform/win/X11Backend.h"
#include "platform/x11/XvfbSupport.h"

namespace {

namespace fs = std::filesystem;

TXvfb& Server() {
  static TXvfb server;
  return server;
}

std::string BenchFolder(const char* name) {
  const std::string dir = (fs::temp_directory_path() / name).string() + "/";
  fs::create_directories(dir);
  return dir;
}

// Start-up steps, the main window made and shown, every message run until the window is painted,
// and the X server done with it; then the window closes and the steps close down.
void BM_StartToFirstPaintedMainWindow(benchmark::State& state) {
  if (Server().Display().empty()) {
    state.SkipWithError("Xvfb did not start");
    return;
  }
  const std::string dir = BenchFolder("bench_startup");
  // The version block is the running program's; the folder tree goes beside this name.
  SetExeNameForTesting(dir + "quorvex");
  std::ofstream(dir + "quorvex") << "";
  std::string error;
  Application().OnException = [&](const Exception& e) { error = e.Message(); };
  for (auto _ : state) {
    auto backend = std::make_unique<TX11Backend>(Server().Display().c_str());
    TX11Backend* x11 = backend.get();
    SetDisplayBackend(std::move(backend));
    TModuleSteps steps;
    AddProgramSteps(steps);
    steps.Startup();
    UseWindowSystemPump();
    TfrmQuorvex* form = nullptr;
    Application().CreateForm(form);
    form->Show();
    while (HasPendingMessages()) Application().ProcessMessages();
    x11->Sync();
    state.PauseTiming();
    if (!error.empty()) state.SkipWithError(error.c_str());
    steps.Shutdown();
    Application().SetMessagePump({});
    ResetWindowSystem();
    SetDisplayBackend(nullptr);
    state.ResumeTiming();
    if (!error.empty()) break;
  }
  Application().OnException = nullptr;
  fs::remove_all(dir);
}
BENCHMARK(BM_StartToFirstPaintedMainWindow)->Unit(benchmark::kMillisecond)->Iterations(10);

// Clock ticks of user and system time the process has used so far.
long ProcessTicks(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string f;
  long utime = 0, stime = 0;
  for (int i = 3; fields >> f; ++i) {
    if (i == 14) utime = std::stol(f);
    if (i == 15) {
      stime = std::stol(f);
      break;
    }
  }
  return utime + stime;
}

// The program binary, started on the X server and left alone: what it takes from the processor
// once its window is up.
void BM_IdleProcessorUse(benchmark::State& state) {
  if (Server().Display().empty()) {
    state.SkipWithError("Xvfb did not start");
    return;
  }
  const std::string dir = BenchFolder("bench_idle");
  fs::copy_file(QUORVEX_BINARY_DIR "/app/quorvex", dir + "quorvex", fs::copy_options::overwrite_existing);
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("DISPLAY", Server().Display().c_str(), 1);
    execl((dir + "quorvex").c_str(), "quorvex", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Settled: the window is up and painted.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const double secondsPerTick = 1.0 / double(sysconf(_SC_CLK_TCK));
  double busy = 0, watched = 0;
  for (auto _ : state) {
    const long before = ProcessTicks(pid);
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    busy += double(ProcessTicks(pid) - before) * secondsPerTick;
    watched += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  fs::remove_all(dir);
  state.counters["idle_cpu_percent"] = watched > 0 ? 100.0 * busy / watched : 0.0;
}
BENCHMARK(BM_IdleProcessorUse)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// The main window loading its code lists from the settings file and writing them back, without a
// display: the time should grow with the lists' length, not with its square.
void BM_LoadAndSaveCodeLists(benchmark::State& state) {
  const int codes = int(state.range(0));
  const std::string dir = BenchFolder("bench_codelists");
  SetExeNameForTesting(dir + "quorvex");
  std::ofstream(dir + "quorvex") << "";
  fs::create_directories(dir + "Quorvex/Database");
  {
    std::ofstream ini(dir + "Quorvex/Database/quorvex.ini", std::ios::binary);
    ini << "[SplitFor]\r\nAgtnList=";
    char code[16];
    for (int i = 0; i < codes; ++i) {
      std::snprintf(code, sizeof code, "%s%07d", i ? ";" : "", i);
      ini << code;
    }
    ini << "\r\nTacnList=";
    for (int i = 0; i < codes; ++i) {
      std::snprintf(code, sizeof code, "%s%03d", i ? ";" : "", i % 1000);
      ini << code;
    }
    ini << "\r\n";
  }
  TModuleSteps steps;
  AddProgramSteps(steps);
  steps.Startup();
  TfrmQuorvex* form = nullptr;
  Application().CreateForm(form);
  bool whole = true;
  int round = 0;
  for (auto _ : state) {
    form->LoadSettings();
    whole = whole && form->memAgtns->Lines().Count() == codes;
    // A change, so that the save writes.
    form->memAgtns->Lines().Put(0, ++round % 2 ? "0000001" : "0000000");
    form->SaveSettings();
  }
  if (!whole) state.SkipWithError("the lists did not load whole");
  state.SetComplexityN(codes);
  steps.Shutdown();
  ResetWindowSystem();
  fs::remove_all(dir);
}
BENCHMARK(BM_LoadAndSaveCodeLists)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

BENCHMARK_MAIN();
