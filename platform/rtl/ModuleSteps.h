// The program's module start-up and close-down: an explicit ordered list of named steps, run before
// the first form, and closed down in reverse after the message loop. Nothing relies on the order in
// which static objects are made.
#pragma once

#include <functional>
#include <vector>

#include "platform/rtl/AnsiString.h"

struct TModuleStep {
  AnsiString Name;
  std::function<void()> Startup;   // may be empty
  std::function<void()> Shutdown;  // may be empty
};

class TModuleSteps {
public:
  TModuleSteps() = default;
  TModuleSteps(const TModuleSteps&) = delete;
  TModuleSteps& operator=(const TModuleSteps&) = delete;
  // Closes down what was started when Shutdown was not called; errors are swallowed here.
  ~TModuleSteps();

  // Raises EInvalidOperation once the steps have started.
  void Add(const AnsiString& name, std::function<void()> startup, std::function<void()> shutdown = nullptr);
  int Count() const { return static_cast<int>(FSteps.size()); }
  const TModuleStep& Steps(int index) const;
  int IndexOf(const AnsiString& name) const;

  // Runs each start-up step in order. When one raises, the steps already started are closed down
  // in reverse and the error goes on to the caller.
  void Startup();
  // Closes down the started steps in reverse. Every step runs even when one before it raised; the
  // first error is raised again after the last step.
  void Shutdown();
  int StartedCount() const { return FStarted; }

  // Called before each step runs: its name, and true for start-up, false for close-down.
  std::function<void(const AnsiString& name, bool startup)> OnStep;

private:
  std::vector<TModuleStep> FSteps;
  int FStarted = 0;  // steps whose start-up ran to the end
  bool FRunning = false;
};
