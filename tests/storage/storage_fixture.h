#pragma once
// A fresh program folder, fresh shared state and scripted boxes for each storage test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "storage/shared_state.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

namespace storagetest {

class StorageTest : public ::testing::Test {
 protected:
  StorageTest() {
    storage::ResetSharedState();
    storage::Shared().Project_Path = folder_.path().string();
  }
  ~StorageTest() override { storage::ResetSharedState(); }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  std::string Read(const std::string& name) const { return testsupport::ReadBytes(folder_ / name); }
  void Write(const std::string& name, const std::string& bytes) const {
    testsupport::WriteBytes(folder_ / name, bytes);
  }
  storage::SharedState& S() { return storage::Shared(); }

  testsupport::TempProgramFolder folder_;
  testsupport::ScriptedDialogs dialogs_;
};

// Lines joined with CR LF, each line ended.
inline std::string Crlf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

}  // namespace storagetest
