#include "platform/shutdown.h"

#include <atomic>
#include <csignal>
#include <vector>

namespace platform {

namespace {
std::atomic<bool> g_requested{false};
bool g_ran = false;
std::vector<std::function<void()>>& Hooks() {
  static std::vector<std::function<void()>> hooks;
  return hooks;
}
extern "C" void OnTerminate(int) { g_requested.store(true); }
}  // namespace

void InstallShutdownSignals() {
  struct sigaction sa {};
  sa.sa_handler = OnTerminate;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
}

bool ShutdownRequested() { return g_requested.load(); }
void RequestShutdown() { g_requested.store(true); }
void AddShutdownHook(std::function<void()> hook) { Hooks().push_back(std::move(hook)); }

void RunShutdownHooks() {
  if (g_ran) return;
  g_ran = true;
  for (auto& hook : Hooks()) {
    if (hook) hook();
  }
}

void ResetShutdown() {
  Hooks().clear();
  g_ran = false;
  g_requested.store(false);
}

}  // namespace platform
