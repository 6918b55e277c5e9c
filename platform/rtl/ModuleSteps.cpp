#include "platform/rtl/ModuleSteps.h"

#include <exception>

#include "platform/rtl/Exceptions.h"

TModuleSteps::~TModuleSteps() {
  try {
    Shutdown();
  } catch (...) {
    // Too late to tell anyone: the program is ending.
  }
}

void TModuleSteps::Add(const AnsiString& name, std::function<void()> startup, std::function<void()> shutdown) {
  if (FRunning || FStarted > 0) throw EInvalidOperation("Cannot add module step %s after start-up", {name});
  if (IndexOf(name) >= 0) throw EInvalidOperation("Module step %s is listed twice", {name});
  FSteps.push_back({name, std::move(startup), std::move(shutdown)});
}

const TModuleStep& TModuleSteps::Steps(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (%d)", {index});
  return FSteps[static_cast<std::size_t>(index)];
}

int TModuleSteps::IndexOf(const AnsiString& name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(FSteps[static_cast<std::size_t>(i)].Name, name)) return i;
  return -1;
}

void TModuleSteps::Startup() {
  if (FRunning || FStarted > 0) throw EInvalidOperation("The modules have already started");
  FRunning = true;
  try {
    for (auto& step : FSteps) {
      if (OnStep) OnStep(step.Name, true);
      if (step.Startup) step.Startup();
      ++FStarted;
    }
  } catch (...) {
    try {
      Shutdown();
    } catch (...) {
      // The start-up error is the one to report.
    }
    throw;
  }
}

void TModuleSteps::Shutdown() {
  std::exception_ptr first;
  while (FStarted > 0) {
    TModuleStep& step = FSteps[static_cast<std::size_t>(--FStarted)];
    try {
      if (OnStep) OnStep(step.Name, false);
      if (step.Shutdown) step.Shutdown();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  FRunning = false;
  if (first) std::rethrow_exception(first);
}
