// The factory record's encoder against its decoder, and the factory calibration
// against the simulated instrument: frames in order, refusals that send nothing, a
// record the next connection accepts, and a failed write that leaves nothing valid.
#include <gtest/gtest.h>

#include "acquisition/factory_record.h"
#include "service/factory_calibration.h"
#include "service_fixture.h"

namespace servicetest {
namespace {

TEST(FactoryRecordEncoder, FieldsRoundingAndWhatTheReaderAccepts) {
  struct Case {
    double offset, slope;
    acquisition::FactoryWrite want;
    bool valid;
  };
  const Case cases[] = {
      {0.91, 0.219, {0, 6, 24, 0, 9, 219, 0}, true},
      {2.5, 0.219, {0, 6, 24, 0, 25, 219, 0}, true},    // 25: no rounding needed
      {-1.25, 0.219, {0, 6, 24, 1, 12, 219, 0}, true},  // 12.5 to even
      {0.0, 0.3, {0, 6, 24, 0, 0, 44, 1}, true},
      {10.05, 0.219, {0, 6, 24, 0, 100, 219, 0}, true},  // 100.5 to even: 10.0 reads back
      {-10.06, 0.219, {0, 6, 24, 1, 101, 219, 0}, false},
      {26.0, 0.219, {0, 6, 24, 0, 260, 219, 0}, false},  // not a byte
      {0.0, 0.256, {0, 6, 24, 0, 0, 0, 1}, false},       // low byte 0 is refused
      {0.0, 0.45, {0, 6, 24, 0, 0, 194, 1}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.offset << " " << c.slope);
    const auto w = acquisition::EncodeFactoryRecord(c.offset, c.slope, 6, 24);
    EXPECT_EQ(w, c.want);
    EXPECT_EQ(acquisition::FactoryWriteValid(w), c.valid);
    if (!c.valid) continue;
    storage::SharedState s;
    acquisition::FactoryBytes b{};
    for (int i = 0; i < 7; ++i) b[i] = w[i];
    acquisition::ApplyFactoryRecord(b, s);
    EXPECT_TRUE(s.Factory_Calibrated);
    EXPECT_DOUBLE_EQ(s.Temp_Offset, (w[3] ? -1 : 1) * w[4] / 10.0);
    EXPECT_DOUBLE_EQ(s.Temp_Slope, (w[6] * 256 + w[5]) / 1000.0);
  }
}

class FactoryTest : public SimFixture {
 protected:
  void SetUp() override {
    SimFixture::SetUp();
    // A sensor of its own that reads 110 at 24.09 degrees, and a record of offset 0.
    Model([](sim::InstrumentModel& m) {
      m.SetSensor(0.0, 0.219);
      m.SetFactoryRecord(sim::InstrumentModel::EncodeFactoryRecord(0.0, 0.219, 1, 20));
    });
    Sim().SetTemperature(24.09);
    auto& s = storage::Shared();
    s.Factory_Calibrated = true;
    s.Temp_Offset = 0.0;
    s.Temp_Slope = 0.219;
    s.Cal_Month = 1;
    s.Cal_Year = 20;
  }
  std::array<uint8_t, 8> Record() {
    std::array<uint8_t, 8> r{};
    Model([&](sim::InstrumentModel& m) { r = m.factory_record(); });
    return r;
  }
  // Frames sent other than temperature reads.
  int WriteFrames() const {
    const std::string wire = sim_->server().Received();
    int n = 0;
    for (size_t i = 0; i + 1 < wire.size(); ++i)
      n += uint8_t(wire[i]) == 0xFF && uint8_t(wire[i + 1]) == 0x80;
    return n;
  }
  service::FactoryCalibration factory_{io_};
};

TEST_F(FactoryTest, CalibrationWritesTheRecordInOrderAndTheNextConnectionAcceptsIt) {
  EXPECT_EQ(factory_.Load(), "OK Last Factory Calibration 01/20 [mm/yy]");
  EXPECT_EQ(service::TemperatureText(factory_.ReadRaw(), storage::Shared()), "24.1");
  Sim().ClearReceived();

  const auto text = factory_.Calibrate("25.0");
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "OK Last Factory Calibration 03/26 [mm/yy]");
  auto& s = storage::Shared();
  EXPECT_NEAR(s.Temp_Offset, 0.91, 1e-9);
  EXPECT_TRUE(s.Factory_Calibrated);
  EXPECT_EQ(s.Cal_Month, 3);
  EXPECT_EQ(s.Cal_Year, 26);
  std::string want = Frame(0x21, 0, 0);
  const int writes[][2] = {{200, 255}, {201, 3},   {202, 26}, {203, 0},
                           {204, 9},   {205, 219}, {206, 0},  {200, 0}};
  for (const auto& w : writes) want += Repeat(Frame(w[0], w[1], 0x80), 9);
  EXPECT_EQ(Sim().Received(), want);
  EXPECT_TRUE(dialogs_.log().empty());

