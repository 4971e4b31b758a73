#include "platform/waiting.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <utility>

#include "platform/clock.h"

namespace platform {

namespace {

WaitHook* g_hook = nullptr;

struct Turn {
  std::function<void()> run;
  const void* owner;
};
std::deque<Turn> g_turns;
bool g_running_turns = false;
void (*g_notify)() = nullptr;

int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void NotifyFree() {
  if (!g_hook && !g_turns.empty() && g_notify) g_notify();
}

}  // namespace

WaitHook::WaitHook(std::function<bool()> keep_going)
    : keep_going_(std::move(keep_going)), previous_(g_hook), last_run_ms_(SteadyMs()) {
  g_hook = this;
}

WaitHook::~WaitHook() {
  g_hook = previous_;
  NotifyFree();
}

bool WaitHookActive() { return g_hook && !g_hook->running_; }

bool KeepWaiting() {
  if (!WaitHookActive()) return true;
  if (g_hook->stopped_) return false;
  WaitHook* hook = g_hook;
  hook->running_ = true;
  const bool keep = hook->keep_going_();
  hook->running_ = false;
  hook->last_run_ms_ = SteadyMs();
  hook->stopped_ = !keep;
  return keep;
}

bool WaitStopped() { return g_hook && g_hook->stopped_; }

int64_t MsUntilWaitHookDue() {
  if (!WaitHookActive()) return -1;
  return std::max<int64_t>(0, g_hook->last_run_ms_ + kWaitSliceMs - SteadyMs());
}

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

bool PortHeld() { return g_hook != nullptr; }

bool InsideWait() {
  for (const WaitHook* h = g_hook; h; h = h->previous_)
    if (h->running_) return true;
  return false;
}

void WhenPortFree(std::function<void()> turn, const void* owner) {
  if (!g_hook && g_turns.empty() && !g_running_turns) {
    turn();
    return;
  }
  g_turns.push_back({std::move(turn), owner});
  NotifyFree();
}

bool PortTurnsWaiting() { return !g_turns.empty(); }

void RunPortTurns() {
  // A turn that lets events run may bring this back: the outer loop goes on.
  if (g_running_turns) return;
  g_running_turns = true;
  while (!g_hook && !g_turns.empty()) {
    const Turn turn = std::move(g_turns.front());
    g_turns.pop_front();
    turn.run();
  }
  g_running_turns = false;
}

void DropPortTurns(const void* owner) {
  std::erase_if(g_turns, [owner](const Turn& t) { return t.owner == owner; });
}

void SetPortFreedNotifier(void (*notify)()) { g_notify = notify; }

}  // namespace platform
