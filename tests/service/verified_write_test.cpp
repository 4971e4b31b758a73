// The one verified register write with its presets: which reply counts, the passes,
// the resynchronising frames, the pauses and the purge, on a scripted port.
#include "acquisition/verified_write.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/clock.h"

namespace {

// Answers each query from a script of replies (-1 = nothing came); logs the frames
// with the manual time they were sent at.
class ScriptedPort final : public acquisition::InstrumentIo {
 public:
  explicit ScriptedPort(platform::ManualClock& clock) : clock_(clock) {}
  void Flush() override { log.push_back("flush@" + std::to_string(clock_.MonotonicMs())); }
  int DiscardInput(int) override { return 0; }
  int Write(const std::string& b) override { return int(b.size()); }
  int Read(std::string& d, int) override {
    d.clear();
    return 0;
  }
  bool DeviceWrite(int, int, int) override { return false; }
  int DeviceQuery(int reg, int value, int mode) override {
    if (reg < 0 || reg > 255 || value < 0 || value > 255) return -1;  // nothing sent
    const bool write = (mode & 0x80) != 0;
    if (write)
      ++writes;
    else
      log.push_back("resync " + std::to_string(mode) + "@" + std::to_string(clock_.MonotonicMs()));
    if (!write) return 0x55;
    return reply ? reply(writes) : -1;
  }
  std::function<int(int n)> reply;  // reply to the n-th write frame (1-based)
  std::vector<std::string> log;
  int writes = 0;

 private:
  platform::ManualClock& clock_;
};

class VerifiedWriteTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetClock(&clock_); }
  void TearDown() override { platform::SetClock(nullptr); }
  platform::ManualClock clock_;
  ScriptedPort port_{clock_};
};

TEST_F(VerifiedWriteTest, PassesPausesAndResyncOfEachPreset) {
  const auto& service = acquisition::kServiceWritePasses;
  const auto& channel = acquisition::kChannelWritePasses;
  struct Case {
    const char* name;
    const acquisition::WritePasses* passes;
    std::function<int(int)> reply;
    bool ok;
    int writes;
    int64_t ms;
    std::vector<std::string> log;
  };
  const int reg = 203;
  const Case cases[] = {
      {"ninth echo after eight silences",
       &service,
       [](int n) { return n == 9 ? reg : -1; },
       true,
       9,
       0,
       {}},
      {"eight echoes, then a wrong ninth",
       &service,
       [](int n) { return n < 9     ? reg
                          : n == 18 ? reg
                                    : 0; },
       true,
       18,
       650,
       {"resync 0@100"}},
      {"service preset never echoed",
       &service,
       [](int) { return 0; },
       false,
       27,
       1300,
       {"resync 0@100", "resync 0@750"}},
      {"channel preset confirmed in the last pass",
       &channel,
       [](int n) { return n == 36 ? reg : -1; },
       true,
       36,
       3600,
       {"resync 0@150", "resync 0@1350", "flush@2400", "resync 0@2550"}},
      {"channel preset never echoed",
       &channel,
       [](int) { return -1; },
       false,
       36,
       3600,
       {"resync 0@150", "resync 0@1350", "flush@2400", "resync 0@2550"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPort port(clock_);
    port.reply = c.reply;
    const int64_t t0 = clock_.MonotonicMs();
    EXPECT_EQ(acquisition::WriteVerified(port, reg, 26, 0x80, *c.passes), c.ok);
    EXPECT_EQ(port.writes, c.writes);
    EXPECT_EQ(clock_.MonotonicMs() - t0, c.ms);
    std::vector<std::string> log;
    for (const auto& e : port.log) {
      const auto at = e.find('@');
      log.push_back(e.substr(0, at + 1) + std::to_string(std::stoll(e.substr(at + 1)) - t0));
    }
    EXPECT_EQ(log, c.log);
  }
}

TEST_F(VerifiedWriteTest, ResyncCarriesTheStationAndRegistersBeyondAByteStillRunThePasses) {
  port_.reply = [](int) { return 72; };
  EXPECT_FALSE(
      acquisition::WriteVerified(port_, 300, 66, 0x82, acquisition::kServiceWritePasses, 2));
  EXPECT_EQ(port_.writes, 0);  // nothing could be sent
  EXPECT_EQ(port_.log, (std::vector<std::string>{"resync 2@100", "resync 2@750"}));
}

}  // namespace
