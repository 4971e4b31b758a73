#include "platform/launcher.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "platform/dialogs.h"
#include "platform/program_folder.h"

extern char** environ;

namespace platform {

namespace {

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

std::string Unquote(std::string s) {
  while (!s.empty() && s.front() == ' ') s.erase(s.begin());
  while (!s.empty() && s.back() == ' ') s.pop_back();
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
  return s;
}

// Failures of xdg-open came within 300 ms on an idle machine; a loaded one gets room.
constexpr int kVerdictMs = 1000;
constexpr int kPollMs = 10;
// close_range's flag (linux/close_range.h): mark the range close-on-exec.
constexpr unsigned kCloseRangeCloexec = 1u << 2;

std::function<void()> g_wait_hook;

// Double fork so the child is adopted by init and never left as a zombie. The middle
// process waits up to `verdict_ms` for the child and passes on a failed exit; a child
// still running then counts as started and is left to init.
bool SpawnDetached(const std::vector<std::string>& args, int verdict_ms) {
  if (args.empty()) return false;
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    setsid();
    pid_t inner = 0;
    if (posix_spawnp(&inner, argv[0], nullptr, nullptr, argv.data(), environ) != 0) _exit(127);
    for (int waited = 0; waited < verdict_ms; waited += kPollMs) {
      int status = 0;
      if (waitpid(inner, &status, WNOHANG) == inner)
        _exit(WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1);
      usleep(kPollMs * 1000);
    }
    _exit(0);
  }
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, verdict_ms > 0 ? WNOHANG : 0);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return false;
    if (done == 0) {
      if (g_wait_hook) g_wait_hook();
      usleep(kPollMs * 1000);
    }
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Every descriptor above standard error closes when the process is replaced: the
// serial port must be free for the new instance's connection, and a display
// connection handed on would keep the old windows on the screen.
void CloseDescriptorsOnExec() {
  if (::syscall(SYS_close_range, 3u, ~0u, kCloseRangeCloexec) == 0) return;
  // Kernels before 5.11: mark what is open, one by one.
  DIR* dir = ::opendir("/proc/self/fd");
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    const int fd = std::atoi(entry->d_name);
    if (fd > 2) ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
  }
  ::closedir(dir);
}

}  // namespace

void ReplaceProcess(const std::vector<std::string>& args) {
  if (args.empty()) return;
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::fflush(nullptr);
  CloseDescriptorsOnExec();
  // The new image inherits the signal mask: it must get SIGTERM and SIGINT as a fresh
  // start does.
  sigset_t none, previous;
  sigemptyset(&none);
  ::pthread_sigmask(SIG_SETMASK, &none, &previous);
  ::execv(argv[0], argv.data());
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

std::string ShellTarget(const std::string& command_line) {
  if (StartsWith(command_line, "explorer /select,")) {
    const std::filesystem::path p(Unquote(command_line.substr(17)));
    return p.parent_path().string();
  }
  for (const char* prog : {"explorer ", "notepad ", "mspaint "}) {
    if (StartsWith(command_line, prog)) return Unquote(command_line.substr(std::string(prog).size()));
  }
  return {};
}

bool SystemLauncher::Shell(const std::string& command_line) {
  const std::string target = ShellTarget(command_line);
  if (target.empty()) return false;
  return Open(target);
}

bool SystemLauncher::Open(const std::string& target) {
  return SpawnDetached({"xdg-open", target}, kVerdictMs);
}

bool SystemLauncher::StartSelf(const std::string& argument) {
  const auto exe = ExecutablePath();
  if (exe.empty()) return false;
  // The new instance must find the same program folder even when it came from QUENLAR_HOME.
  setenv("QUENLAR_HOME", ProgramFolder().c_str(), 1);
  ReplaceProcess({exe.string(), argument});
  return false;
}

bool RecordingLauncher::Shell(const std::string& command_line) {
  calls.push_back("shell: " + command_line);
  return !refuse;
}
bool RecordingLauncher::Open(const std::string& target) {
  calls.push_back("open: " + target);
  return !refuse;
}
bool RecordingLauncher::StartSelf(const std::string& argument) {
  calls.push_back("self: " + argument);
  return !refuse;
}

namespace {
SystemLauncher g_system_launcher;
Launcher* g_launcher = &g_system_launcher;
}  // namespace

Launcher& GetLauncher() { return *g_launcher; }
void SetLauncher(Launcher* launcher) { g_launcher = launcher ? launcher : &g_system_launcher; }

void SetLaunchWaitHook(std::function<void()> hook) { g_wait_hook = std::move(hook); }

bool ShellOrSay(const std::string& command_line, const std::string& message) {
  if (GetLauncher().Shell(command_line)) return true;
  GetDialogs().MsgBox(message);
  return false;
}

bool OpenOrSay(const std::string& target, const std::string& message) {
  if (GetLauncher().Open(target)) return true;
  GetDialogs().MsgBox(message);
  return false;
}

}  // namespace platform
