#include "platform/program_folder.h"

#include <cstdlib>
#include <system_error>

namespace platform {

namespace {
std::filesystem::path g_exe;
std::filesystem::path g_override;
}  // namespace

void InitProgramFolder(const char* argv0) {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) {
    exe = argv0 ? std::filesystem::absolute(argv0, ec) : std::filesystem::path();
  }
  g_exe = exe;
}

std::filesystem::path ExecutablePath() { return g_exe; }

std::filesystem::path ProgramFolder() {
  if (!g_override.empty()) return g_override;
  if (const char* home = std::getenv("QUENLAR_HOME"); home && *home) {
    std::filesystem::path p(home);
    if (p.has_filename() == false && p.has_parent_path()) p = p.parent_path();
    return p;
  }
  if (!g_exe.empty()) return g_exe.parent_path();
  std::error_code ec;
  return std::filesystem::current_path(ec);
}

void SetProgramFolder(const std::filesystem::path& folder) { g_override = folder; }

}  // namespace platform
