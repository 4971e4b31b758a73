// The serial port procedures over a pseudo-terminal: open, refusal, time-outs,
// failures and what they record.
#include <chrono>

#include "link/device_frame.h"
#include "link_fixture.h"

namespace {

using linktest::LinkTest;
using linktest::SecondsSince;

TEST_F(LinkTest, OpenTwiceAnswersPortInUseAndKeepsThePort) {
  ASSERT_EQ(OpenCom4(), 0);
  EXPECT_EQ(OpenCom4(), -1);
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Code, -1);
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Proc, "CommOpen");
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Text, "Port in use.");
  // The first open still works.
  EXPECT_EQ(devlink::CommWrite(4, devlink::DeviceFrame(0, 0, 0)), 5);
  std::string reply;
  EXPECT_EQ(devlink::CommRead(4, reply, 2), 2);

  // Another port id on the same device is refused by the device lock.
  std::filesystem::create_symlink(sim_->LinkPath(), folder_ / "ports" / "COM6");
  EXPECT_NE(devlink::CommOpen(6, "COM6", devlink::kInstrumentSettings), 0);
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Proc, "CommOpen (CreateFile)");
  EXPECT_FALSE(devlink::CommIsOpen(6));

  // Closed, it opens again.
  EXPECT_EQ(devlink::CommClose(4), 0);
  EXPECT_EQ(OpenCom4(), 0);
}

TEST_F(LinkTest, FailedOpensLeaveNothingOpen) {
  // No link for COM7 in a folder that has a ports folder: the device does not exist.
  EXPECT_NE(devlink::CommOpen(7, "COM7", devlink::kInstrumentSettings), 0);
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Proc, "CommOpen (CreateFile)");
  EXPECT_FALSE(devlink::CommIsOpen(7));

  for (int id : {0, 17}) {
    int32_t rc = devlink::CommOpen(id, "COM4", devlink::kInstrumentSettings);
    EXPECT_EQ(rc, devlink::kErrBadPortId);
    EXPECT_EQ(devlink::LastCommError().Comm_Error_Proc, "CommOpen");
  }

  // A settings text the port cannot use: the open fails and the device is free again.
  EXPECT_NE(devlink::CommOpen(4, "COM4", "baud=115200 parity=Q"), 0);
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Proc, "CommOpen (BuildCommDCB)");
  EXPECT_FALSE(devlink::CommIsOpen(4));
  EXPECT_EQ(OpenCom4(), 0);

  // A device that is not a serial line fails while being set up, and is closed.
  testsupport::WriteBytes(folder_ / "plain.txt", "x");
  std::filesystem::create_symlink(folder_ / "plain.txt", folder_ / "ports" / "COM8");
  EXPECT_NE(devlink::CommOpen(8, "COM8", devlink::kInstrumentSettings), 0);
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Proc, "CommOpen (PurgeComm)");
  EXPECT_FALSE(devlink::CommIsOpen(8));
}

TEST_F(LinkTest, ClosedPortCallsAnswerCodesNotCrashes) {
  EXPECT_EQ(devlink::CommClose(3), 0);
  EXPECT_NE(devlink::CommFlush(3), 0);
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Proc, "CommFlush (PurgeComm)");
  EXPECT_NE(devlink::CommSetLine(3, 2, true), 0);
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Proc, "CommSetLine (EscapeCommFunction)");
  EXPECT_EQ(devlink::CommWrite(3, "abc"), -1);
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Proc, "CommWrite (WriteFile)");
  std::string data = "old";
  EXPECT_EQ(devlink::CommRead(3, data, 2), 0);
  EXPECT_EQ(data, "");
  EXPECT_EQ(devlink::CommClose(0), devlink::kErrBadPortId);
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Proc, "CommClose");
}

TEST_F(LinkTest, ReadCountOutsideTheBufferIsRefused) {
  ASSERT_EQ(OpenCom4(), 0);
  std::string data;
  EXPECT_EQ(devlink::CommRead(4, data, 0), 0);
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Proc, "CommRead");
  EXPECT_EQ(devlink::CommRead(4, data, 513), 0);
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Code, devlink::kErrBadArgument);
}

