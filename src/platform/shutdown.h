#pragma once
// SIGTERM and SIGINT end the program cleanly: outputs off, port closed, files
// closed, no questions. The signal only raises a flag; the window thread polls it
// and runs the hooks, since nothing serial or file-related is safe in a handler.
#include <functional>

namespace platform {

// Installs the SIGTERM/SIGINT handlers.
void InstallShutdownSignals();
// True once a termination signal arrived.
bool ShutdownRequested();
// Raises the flag as a signal would (tests, the program's own exit path).
void RequestShutdown();
// Adds a step to run on shutdown; steps run in the order added, once.
void AddShutdownHook(std::function<void()> hook);
// Runs the hooks (only the first call does anything).
void RunShutdownHooks();
// Forgets the hooks and the flag (tests).
void ResetShutdown();

}  // namespace platform
