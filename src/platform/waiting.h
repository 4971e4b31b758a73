#pragma once
// Work on the window thread that waits for the instrument lets the windows run
// meanwhile. It installs a function (WaitHook) that runs their pending events and
// answers whether the work goes on. While one is installed, serial reads call it at
// least every kWaitSliceMs of their waiting and Wait() pauses in such slices; once it
// has answered no, the waits end early: the work was stopped. What those events run
// (another window's handler) waits plainly, and finds the serial port of a read that
// is letting them run busy: its frames cannot get between a frame and its reply.
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
  std::function<bool()> keep_going_;
  WaitHook* previous_;
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
// Sleeps `ms` through the process clock, calling KeepWaiting after each slice (once
// for 0); false, at once, when it said stop.
bool Wait(int64_t ms);

}  // namespace platform
