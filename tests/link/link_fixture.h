#pragma once
// A program folder with the simulated instrument on COM4.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include "link/comm_port.h"
#include "link/device_frame.h"
#include "link/device_io.h"
#include "storage/shared_state.h"
#include "support/sim_harness.h"
#include "support/temp_folder.h"

namespace linktest {

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    storage::ResetSharedState();
    storage::Shared().Serial_COM = 4;
    devlink::SetInstrumentPort(0);
  }
  void TearDown() override {
    devlink::CommCloseAll();
    devlink::SetInstrumentPort(0);
  }
  int32_t OpenCom(int com) {
    return devlink::CommOpen(com, "COM" + std::to_string(com), devlink::kInstrumentSettings);
  }

  testsupport::TempProgramFolder folder_;
  testsupport::SimHarness sim_{4};
  // Replies scripted by register instead of the instrument's own (an empty reply is silence).
  void Script(std::map<int, std::string> replies) {
    sim_->SetIntercept([replies](const std::array<uint8_t, 5>& f, std::string& reply) {
      auto it = replies.find(f[2]);
      if (it == replies.end()) return false;
      reply = it->second;
      return true;
    });
  }
};

inline double SecondsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}
inline const std::string& LastProc() { return devlink::LastCommError().Comm_Error_Proc; }

}  // namespace linktest
