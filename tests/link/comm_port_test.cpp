// The serial port procedures over a pseudo-terminal: open and refusal, failures and
// what they record, calls on closed ports, and reads that must end in bounded time.
#include "link_fixture.h"
#include "platform/waiting.h"

namespace {

using linktest::LastProc;
using linktest::LinkTest;
using linktest::SecondsSince;
namespace fs = std::filesystem;

TEST_F(LinkTest, SecondOpenIsRefusedAndFailedOpensLeaveNothingLocked) {
  ASSERT_EQ(OpenCom(4), 0);
  EXPECT_EQ(OpenCom(4), -1);
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Code, -1);
  EXPECT_EQ(LastProc(), "CommOpen");
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Text, "Port in use.");

  // Another id on the same device is refused by the device lock; the first open still works.
  fs::create_symlink(sim_->LinkPath(), folder_ / "ports" / "COM6");
  testsupport::WriteBytes(folder_ / "plain.txt", "x");
  fs::create_symlink(folder_ / "plain.txt", folder_ / "ports" / "COM8");
  struct Case {
    int id;
    const char* settings;
    const char* proc;
  } cases[] = {
      {6, devlink::kInstrumentSettings, "CommOpen (CreateFile)"},
      {0, devlink::kInstrumentSettings, "CommOpen"},
      {17, devlink::kInstrumentSettings, "CommOpen"},
      {7, devlink::kInstrumentSettings, "CommOpen (CreateFile)"},  // no such device
      {8, devlink::kInstrumentSettings, "CommOpen (PurgeComm)"},   // not a serial line
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_NE(devlink::CommOpen(c.id, "COM" + std::to_string(c.id), c.settings), 0);
    EXPECT_EQ(LastProc(), c.proc);
    EXPECT_FALSE(devlink::CommIsOpen(c.id));
  }
  EXPECT_EQ(devlink::CommWrite(4, devlink::DeviceFrame(0, 0, 0)), 5);
  std::string reply;
  EXPECT_EQ(devlink::CommRead(4, reply, 2), 2);

  // Settings the port cannot use fail after the open, and the device is free again.
  EXPECT_EQ(devlink::CommClose(4), 0);
  EXPECT_NE(devlink::CommOpen(4, "COM4", "baud=115200 parity=Q"), 0);
  EXPECT_EQ(LastProc(), "CommOpen (BuildCommDCB)");
  EXPECT_FALSE(devlink::CommIsOpen(4));
  EXPECT_EQ(OpenCom(4), 0);
}

TEST_F(LinkTest, BadCallsAnswerCodesAndRecordTheirProcedure) {
  EXPECT_EQ(devlink::CommClose(3), 0);
  EXPECT_NE(devlink::CommFlush(3), 0);
  EXPECT_EQ(LastProc(), "CommFlush (PurgeComm)");
  EXPECT_NE(devlink::CommSetLine(3, 2, true), 0);
  EXPECT_EQ(LastProc(), "CommSetLine (EscapeCommFunction)");
  std::string data = "old";
  EXPECT_EQ(devlink::CommRead(3, data, 2), 0);
  EXPECT_EQ(data, "");
  EXPECT_EQ(devlink::CommClose(0), devlink::kErrBadPortId);
  EXPECT_EQ(LastProc(), "CommClose");
  // The system's message ends its own line, so the flags start a new one.
  EXPECT_EQ(devlink::CommWrite(3, "abc"), -1);
  EXPECT_EQ(LastProc(), "CommWrite (WriteFile)");
  const std::string& text = devlink::LastCommError().Comm_Error_Text;
  ASSERT_GE(text.size(), 24u);
  EXPECT_EQ(text.substr(text.size() - 24), "\r\n  COMM Error Flags = 0");

  ASSERT_EQ(OpenCom(4), 0);
  for (int count : {0, 513}) {
    EXPECT_EQ(devlink::CommRead(4, data, count), 0);
    EXPECT_EQ(LastProc(), "CommRead");
    EXPECT_EQ(devlink::LastCommError().Comm_Error_Code, devlink::kErrBadArgument);
  }
  EXPECT_NE(devlink::CommSetLine(4, 4, true), 0);  // no line 4
  EXPECT_EQ(LastProc(), "CommSetLine (EscapeCommFunction)");
}

