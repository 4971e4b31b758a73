// The channel-calibration window's no-answer limit on a manual clock: each exchange
// costs what the instrument makes it cost, and the port lets the wait hook run at each
// read and query, as the serial layer does while it waits.
#include <gtest/gtest.h>

#include <functional>

#include "acquisition/verified_write.h"
#include "service/factory_calibration.h"
#include "tech_cal_fixture.h"

namespace servicetest {
namespace {

using Answer = platform::Dialogs::Answer;

class ClockedIo final : public acquisition::InstrumentIo {
 public:
  explicit ClockedIo(platform::ManualClock& clock) : clock_(clock) {}
  void Flush() override {}
  int DiscardInput(int) override { return 0; }
  int Write(const std::string& bytes) override { return int(bytes.size()); }
  int Read(std::string& data, int count) override {
    platform::KeepWaiting();
    data.clear();
    if (!groups_answer) {
      clock_.Advance(1000);
      return 0;
    }
    clock_.Advance(5);
    data.assign(static_cast<size_t>(count), '\0');  // good words of level 0
    return count;
  }
  bool DeviceWrite(int, int, int) override { return false; }
  int DeviceQuery(int reg, int value, int mode) override {
    int received = 0;
    return QueryReply(reg, value, mode, received);
  }
  int QueryReply(int reg, int value, int, int& received) override {
    platform::KeepWaiting();
    const bool answered = answers(reg);
    clock_.Advance(answered ? 2 : 1000);
    received = answered ? 2 : 0;
    if (!answered) return -1;
    return reg == 0x20 ? value : reg;  // a read-back gives the register as its setting
  }

  bool groups_answer = true;
  std::function<bool(int reg)> answers = [](int) { return true; };

 private:
  platform::ManualClock& clock_;
};

class TechCalSilence : public ManualClockTest {
 protected:
  // Steps the live view at most `max` times; the steps it made.
  int Steps(int max) {
    int n = 0;
    while (n < max && cal_.Step() >= 0) ++n;
    return n;
  }

  ClockedIo io_{clock_};
  RecordingView view_;
  service::TechCal cal_{io_, view_};
};

// The live view ends once its own reads have gone unanswered for three seconds, and
// not before; the bound on the steps makes the row fail at once when nothing ends it.
TEST_F(TechCalSilence, ASilentLiveViewEndsAfterThreeSecondsOfItsOwnReads) {
  ASSERT_TRUE(cal_.Cmd_online_Click(240, 160));
  EXPECT_EQ(Steps(5), 5);  // the instrument answers: the view goes on
  io_.groups_answer = false;
  dialogs_.ExpectOk();
  const int64_t silent_from = clock_.MonotonicMs();
  EXPECT_LT(Steps(50), 50);
  EXPECT_FALSE(cal_.online());
  EXPECT_EQ(dialogs_.log(), (std::vector<std::string>{service::kInstrumentSilentText}));
  const int64_t silence = clock_.MonotonicMs() - silent_from;
  EXPECT_GE(silence, service::kNoAnswerMs);
  EXPECT_LT(silence, service::kNoAnswerMs + 1100);  // one more read's wait at most
}

// A port the program closed (Disconnect) is no silent instrument: the live view ends
// at its next step, offline, without a box.
TEST_F(TechCalSilence, TheLiveViewOnAPortTheProgramClosedEndsQuietly) {
  storage::Shared().Connected = true;
  ASSERT_TRUE(cal_.Cmd_online_Click(240, 160));
  EXPECT_EQ(Steps(5), 5);
  storage::Shared().Connected = false;  // as Disconnect leaves it
  io_.groups_answer = false;
  EXPECT_EQ(Steps(50), 0);
  EXPECT_FALSE(cal_.online());
  EXPECT_TRUE(cal_.online_enabled());
  EXPECT_TRUE(dialogs_.log().empty());
}

// Work between the live view's steps, and a question the user answers during a read,
// count nothing against the live view: its reads are answered, so it goes on.
TEST_F(TechCalSilence, OnlyTheWorksOwnExchangesCountTowardsItsLimit) {
  const std::string silent = service::kInstrumentSilentText;
  const struct {
    const char* what;
    int unanswered;  // the register whose queries go unanswered, -1 none
    std::function<void(service::TechCal&)> act;
    std::vector<std::string> boxes;  // each an OK box, unless the act answers it
  } rows[] = {
      // It says nothing of its own: -1 shown, the live view goes on.
      {"read-back", 0x20, [](service::TechCal& c) { EXPECT_FALSE(c.ReadBackSetting(36)); }, {}},
      {"bar write", 18, [](service::TechCal& c) { c.WriteSelectedSetting(36, "1", "1"); },
       {acquisition::WriteErrorText(18)}},
      {"SET", 0, [](service::TechCal& c) { c.cmd_setcalibra_Click("1", "1"); },
       {acquisition::WriteErrorText(0), service::kSetFailedMessage}},
      {"Set All", 0, [](service::TechCal& c) { c.Cmd_setall_Click("1", "1"); },
       {acquisition::WriteErrorText(0)}},
      {"a question answered after 4 s during a read", -1,
       [this](service::TechCal&) {
         bool asked = false;
         view_.events = [&] {
           if (std::exchange(asked, true)) return;
           dialogs_.Answer3(Answer::kYes).WhileShown([this] { clock_.Advance(4000); });
           cal_.ToggleEnabled("36", "ENABLED");
         };
         EXPECT_EQ(Steps(2), 2);
         view_.events = [] {};
         EXPECT_TRUE(asked);
       },
       {"Do you like to Disable Channel 36?"}},
  };
  for (const auto& row : rows) {
    storage::ResetSharedState();
    dialogs_.WhileShown(nullptr);
    ASSERT_TRUE(cal_.Cmd_online_Click(240, 160)) << row.what;
    EXPECT_EQ(Steps(3), 3) << row.what;
    io_.answers = [&row](int reg) { return reg != row.unanswered; };
    if (row.unanswered >= 0)
      for (size_t i = 0; i < row.boxes.size(); ++i) dialogs_.ExpectOk();
    const size_t logged = dialogs_.log().size();
    row.act(cal_);
    EXPECT_EQ(std::vector(dialogs_.log().begin() + ssize_t(logged), dialogs_.log().end()), row.boxes)
        << row.what;
    if (row.unanswered == 0x20) EXPECT_EQ(view_.outs.back(), -1);
    // Boxes beyond those expected fail the test as they come.
    EXPECT_EQ(Steps(20), 20) << row.what;
    EXPECT_TRUE(cal_.online()) << row.what;
    cal_.Cmd_offline_Click();
    EXPECT_EQ(cal_.Step(), -1);
  }
}

}  // namespace
}  // namespace servicetest
