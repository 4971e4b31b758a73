#pragma once
// Starting other programs. The original opened files, folders and pictures with
// "explorer", "notepad" and "mspaint", and restarted itself with "/run"; here the
// first three become xdg-open and the restart executes our own binary.
#include <string>
#include <vector>

namespace platform {

class Launcher {
 public:
  virtual ~Launcher() = default;
  // Runs a command line as the program wrote it ("explorer X", "explorer /select,X",
  // "notepad X", "mspaint X"); returns false when nothing could be started.
  virtual bool Shell(const std::string& command_line) = 0;
  // Opens a document (a help file, a web page) with the desktop's viewer.
  virtual bool Open(const std::string& target) = 0;
  // Starts a new instance of this program with `argument` (such as "/run"),
  // keeping the program folder.
  virtual bool StartSelf(const std::string& argument) = 0;
};

// Starts detached processes: xdg-open for documents, our executable for StartSelf.
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

// How a "explorer"/"notepad"/"mspaint" command line maps onto what xdg-open is given;
// empty when the command is not one we know.
std::string ShellTarget(const std::string& command_line);

Launcher& GetLauncher();
void SetLauncher(Launcher* launcher);  // nullptr restores the system launcher

}  // namespace platform
