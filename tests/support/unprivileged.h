#pragma once
// Work that folder permissions must stop, run where they hold: root passes them all,
// so under root `work` runs in a child process as the user nobody, `tree` given to
// that user first. What `work` returns comes back as text; nullopt when the rights
// could not be dropped (the caller says the check was skipped). A child that does not
// end within the bound is killed and reported as such.
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace testsupport {

inline std::optional<std::string> AsUnprivileged(const std::filesystem::path& tree,
                                                 const std::function<std::string()>& work) {
  constexpr uid_t kNobody = 65534;
  constexpr int kCannotDrop = 77;
  int out[2];
  if (pipe(out) != 0) return "no pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    close(out[0]);
    if (geteuid() == 0) {
      bool given = lchown(tree.c_str(), kNobody, kNobody) == 0;
      std::error_code ec;
      for (std::filesystem::recursive_directory_iterator it(tree, ec), end; given && it != end;
           it.increment(ec))
        given = lchown(it->path().c_str(), kNobody, kNobody) == 0;
      if (!given || setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
          setresuid(kNobody, kNobody, kNobody) != 0 || geteuid() == 0)
        _exit(kCannotDrop);
    }
    const std::string result = work();
    for (size_t done = 0; done < result.size();) {
      const ssize_t n = write(out[1], result.data() + done, result.size() - done);
      if (n <= 0) _exit(1);
      done += static_cast<size_t>(n);
    }
    _exit(0);
  }
  close(out[1]);
  if (pid < 0) {
    close(out[0]);
    return "no child";
  }
  std::string result;
  bool timed_out = false;
  for (;;) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 30000) <= 0) {
      timed_out = true;
      kill(pid, SIGKILL);
      break;
    }
    char chunk[4096];
    const ssize_t n = read(out[0], chunk, sizeof chunk);
    if (n <= 0) break;
    result.append(chunk, static_cast<size_t>(n));
  }
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (timed_out) return "the unprivileged work did not end";
  if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotDrop) return std::nullopt;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the unprivileged work failed";
  return result;
}

}  // namespace testsupport