TEST_F(LinkTest, AReplyTricklingInAtWireSpeedIsReadWhole) {
  ASSERT_EQ(OpenCom(4), 0);
  sim_->SetReplyMode(sim::ReplyMode::kGroup);
  for (int pace : {sim::kWireBytesPerSecond, 500}) {  // 500 bytes/s: 2 ms between bytes
    sim_->SetPacing(pace);
    ASSERT_EQ(devlink::CommWrite(4, devlink::DeviceFrame(devlink::RegLevels, 8, 0)), 5);
    std::string reply;
    EXPECT_EQ(devlink::CommRead(4, reply, 48), 48) << pace;
    std::array<int32_t, 24> levels{};
    EXPECT_TRUE(devlink::DecodeGroupReply(reply, levels));
  }
}

TEST_F(LinkTest, ShortRepliesAndSilenceCostOneBoundedWaitAndThePortRecovers) {
  ASSERT_EQ(OpenCom(4), 0);
  sim_->SetReplyMode(sim::ReplyMode::kGroup);
  sim_->SetFault(sim::Fault::kShortReply, 1);
  std::string reply;
  auto t = std::chrono::steady_clock::now();
  ASSERT_EQ(devlink::CommWrite(4, devlink::DeviceFrame(devlink::RegLevels, 0, 0)), 5);
  EXPECT_EQ(devlink::CommRead(4, reply, 48), 47);
  EXPECT_LT(SecondsSince(t), 5.0);
  ASSERT_EQ(devlink::CommWrite(4, devlink::DeviceFrame(devlink::RegLevels, 0, 0)), 5);
  EXPECT_EQ(devlink::CommRead(4, reply, 48), 48) << "the queues were purged";

  sim_->SetFault(sim::Fault::kSilence);
  ASSERT_EQ(devlink::CommWrite(4, devlink::DeviceFrame(devlink::RegTemperature, 0, 0)), 5);
  t = std::chrono::steady_clock::now();
  EXPECT_EQ(devlink::CommRead(4, reply, 2), 0);
  EXPECT_GT(SecondsSince(t), 0.5);  // five attempts of 200 ms
  EXPECT_LT(SecondsSince(t), 5.0);
}

TEST_F(LinkTest, ASilentReadLetsItsWaitHookRunAndItsPortIsBusyMeanwhile) {
  ASSERT_EQ(OpenCom(4), 0);
  sim_->SetFault(sim::Fault::kSilence);
  std::string reply;
  int calls = 0;
  const auto t = std::chrono::steady_clock::now();
  {
    platform::WaitHook hook([&] {
      // What the hook runs cannot come between a frame and its reply.
      EXPECT_EQ(devlink::CommWrite(4, devlink::DeviceFrame(devlink::RegTemperature, 0, 0)), -1);
      return ++calls < 5;
    });
    EXPECT_EQ(devlink::CommRead(4, reply, 2), 0);
  }
  EXPECT_EQ(calls, 5);  // every 40 ms until it said stop
  EXPECT_LT(SecondsSince(t), 0.5);
  {
    // Nor between a work's frames, while it pauses.
    platform::WaitHook hook([&] {
      EXPECT_EQ(devlink::CommWrite(4, devlink::DeviceFrame(devlink::RegTemperature, 0, 0)), -1);
      return ++calls < 100;
    });
    EXPECT_TRUE(platform::Wait(60));
  }
  EXPECT_EQ(calls, 7);
  // A close from inside ends the read, and the port is closed.
  platform::WaitHook hook([] { return devlink::CommClose(4) == 0; });
  EXPECT_EQ(devlink::CommRead(4, reply, 2), 0);
  EXPECT_FALSE(devlink::CommIsOpen(4));
}

TEST_F(LinkTest, APortThatVanishesGivesRecordedFailures) {
  ASSERT_EQ(OpenCom(4), 0);
  sim_->SetFault(sim::Fault::kVanish);
  EXPECT_FALSE(fs::exists(folder_ / "ports" / "COM4"));
  auto t = std::chrono::steady_clock::now();
  devlink::CommWrite(4, devlink::DeviceFrame(0, 0, 0));
  std::string reply;
  EXPECT_EQ(devlink::CommRead(4, reply, 2), 0);
  EXPECT_LT(SecondsSince(t), 5.0);
  EXPECT_NE(devlink::LastCommError().Comm_Error_Code, 0);
  EXPECT_EQ(devlink::CommClose(4), 0);
  EXPECT_NE(OpenCom(4), 0);
  EXPECT_EQ(LastProc(), "CommOpen (CreateFile)");
}

}  // namespace
