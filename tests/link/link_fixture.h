#pragma once
// A program folder with the simulated instrument on COM4, and a bare pseudo-terminal
// on COM5 whose replies a test writes byte by byte.
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "link/comm_port.h"
#include "link/device_io.h"
#include "storage/shared_state.h"
#include "support/sim_harness.h"
#include "support/temp_folder.h"

namespace linktest {

// A pseudo-terminal linked as ports/COM<com>; the test plays the instrument.
class ScriptedLine {
 public:
  ScriptedLine(const std::filesystem::path& home, int com) {
    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
      ADD_FAILURE() << "openpty failed";
      return;
    }
    termios t{};
    ::tcgetattr(slave_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave_, TCSANOW, &t);
    std::filesystem::create_directories(home / "ports");
    std::filesystem::create_symlink(::ttyname(slave_), home / "ports" / ("COM" + std::to_string(com)));
  }
  ~ScriptedLine() {
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
  }
  // Queues bytes for the program to read.
  void Reply(const std::string& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // What the program sent, as far as it has arrived.
  std::string Sent() {
    std::string out;
    char buf[256];
    for (;;) {
      fd_set set;
      FD_ZERO(&set);
      FD_SET(master_, &set);
      timeval tv{0, 20000};
      if (::select(master_ + 1, &set, nullptr, nullptr, &tv) <= 0) break;
      ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, static_cast<size_t>(n));
    }
    return out;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
};

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
  int32_t OpenCom4() { return devlink::CommOpen(4, "COM4", devlink::kInstrumentSettings); }

  testsupport::TempProgramFolder folder_;
  testsupport::SimHarness sim_{4};
};

inline double SecondsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace linktest
