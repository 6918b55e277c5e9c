#include "platform/vcl/Forms.h"

#include <cstdio>

#include "platform/rtl/Files.h"

AnsiString TApplication::ExeName() const { return ParamStr(0); }

void TApplication::PostCallback(std::function<void()> fn, const TComponent* target) {
  TPosted p;
  p.Fn = std::move(fn);
  if (target) {
    p.Target = target->Liveness();
    p.HasTarget = true;
  }
  FQueue.push_back(std::move(p));
}

bool TApplication::processOne() {
  while (!FQueue.empty()) {
    TPosted p = std::move(FQueue.front());
    FQueue.pop_front();
    if (p.HasTarget && p.Target.expired()) continue;
    if (p.Fn) p.Fn();
    return true;
  }
  return FPump.ProcessOne && FPump.ProcessOne();
}

void TApplication::ProcessMessages() {
  if (FQueue.empty() && !FPump.ProcessOne) return;
  // Only what was queued on entry: a callback that posts itself again waits for the next call.
  std::size_t budget = FQueue.size();
  while (budget > 0 && !FQueue.empty()) {
    --budget;
    TPosted p = std::move(FQueue.front());
    FQueue.pop_front();
    if (p.HasTarget && p.Target.expired()) continue;
    if (p.Fn) p.Fn();
  }
  if (FPump.ProcessOne)
    while (FPump.ProcessOne()) {
    }
}

void TApplication::HandleMessage() {
  try {
    if (!processOne() && FPump.WaitMessage && !FTerminated) FPump.WaitMessage();
  } catch (...) {
    HandleCurrentException();
  }
}

void TApplication::Run() {
  while (!FTerminated) {
    if (!FPump.WaitMessage && FQueue.empty()) {
      // Nothing can arrive without a pump; the loop would never end.
      bool handled = false;
      try {
        handled = FPump.ProcessOne && FPump.ProcessOne();
      } catch (...) {
        HandleCurrentException();
        handled = true;
      }
      if (!handled) break;
      continue;
    }
    HandleMessage();
  }
}

void TApplication::HandleException(const Exception& e) {
  if (dynamic_cast<const EAbort*>(&e)) return;
  if (OnException) OnException(e);
  else ShowException(e);
}

void TApplication::HandleCurrentException() {
  try {
    throw;
  } catch (const Exception& e) {
    HandleException(e);
  } catch (const std::exception& e) {
    HandleException(Exception(e.what()));
  } catch (...) {
    HandleException(Exception("Unknown error"));
  }
}

void TApplication::ShowException(const Exception& e) {
  AnsiString msg = e.Message();
  // The message box ends a sentence with a period.
  if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.') msg += '.';
  AnsiString title = FTitle.empty() ? ChangeFileExt(ExtractFileName(ExeName()), "") : FTitle;
  if (FExceptionDisplay) FExceptionDisplay(msg, title);
  else std::fprintf(stderr, "%s: %s\n", title.c_str(), msg.c_str());
}

TApplication& Application() {
  static TApplication app;
  return app;
}
