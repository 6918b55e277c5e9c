#include "platform/win/Hooks.h"

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

namespace {

struct THookRec {
  HHOOK Handle = 0;
  int Kind = 0;
  uint32_t Thread = 0;
  HOOKPROC Proc;
  bool Removed = false;
};

struct THookState {
  // Newest first; shared so that a hook removed while it runs stays alive until it returns.
  std::vector<std::shared_ptr<THookRec>> Chain;
  HHOOK Next = 0x30000;
};

THookState& Hooks() {
  static THookState s;
  return s;
}

LRESULT RunFrom(size_t start, int kind, int code, WPARAM wp, LPARAM lp) {
  uint32_t me = GetCurrentThreadId();
  auto chain = Hooks().Chain;
  for (size_t i = start; i < chain.size(); ++i) {
    auto& h = chain[i];
    if (h->Removed || h->Kind != kind || h->Thread != me) continue;
    auto keep = h;
    return keep->Proc(code, wp, lp);
  }
  return 0;
}

}  // namespace

uint32_t GetCurrentThreadId() {
  return static_cast<uint32_t>(std::hash<std::thread::id>{}(std::this_thread::get_id()) & 0x7FFFFFFF) | 1;
}

HHOOK SetWindowsHookEx(int idHook, HOOKPROC proc, uint32_t threadId) {
  if (!proc || (idHook != WH_GETMESSAGE && idHook != WH_CALLWNDPROC && idHook != WH_CBT)) return 0;
  auto rec = std::make_shared<THookRec>();
  rec->Handle = Hooks().Next++;
  rec->Kind = idHook;
  rec->Thread = threadId ? threadId : GetCurrentThreadId();
  rec->Proc = std::move(proc);
  Hooks().Chain.insert(Hooks().Chain.begin(), rec);
  return rec->Handle;
}

bool UnhookWindowsHookEx(HHOOK hook) {
  auto& c = Hooks().Chain;
  auto it = std::find_if(c.begin(), c.end(), [&](auto& h) { return h->Handle == hook; });
  if (it == c.end()) return false;
  (*it)->Removed = true;
  c.erase(it);
  return true;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wp, LPARAM lp) {
  auto& c = Hooks().Chain;
  auto it = std::find_if(c.begin(), c.end(), [&](auto& h) { return h->Handle == hook; });
  if (it == c.end()) return 0;
  return RunFrom(size_t(it - c.begin()) + 1, (*it)->Kind, code, wp, lp);
}

LRESULT CallHookChain(int idHook, int code, WPARAM wp, LPARAM lp) {
  if (!HasHooks(idHook)) return 0;
  return RunFrom(0, idHook, code, wp, lp);
}

bool HasHooks(int idHook) {
  for (auto& h : Hooks().Chain)
    if (h->Kind == idHook) return true;
  return false;
}

void ResetHooks() {
  for (auto& h : Hooks().Chain) h->Removed = true;
  Hooks().Chain.clear();
}
