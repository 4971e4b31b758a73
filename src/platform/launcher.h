#pragma once
// Starting other programs. The original opened files, folders and pictures with
// "explorer", "notepad" and "mspaint", and restarted itself with "/run"; here the
// first three become xdg-open and the restart executes our own binary.
#include <functional>
#include <string>
#include <vector>

namespace platform {

class Launcher {
 public:
  virtual ~Launcher() = default;
  // Runs a command line as the program wrote it ("explorer X", "explorer /select,X",
  // "notepad X", "mspaint X"); returns false when nothing could open it.
  virtual bool Shell(const std::string& command_line) = 0;
  // Opens a document (a help file, a web page) with the desktop's viewer; false when
  // nothing could open it.
  virtual bool Open(const std::string& target) = 0;
  // Starts a new instance of this program with `argument` (such as "/run"),
  // keeping the program folder. True when it was started beside this process, which
  // the caller then ends; the system launcher starts it in this process's place and
  // comes back only when that failed (false).
  virtual bool StartSelf(const std::string& argument) = 0;
};

// Starts detached processes: xdg-open for documents. StartSelf replaces this process
// with our executable, so whoever waits for the program (a terminal, a script that
// serves it a simulated instrument) goes on waiting for the new instance. xdg-open is
// given a short while to fail (no file, no program for the type, no
// desktop): it says so within a few hundred milliseconds. Some desktops leave it
// running until the viewer closes, so one still running then has opened the document.
class SystemLauncher final : public Launcher {
 public:
  bool Shell(const std::string& command_line) override;
  bool Open(const std::string& target) override;
  bool StartSelf(const std::string& argument) override;
};

// Records what would have been started (tests).
class RecordingLauncher final : public Launcher {
 public:
  bool Shell(const std::string& command_line) override;
  bool Open(const std::string& target) override;
  bool StartSelf(const std::string& argument) override;
  std::vector<std::string> calls;  // "shell: ...", "open: ...", "self: ..."
  // Answers as a machine where nothing can be started (no file opener).
  bool refuse = false;
};

// Replaces this process with `args` (the program and its arguments), handing on no
// descriptor but the standard three; comes back only when that failed.
void ReplaceProcess(const std::vector<std::string>& args);

// How a "explorer"/"notepad"/"mspaint" command line maps onto what xdg-open is given;
// empty when the command is not one we know.
std::string ShellTarget(const std::string& command_line);

Launcher& GetLauncher();
void SetLauncher(Launcher* launcher);  // nullptr restores the system launcher

// Runs while SystemLauncher waits for xdg-open's verdict, so the windows still paint.
void SetLaunchWaitHook(std::function<void()> hook);

// Shell and Open through GetLauncher(); when nothing could open the target, the user
// is shown `message` (what it is and where it lies) to find it by hand.
bool ShellOrSay(const std::string& command_line, const std::string& message);
bool OpenOrSay(const std::string& target, const std::string& message);

}  // namespace platform
