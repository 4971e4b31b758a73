#include "platform/launcher.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

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

// Double fork so the child is adopted by init and never left as a zombie.
bool SpawnDetached(const std::vector<std::string>& args) {
  if (args.empty()) return false;
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    setsid();
    pid_t inner = 0;
    const int rc = posix_spawnp(&inner, argv[0], nullptr, nullptr, argv.data(), environ);
    _exit(rc == 0 ? 0 : 127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

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
  return SpawnDetached({"xdg-open", target});
}

bool SystemLauncher::StartSelf(const std::string& argument) {
  const auto exe = ExecutablePath();
  if (exe.empty()) return false;
  // The new instance must find the same program folder even when it came from QUENLAR_HOME.
  setenv("QUENLAR_HOME", ProgramFolder().c_str(), 1);
  return SpawnDetached({exe.string(), argument});
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

}  // namespace platform
