// A split request over a fresh folder tree, with the timer pool it reports through and the
// message boxes collected, for the tests that send files down the whole road.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "TempDir.h"
#include "controls/ctlTimerPool.h"
#include "core/uSplitRequest.h"
#include "framework/base/uMessageDialog.h"
#include "platform/win/Windows.h"

// Runs a shell command with its output dropped; answers its exit status, -1 when it did not exit.
inline int Shell(const std::string& command) {
  const int rc = std::system((command + " >/dev/null 2>&1").c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// Quoted for the shell.
inline std::string Q(const std::string& s) { return "'" + s + "'"; }

class SplitRoadTest : public ::testing::Test {
protected:
  // Airline 074 and agent 1234567 chosen; no password.
  void SetUp() override {
    ResetWindowSystem();
    pool = std::make_unique<TCtlTimerPool>();
    poolVar = pool.get();
    for (const char* f : {"Working", "Processd", "Unzipped", "Outbound"})
      std::filesystem::create_directory(dir.path + f);
    request.SetWorkingFolder(dir.path + "Working");
    request.SetProcessdFolder(dir.path + "Processd");
    request.SetUnzippedFolder(dir.path + "Unzipped");
    request.SetOutboundFolder(dir.path + "Outbound");
    request.SetTacnLines(&tacns);
    request.SetAgtnLines(&agtns);
    request.SetTimerPool(&poolVar);
    tacns.Clear();
    agtns.Clear();
    tacns.Add("74");
    agtns.Add("1234567");
    SetCollectMessages(true);
    ClearCollectedMessages();
  }
  void TearDown() override {
    ClearCollectedMessages();
    SetCollectMessages(false);
    pool.reset();
    ResetWindowSystem();
  }
  // The file dialog of the next split answers this one file.
  void Choose(const std::string& file) {
    request.ChooseFiles = [file](TSplitFileDialog& d) {
      d.Files = {file};
      return true;
    };
  }

  TempDir dir;
  std::unique_ptr<TCtlTimerPool> pool;
  TCtlTimerPool* poolVar = nullptr;
  TStringList tacns;
  TStringList agtns;
  TCtlTextFileViewer viewer;
  TSplitRequest request{viewer};
};
