#pragma once
// A fresh program folder per test, removed afterwards; installed as the process's
// program folder while it lives.
#include <filesystem>
#include <string>

namespace testsupport {

class TempProgramFolder {
 public:
  TempProgramFolder();
  ~TempProgramFolder();
  TempProgramFolder(const TempProgramFolder&) = delete;
  TempProgramFolder& operator=(const TempProgramFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Whole file as bytes ("" when missing).
std::string ReadBytes(const std::filesystem::path& file);
// Writes bytes exactly (no line-end translation), creating parent folders.
void WriteBytes(const std::filesystem::path& file, const std::string& bytes);
// The source tree (for data/ and fixtures).
std::filesystem::path SourceDir();

}  // namespace testsupport
