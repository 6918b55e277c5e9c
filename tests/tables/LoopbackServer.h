// Starts the Python loopback peer (xbserver.py) on an ephemeral port and stops it at the end.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

class TLoopbackServer {
public:
  explicit TLoopbackServer(std::vector<std::string> args) {
    std::vector<std::string> argv = {"/usr/bin/python3", QUORVEX_SOURCE_DIR "/tests/tables/xbserver.py"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (auto& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.push_back(*e);
    // An engine built with the sanitizers needs their run-times loaded into Python first.
    std::string preload = SanitizerRuntimes();
    if (!preload.empty()) {
      env.push_back("LD_PRELOAD=" + preload);
      env.push_back("ASAN_OPTIONS=detect_leaks=0");
    }
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    if (posix_spawn(&FPid, raw[0], &actions, nullptr, raw.data(), envp.data()) != 0) FPid = 0;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string line;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') line += c;
    close(fds[0]);
    FPort = line.empty() ? 0 : std::stoi(line);
  }
  ~TLoopbackServer() {
    if (FPid > 0) {
      kill(FPid, SIGTERM);
      waitpid(FPid, nullptr, 0);
    }
  }
  TLoopbackServer(const TLoopbackServer&) = delete;
  TLoopbackServer& operator=(const TLoopbackServer&) = delete;
  int Port() const { return FPort; }

private:
  static std::string SanitizerRuntimes() {
    std::ifstream maps("/proc/self/maps");
    std::string line, found;
    for (const char* lib : {"libasan.so", "libubsan.so"}) {
      maps.clear();
      maps.seekg(0);
      while (std::getline(maps, line)) {
        auto at = line.find('/');
        if (at == std::string::npos || line.find(lib) == std::string::npos) continue;
        found += (found.empty() ? "" : ":") + line.substr(at);
        break;
      }
    }
    return found;
  }

  pid_t FPid = 0;
  int FPort = 0;
};
