// A private X server for one test: Xvfb on a display number it picks itself, and the X tools
// run against it while the window system keeps pumping.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>

#include "platform/rtl/Ticks.h"

// Waits for a child up to ms, then kills it: a stuck child must not hang the test run.
inline void WaitOrKill(pid_t pid, int ms = 5000, bool group = false) {
  const uint64_t deadline = GetTickCount64() + static_cast<uint64_t>(ms);
  for (;;) {
    const pid_t got = waitpid(pid, nullptr, WNOHANG);
    if (got == pid || (got < 0 && errno != EINTR)) return;
    if (GetTickCount64() >= deadline) break;
    usleep(5000);
  }
  kill(group ? -pid : pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

inline bool ToolInstalled(const char* name) {
  return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

class TXvfb {
public:
  // Starts the server and waits until it takes connections; Display() is empty on failure.
  TXvfb() {
    int fds[2];
    if (pipe(fds) != 0) return;
    FPid = fork();
    if (FPid == 0) {
      // A test that dies without its destructor still takes its server along.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      close(fds[0]);
      int null = open("/dev/null", O_RDWR);
      dup2(null, 1);
      dup2(null, 2);
      std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "1024x768x24",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // The server writes its number once it is ready.
    std::string number;
    uint64_t deadline = GetTickCount64() + 15000;
    for (;;) {
      uint64_t now = GetTickCount64();
      if (now >= deadline) break;
      pollfd p{fds[0], POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(deadline - now)) <= 0) break;
      char c;
      if (read(fds[0], &c, 1) != 1 || c == '\n') break;
      number += c;
    }
    close(fds[0]);
    if (!number.empty()) FDisplay = ":" + number;
  }
  ~TXvfb() {
    StopWindowManager();
    if (FPid > 0) {
      kill(FPid, SIGTERM);
      WaitOrKill(FPid);
    }
  }
  TXvfb(const TXvfb&) = delete;
  TXvfb& operator=(const TXvfb&) = delete;

  const std::string& Display() const { return FDisplay; }

  // Starts openbox on this display without waiting for it; true when it could be started.
  bool StartWindowManager() {
    if (!ToolInstalled("openbox")) return false;
    FManager = fork();
    if (FManager == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      int null = open("/dev/null", O_RDWR);
      dup2(null, 1);
      dup2(null, 2);
      setenv("DISPLAY", FDisplay.c_str(), 1);
      execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
      _exit(127);
    }
    return FManager > 0;
  }
  void StopWindowManager() {
    if (FManager <= 0) return;
    kill(FManager, SIGTERM);
    WaitOrKill(FManager);
    FManager = -1;
  }

  // Runs a shell command with this display; pump runs while it does, so that we can answer it.
  // Returns its standard output.
  std::string Run(const std::string& command, const std::function<void()>& pump, int* status = nullptr) const {
    const std::string full = "export DISPLAY=" + FDisplay + "; " + command;
    int fds[2];
    if (pipe(fds) != 0) return {};
    // In a process group of its own, so that a tool that hangs is killed with its shell.
    const pid_t pid = fork();
    if (pid == 0) {
      setpgid(0, 0);
      close(fds[0]);
      dup2(fds[1], 1);
      close(fds[1]);
      execl("/bin/sh", "sh", "-c", full.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
      close(fds[0]);
      return {};
    }
    setpgid(pid, pid);
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    std::string out;
    const uint64_t deadline = GetTickCount64() + 10000;
    bool ended = false;
    while (GetTickCount64() < deadline) {
      pump();
      pollfd p{fds[0], POLLIN, 0};
      poll(&p, 1, 10);
      char buf[256];
      const ssize_t n = read(fds[0], buf, sizeof buf);
      if (n > 0) out.append(buf, static_cast<size_t>(n));
      else if (n == 0) {
        ended = true;
        break;
      }
    }
    close(fds[0]);
    int rc = -1;
    if (!ended) kill(-pid, SIGKILL);
    while (waitpid(pid, &rc, 0) < 0 && errno == EINTR) {
    }
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
  }

private:
  pid_t FPid = -1;
  pid_t FManager = -1;
  std::string FDisplay;
};

// Pumps until done() or the time runs out; true when done.
inline bool PumpUntil(const std::function<bool()>& done, const std::function<void()>& pump, int ms = 15000) {
  uint64_t deadline = GetTickCount64() + static_cast<uint64_t>(ms);
  while (!done()) {
    if (GetTickCount64() >= deadline) return false;
    pump();
    usleep(2000);
  }
  return true;
}
