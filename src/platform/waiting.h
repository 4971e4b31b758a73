#pragma once
// Work on the window thread that waits for the instrument lets the windows run
// meanwhile. It installs a function (WaitHook) that runs their pending events and
// answers whether the work goes on. While one is installed, serial reads call it at
// least every kWaitSliceMs of their waiting, whatever the bytes do, and Wait() pauses
// in such slices; once it has answered no, the waits end early: the work was stopped.
//
// One exchange at a time: the instrument port belongs to the work from its start to
// its end (while its hook is installed), not only inside a read. What its hook runs
// (another window's handler, a timer) finds the port busy, and a command asked for
// meanwhile waits its turn (WhenPortFree): it runs once the work has ended, in the
// order asked, never between the frames of the work.
#include <cstdint>
#include <functional>

namespace platform {

inline constexpr int kWaitSliceMs = 40;

class WaitHook {
 public:
  explicit WaitHook(std::function<bool()> keep_going);
  ~WaitHook();
  WaitHook(const WaitHook&) = delete;
  WaitHook& operator=(const WaitHook&) = delete;

 private:
  friend bool KeepWaiting();
  friend bool WaitStopped();
  friend bool WaitHookActive();
  friend bool InsideWait();
  friend int64_t MsUntilWaitHookDue();
  std::function<bool()> keep_going_;
  WaitHook* previous_;
  int64_t last_run_ms_;  // steady time, not the process clock: it paces the window
  bool running_ = false;
  bool stopped_ = false;
};

// True while a hook is installed and not running: waits then go in slices.
bool WaitHookActive();
// Runs the installed hook: false once it has said that the work stopped. True with
// none installed, and from inside the hook.
bool KeepWaiting();
// The installed hook has said that the work stopped.
bool WaitStopped();
// Milliseconds until the installed hook is due again (0 when it is due now); -1
// without an active hook. Reads run it when due, also while bytes keep coming.
int64_t MsUntilWaitHookDue();
// Sleeps `ms` through the process clock, calling KeepWaiting after each slice (once
// for 0); false, at once, when it said stop.
bool Wait(int64_t ms);

// A work holds the instrument port: a hook is installed.
bool PortHeld();
// A hook is running: what runs now is not the work's own, and may not use the port.
bool InsideWait();

// Runs `turn` now when the port is free and nothing waits for it; otherwise keeps it
// for when the work holding the port has ended, after the turns asked before it.
// `owner` names whose turn it is, so that it can be called off.
void WhenPortFree(std::function<void()> turn, const void* owner = nullptr);
// Turns wait for the port.
bool PortTurnsWaiting();
// Runs the waiting turns in order for as long as the port stays free.
void RunPortTurns();
// Calls off the waiting turns of `owner` (it went away, or its work was called off).
void DropPortTurns(const void* owner);
// `notify` is called when the port becomes free with turns waiting, so that the event
// loop runs them (a null pointer removes it).
void SetPortFreedNotifier(void (*notify)());

}  // namespace platform
