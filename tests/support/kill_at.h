#pragma once
// A real kill at a chosen point of a save.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace testsupport {

// Runs `save` in a child process with a step that SIGKILLs the child the `kill_at`-th
// time it runs (0 is the first); true when the child died by that kill.
inline bool KilledAt(int kill_at, const std::function<void(const std::function<void()>&)>& save) {
  const pid_t pid = fork();
  if (pid == 0) {
    save([&, step = 0]() mutable {
      if (step++ == kill_at) raise(SIGKILL);
    });
    _exit(0);
  }
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFSIGNALED(status) &&
         WTERMSIG(status) == SIGKILL;
}

}  // namespace testsupport