  // The next connection reads the record back.
  storage::ResetSharedState();
  acquisition::ReadFactoryCalibration();
  EXPECT_TRUE(s.Factory_Calibrated);
  EXPECT_DOUBLE_EQ(s.Temp_Offset, 0.9);
  EXPECT_DOUBLE_EQ(s.Temp_Slope, 0.219);
  EXPECT_EQ(s.Cal_Month, 3);
  EXPECT_EQ(s.Cal_Year, 26);
  EXPECT_EQ(service::TemperatureText(factory_.ReadRaw(), s), "25.0");

  // A second calibration corrects the stored offset: 0.9 + 26.0 - 24.99.
  ASSERT_TRUE(factory_.Calibrate("26.0"));
  EXPECT_NEAR(s.Temp_Offset, 1.91, 1e-9);
}

TEST_F(FactoryTest, TargetsAreCheckedBeforeAnyFrameIsWritten) {
  struct Case {
    double chamber;  // the instrument's temperature
    const char* text;
    const char* message;  // nullptr: the record is written
  };
  const Case cases[] = {
      {5.0, "4", nullptr},
      {49.0, "50", nullptr},
      {5.0, "3.9", service::kTargetRangeMessage},
      {49.0, "50.1", service::kTargetRangeMessage},
      {24.09, "abc", service::kTargetRangeMessage},
      {24.09, "", service::kTargetRangeMessage},
      // The offset would be 15.9 degrees: the record cannot hold it.
      {24.09, "40", service::kOffsetRangeMessage},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    storage::Shared().Temp_Offset = 0.0;
    Sim().SetTemperature(c.chamber);
    Sim().ClearReceived();
    testsupport::ScriptedDialogs dialogs;
    if (c.message) dialogs.ExpectOk();
    const auto text = factory_.Calibrate(c.text);
    EXPECT_EQ(text.has_value(), c.message == nullptr);
    EXPECT_EQ(WriteFrames(), c.message ? 0 : 72);
    if (c.message) {
      EXPECT_EQ(dialogs.log(), std::vector<std::string>{c.message});
    }
  }
}

TEST_F(FactoryTest, NoTemperatureAnswerIsRefused) {
  Sim().SetFault(sim::Fault::kSilence, 1);
  dialogs_.ExpectOk();
  EXPECT_FALSE(factory_.Calibrate("25"));
  EXPECT_EQ(dialogs_.log(), std::vector<std::string>{service::kNoTemperatureMessage});
  EXPECT_EQ(WriteFrames(), 0);
}

TEST_F(FactoryTest, AFailedWriteLeavesARecordTheNextConnectionRejects) {
  // Register 203 is never echoed.
  Sim().SetIntercept([](const std::array<uint8_t, 5>& f, std::string& reply) {
    if (f[1] != 0x80 || f[2] != 203) return false;
    reply = std::string("\x00\x00", 2);
    return true;
  });
  dialogs_.ExpectOk();
  const int64_t t0 = clock_.MonotonicMs();
  const auto text = factory_.Calibrate("25.0");
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, service::kNonCalibrated);
  EXPECT_EQ(dialogs_.log(), std::vector<std::string>{
                                "Ops...Data Writing ERROR: reg(203)... Check COM and Try again"});
  // Three passes of nine, the two retries paced: 2 x (100 + 100 + 9 x 50) ms.
  EXPECT_EQ(Count(Frame(203, 0, 0x80)), 27);
  EXPECT_EQ(Count(Frame(0x21, 0, 0)), 1 + 2);
  EXPECT_EQ(clock_.MonotonicMs() - t0, 1300);
  EXPECT_EQ(Count(Frame(204, 9, 0x80)), 0);

  auto& s = storage::Shared();
  EXPECT_FALSE(s.Factory_Calibrated);
  EXPECT_DOUBLE_EQ(s.Temp_Offset, 0.0);
  EXPECT_EQ(s.Cal_Month, 3);  // the new date stays
  const auto r = Record();
  EXPECT_EQ(r[0], 255);  // unfinished
  EXPECT_EQ(r[1], 3);
  EXPECT_EQ(r[2], 26);

  Sim().SetIntercept({});
  storage::ResetSharedState();
  acquisition::ReadFactoryCalibration();
  EXPECT_FALSE(s.Factory_Calibrated);
  EXPECT_DOUBLE_EQ(s.Temp_Offset, 0.0);
  EXPECT_DOUBLE_EQ(s.Temp_Slope, 0.219);
}

TEST_F(FactoryTest, OpeningWithoutAValidRecordPutsTheDefaultsBack) {
  auto& s = storage::Shared();
  s.Factory_Calibrated = false;
  s.Temp_Offset = 3.0;
  s.Temp_Slope = 0.3;
  EXPECT_EQ(factory_.Load(), "NON Calibrated");
  EXPECT_DOUBLE_EQ(s.Temp_Offset, 0.0);
  EXPECT_DOUBLE_EQ(s.Temp_Slope, 0.219);
  EXPECT_EQ(service::SerialText(77), "SERIAL : QNLR00077");
}

}  // namespace
}  // namespace servicetest
