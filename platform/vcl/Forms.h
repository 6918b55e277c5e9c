// The application object: program name, termination, the message queue and the default error display.
// The window system plugs its message loop in through SetMessagePump; until then the queue holds
// posted callbacks only.
#pragma once

#include <deque>
#include <functional>
#include <memory>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Exceptions.h"
#include "platform/vcl/Classes.h"

// What the window system provides to the application's loop.
struct TMessagePump {
  // Handles one pending message; false when none was pending. Must be cheap when none is.
  std::function<bool()> ProcessOne;
  // Blocks until a message may be pending (input, timer, posted message).
  std::function<void()> WaitMessage;
};

class TApplication : public TComponent {
public:
  TApplication() : TComponent(nullptr) {}

  AnsiString ExeName() const;  // the program file, ParamStr(0)
  const AnsiString& Title() const { return FTitle; }
  void SetTitle(const AnsiString& t) { FTitle = t; }

  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  // Clears the terminated flag, for tests and for a second run.
  void ResetTerminated() { FTerminated = false; }

  // Queues fn to run from the loop; with a target it is dropped if the target is freed first.
  void PostCallback(std::function<void()> fn, const TComponent* target = nullptr);
  // Runs what is pending now and returns; costs next to nothing when nothing is.
  void ProcessMessages();
  // Handles one message, waiting for one when none is pending and a pump is set; exceptions go to
  // HandleException.
  void HandleMessage();
  // The loop: handles messages until Terminate. Without a pump it ends when the queue is empty.
  void Run();
  bool HasPending() const { return !FQueue.empty(); }

  void SetMessagePump(TMessagePump pump) { FPump = std::move(pump); }
  const TMessagePump& MessagePump() const { return FPump; }

  // The default error handling of the loop: OnException when set, else ShowException; EAbort is quiet.
  void HandleException(const Exception& e);
  // Handles the exception being handled now (call inside a catch block); non-Exception errors too.
  void HandleCurrentException();
  void ShowException(const Exception& e);
  std::function<void(const Exception&)> OnException;
  // Where ShowException shows the message and the title: stderr until the window system replaces it.
  using TExceptionDisplay = std::function<void(const AnsiString& message, const AnsiString& title)>;
  void SetExceptionDisplay(TExceptionDisplay display) { FExceptionDisplay = std::move(display); }

private:
  struct TPosted {
    std::function<void()> Fn;
    std::weak_ptr<const void> Target;
    bool HasTarget = false;
  };
  bool processOne();

  AnsiString FTitle;
  bool FTerminated = false;
  std::deque<TPosted> FQueue;
  TMessagePump FPump;
  TExceptionDisplay FExceptionDisplay;
};

// The one application object of the process, made on first use.
TApplication& Application();
