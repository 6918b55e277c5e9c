// The message loop when nothing is pending, and a paint of a whole window through the drawing
// layer's contexts, each reported per call.
#include <benchmark/benchmark.h>

#include "platform/classlib/Forms.h"
#include "platform/classlib/WindowPump.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/PaintContext.h"
#include "platform/win/Windows.h"
#include "platform/win/X11Backend.h"

namespace {

// A main window of the usual size with a few children, all shown and painted once.
HWND MakeWindows() {
  ResetWindowSystem();
  UseGdiDeviceContexts();
  TWndClass wc;
  wc.lpszClassName = "Bench";
  wc.hbrBackground = 0x00C0C0C0;
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m != WM_PAINT) return DefWindowProc(h, m, w, l);
    TPaintStruct ps;
    BeginPaint(h, ps);
    if (TDeviceContext* dc = DeviceContextOf(ps.hdc)) {
      dc->FillRect(ps.rcPaint, SolidBrush(0x00FFFFFF));
      dc->FrameRect(GetClientRect(h), SolidBrush(0x00000000));
    }
    EndPaint(h, ps);
    return 0;
  };
  RegisterClass(wc);
  HWND top = CreateWindowEx(0, "Bench", "bench", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, 0);
  for (int i = 0; i < 8; ++i)
    CreateWindowEx(0, "Bench", "", WS_CHILD | WS_VISIBLE, 10 + 90 * i, 10, 80, 24, top);
  ShowWindow(top, SW_SHOW);
  UpdateWindow(top);
  TMsg m;
  while (PeekMessage(m, 0, 0, 0, PM_REMOVE)) DispatchMessage(m);
  return top;
}

void BM_ProcessMessagesIdle(benchmark::State& state) {
  MakeWindows();
  UseWindowSystemPump();
  for (auto _ : state) Application().ProcessMessages();
  ResetWindowSystem();
}
BENCHMARK(BM_ProcessMessagesIdle);

void BM_PeekMessageIdle(benchmark::State& state) {
  MakeWindows();
  TMsg m;
  for (auto _ : state) benchmark::DoNotOptimize(PeekMessage(m, 0, 0, 0, PM_REMOVE));
  ResetWindowSystem();
}
BENCHMARK(BM_PeekMessageIdle);

// Invalidate everything, then paint the window and its children into the back buffer.
void BM_FullWindowPaint(benchmark::State& state) {
  HWND top = MakeWindows();
  for (auto _ : state) {
    RedrawWindow(top, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
  state.counters["pixels"] = benchmark::Counter(800.0 * 600.0, benchmark::Counter::kIsIterationInvariantRate);
  ResetWindowSystem();
}
BENCHMARK(BM_FullWindowPaint)->Unit(benchmark::kMicrosecond);

// The same paint shown on the X display ($DISPLAY), until the server has put it on the screen.
void BM_FullWindowPaintShownOnX11(benchmark::State& state) {
  TX11Backend* x11 = nullptr;
  try {
    auto backend = std::make_unique<TX11Backend>();
    x11 = backend.get();
    SetDisplayBackend(std::move(backend));
  } catch (const EDisplayError& e) {
    state.SkipWithError(e.Message().c_str());
    return;
  }
  HWND top = MakeWindows();
  TMsg m;
  for (auto _ : state) {
    RedrawWindow(top, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PeekMessage(m, 0, 0, 0, PM_REMOVE);  // idle: presents
    x11->Sync();
  }
  ResetWindowSystem();
  SetDisplayBackend(nullptr);
}
BENCHMARK(BM_FullWindowPaintShownOnX11)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
