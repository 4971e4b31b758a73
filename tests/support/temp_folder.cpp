#include "support/temp_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/program_folder.h"

namespace testsupport {

TempProgramFolder::TempProgramFolder() {
  std::string templ = (std::filesystem::temp_directory_path() / "quenlar-test-XXXXXX").string();
  const char* made = mkdtemp(templ.data());
  path_ = made ? std::filesystem::path(made) : std::filesystem::temp_directory_path();
  platform::SetProgramFolder(path_);
}

TempProgramFolder::~TempProgramFolder() {
  platform::SetProgramFolder({});
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::error_code ec;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::filesystem::path SourceDir() { return QUENLAR_SOURCE_PATH; }

}  // namespace testsupport
