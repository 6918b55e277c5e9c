// Window hooks per thread: get-message, call-window and computer-based-training.
#pragma once

#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

// threadId 0 means the calling thread; the hooks run only on the thread they were set for.
HHOOK SetWindowsHookEx(int idHook, HOOKPROC proc, uint32_t threadId = 0);
bool UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wp, LPARAM lp);
uint32_t GetCurrentThreadId();

// Runs the chain of a kind from its newest hook; 0 when none is set.
LRESULT CallHookChain(int idHook, int code, WPARAM wp, LPARAM lp);
bool HasHooks(int idHook);
void ResetHooks();
