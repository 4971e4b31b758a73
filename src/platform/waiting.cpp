#include "platform/waiting.h"

#include <algorithm>
#include <utility>

#include "platform/clock.h"

namespace platform {

namespace {
WaitHook* g_hook = nullptr;
}  // namespace

WaitHook::WaitHook(std::function<bool()> keep_going)
    : keep_going_(std::move(keep_going)), previous_(g_hook) {
  g_hook = this;
}

WaitHook::~WaitHook() { g_hook = previous_; }

bool WaitHookActive() { return g_hook && !g_hook->running_; }

bool KeepWaiting() {
  if (!WaitHookActive()) return true;
  if (g_hook->stopped_) return false;
  WaitHook* hook = g_hook;
  hook->running_ = true;
  const bool keep = hook->keep_going_();
  hook->running_ = false;
  hook->stopped_ = !keep;
  return keep;
}

bool WaitStopped() { return g_hook && g_hook->stopped_; }

bool Wait(int64_t ms) {
  if (!WaitHookActive()) {
    Sleep(ms);
    return true;
  }
  do {
    const int64_t slice = std::min<int64_t>(ms, kWaitSliceMs);
    Sleep(slice);
    ms -= slice;
    if (!KeepWaiting()) return false;
  } while (ms > 0);
  return true;
}

}  // namespace platform
