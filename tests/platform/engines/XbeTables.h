// The engine's entries called directly, and tables opened through them.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "DbfPeer.h"
#include "platform/engines/XbeEntries.h"

#define XBE_ENTRY(kind, result, name, params) extern "C" result name params;
XBE_ENTRIES
#undef XBE_ENTRY

// Collects the engine's error messages.
struct TEngineErrors {
  static std::string& Last() {
    static std::string last;
    return last;
  }
  static void Record(int32_t, const char* message) { Last() = message; }
  TEngineErrors() {
    Last().clear();
    xb_SetErrorFunc(&Record);
  }
  ~TEngineErrors() { xb_SetErrorFunc(nullptr); }
};

// Opens a table shared with CDX orders and closes it with the test.
struct TOpenTable {
  explicit TOpenTable(const std::string& path, int32_t mode = 0) { Area = xb_UseEx(path.c_str(), "", mode, 2, 1); }
  ~TOpenTable() {
    if (Area > 0) {
      xb_Select(Area);
      xb_Close();
    }
  }
  int32_t Area = 0;
};

// Another process working on the same files: body runs in a forked child, which can wait for
// the test's go-ahead and tell the test it has reached a point.
class TOtherProcess {
public:
  explicit TOtherProcess(const std::function<bool(TOtherProcess&)>& body) {
    if (pipe(FToChild) != 0 || pipe(FToParent) != 0) return;
    FPid = fork();
    if (FPid == 0) _exit(body(*this) ? 0 : 1);
  }
  ~TOtherProcess() { Wait(); }
  // In the child: tell the test, then wait for it.
  void Reached() { Send(FToParent[1]); }
  void AwaitGoAhead() { Receive(FToChild[0]); }
  // In the test.
  void AwaitReached() { Receive(FToParent[0]); }
  void GoAhead() { Send(FToChild[1]); }
  // The child's verdict: true when its body answered true.
  bool Wait() {
    if (FPid > 0) {
      int status = -1;
      waitpid(FPid, &status, 0);
      FOk = WIFEXITED(status) && WEXITSTATUS(status) == 0;
      FPid = 0;
    }
    return FOk;
  }

private:
  static void Send(int fd) {
    char c = 1;
    (void)!write(fd, &c, 1);
  }
  static void Receive(int fd) {
    char c = 0;
    (void)!read(fd, &c, 1);
  }
  pid_t FPid = -1;
  bool FOk = false;
  int FToChild[2] = {-1, -1};
  int FToParent[2] = {-1, -1};
};