TEST_F(LinkTest, ModemLinesOnAPseudoTerminalFailAndAreRecorded) {
  ASSERT_EQ(OpenCom4(), 0);
  int32_t rc = devlink::CommSetLine(4, 2, true);
  if (rc != 0) {
    EXPECT_EQ(devlink::LastCommError().Comm_Error_Code, rc);
    EXPECT_EQ(devlink::LastCommError().Comm_Error_Proc, "CommSetLine (EscapeCommFunction)");
  }
  // Line 4 is no line at all.
  EXPECT_NE(devlink::CommSetLine(4, 4, true), 0);
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Proc, "CommSetLine (EscapeCommFunction)");
}

TEST_F(LinkTest, AReplyTricklingInAtWireSpeedIsReadWhole) {
  ASSERT_EQ(OpenCom4(), 0);
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

TEST_F(LinkTest, AShortReplyIsCountedAndTheQueuesPurged) {
  ASSERT_EQ(OpenCom4(), 0);
  sim_->SetReplyMode(sim::ReplyMode::kGroup);
  sim_->SetFault(sim::Fault::kShortReply, 1);
  ASSERT_EQ(devlink::CommWrite(4, devlink::DeviceFrame(devlink::RegLevels, 0, 0)), 5);
  std::string reply;
  auto t = std::chrono::steady_clock::now();
  EXPECT_EQ(devlink::CommRead(4, reply, 48), 47);
  EXPECT_LT(SecondsSince(t), 5.0);
  // The next exchange is clean.
  ASSERT_EQ(devlink::CommWrite(4, devlink::DeviceFrame(devlink::RegLevels, 0, 0)), 5);
  EXPECT_EQ(devlink::CommRead(4, reply, 48), 48);
}

TEST_F(LinkTest, ASilentInstrumentCostsOneBoundedWait) {
  ASSERT_EQ(OpenCom4(), 0);
  sim_->SetFault(sim::Fault::kSilence);
  ASSERT_EQ(devlink::CommWrite(4, devlink::DeviceFrame(devlink::RegTemperature, 0, 0)), 5);
  std::string reply;
  auto t = std::chrono::steady_clock::now();
  EXPECT_EQ(devlink::CommRead(4, reply, 2), 0);
  double s = SecondsSince(t);
  EXPECT_GT(s, 0.5);  // five attempts of 200 ms
  EXPECT_LT(s, 5.0);
}

TEST_F(LinkTest, APortThatVanishesGivesRecordedFailures) {
  ASSERT_EQ(OpenCom4(), 0);
  sim_->SetFault(sim::Fault::kVanish);
  EXPECT_FALSE(std::filesystem::exists(folder_ / "ports" / "COM4"));
  auto t = std::chrono::steady_clock::now();
  devlink::CommWrite(4, devlink::DeviceFrame(0, 0, 0));
  std::string reply;
  EXPECT_EQ(devlink::CommRead(4, reply, 2), 0);
  EXPECT_LT(SecondsSince(t), 5.0);
  EXPECT_NE(devlink::LastCommError().Comm_Error_Code, 0);
  // Gone for good: closing works, reopening fails.
  EXPECT_EQ(devlink::CommClose(4), 0);
  EXPECT_NE(OpenCom4(), 0);
  EXPECT_EQ(devlink::LastCommError().Comm_Error_Proc, "CommOpen (CreateFile)");
}

TEST_F(LinkTest, ReadAndWriteFailuresCarryTheErrorFlags) {
  EXPECT_EQ(devlink::CommWrite(5, "x"), -1);
  const std::string& text = devlink::LastCommError().Comm_Error_Text;
  const std::string suffix = "  COMM Error Flags = 0";
  ASSERT_GE(text.size(), suffix.size());
  EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix);
  // The system's message ends its own line, so the flags start a new one.
  EXPECT_NE(text.find("\r\n  COMM"), std::string::npos);
}

}  // namespace
