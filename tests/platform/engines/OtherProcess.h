// A second process on the same table files, for tests of sharing.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

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
