#include "acquisition/factory_record.h"

#include <cmath>

#include "link/comm_port.h"
#include "link/device_frame.h"
#include "link/device_io.h"
#include "platform/clock.h"
#include "platform/numeric.h"

namespace acquisition {

namespace {

constexpr int kTries = 3;
constexpr int kReadPauseMs = 200;

int ReadRecordByte(int address) {
  for (int attempt = 0; attempt < kTries; ++attempt) {
    int first = devlink::DeviceQuery(devlink::RegReadBack, address, devlink::ModeCommand);
    platform::Sleep(kReadPauseMs);
    int second = devlink::DeviceQuery(devlink::RegReadBack, address, devlink::ModeCommand);
    platform::Sleep(kReadPauseMs);
    if (first == -1) {
      // No answer at all: an identification frame brings the instrument back in step.
      devlink::DeviceQuery(devlink::RegIdentify, 0, devlink::ModeCommand);
      platform::Sleep(kReadPauseMs);
      continue;
    }
    if (first == second) return first;
  }
  return -1;
}

// The checks of each field, shared by the reader and the writer's own check.
bool MonthOk(int b) { return b >= 1 && b <= 12; }
bool YearOk(int b) { return b >= 0 && b <= 99; }
bool SignOk(int b) { return b == 0 || b == 1; }
bool SlopeBytesOk(int low, int high) { return low >= 1 && high >= 0; }
double OffsetOf(int magnitude, int sign) {
  return sign == 1 ? -(magnitude / 10.0) : magnitude / 10.0;
}
double SlopeOf(int low, int high) { return (high * 256 + low) / 1000.0; }
bool OffsetInRange(double offset) { return offset >= -10.0 && offset <= 10.0; }
bool SlopeInRange(double slope) { return slope >= 0.1 && slope <= 0.45; }

}  // namespace

bool FactoryRecordValid(const FactoryBytes& b) {
  return b[0] == 0 && MonthOk(b[1]) && YearOk(b[2]) && SignOk(b[3]) && b[4] >= 0 &&
         SlopeBytesOk(b[5], b[6]) && OffsetInRange(OffsetOf(b[4], b[3])) &&
         SlopeInRange(SlopeOf(b[5], b[6]));
}

FactoryWrite EncodeFactoryRecord(double offset, double slope, int month, int year) {
  const double thousandths = slope * 1000;
  const int high = static_cast<int>(std::floor(thousandths / 256));
  return {0,
          month,
          year,
          offset < 0 ? 1 : 0,
          static_cast<int>(platform::RoundHalfEven(std::fabs(offset) * 10)),
          static_cast<int>(platform::RoundHalfEven(thousandths - high * 256)),
          high};
}

bool FactoryWriteValid(const FactoryWrite& w) {
  FactoryBytes b{};
  for (std::size_t i = 0; i < w.size(); ++i) {
    if (w[i] < 0 || w[i] > 255) return false;
    b[i] = w[i];
  }
  return FactoryRecordValid(b);
}

void ApplyFactoryRecord(const FactoryBytes& b, storage::SharedState& s) {
  // Computed wide: a high slope byte of 128 or more is just a slope out of range.
  bool ok = b[0] == 0;
  // A field whose own check fails keeps its earlier value and fails the record.
  auto check = [&ok](bool passes) {
    ok = ok && passes;
    return passes;
  };
  if (check(MonthOk(b[1]))) s.Cal_Month = static_cast<int16_t>(b[1]);
  if (check(YearOk(b[2]))) s.Cal_Year = static_cast<int16_t>(b[2]);
  if (check(SignOk(b[3]))) s.Temp_Offset_Sign = static_cast<int16_t>(b[3]);
  if (check(b[4] >= 0)) s.Temp_Offset = OffsetOf(b[4], s.Temp_Offset_Sign);
  if (check(SlopeBytesOk(b[5], b[6]))) s.Temp_Slope = SlopeOf(b[5], b[6]);
  if (!OffsetInRange(s.Temp_Offset)) {
    s.Temp_Offset = kDefaultTempOffset;
    ok = false;
  }
  if (!SlopeInRange(s.Temp_Slope)) {
    s.Temp_Slope = kDefaultTempSlope;
    ok = false;
  }
  s.Factory_Calibrated = ok;
  if (!ok) {
    s.Temp_Offset = kDefaultTempOffset;
    s.Temp_Slope = kDefaultTempSlope;
  }
}

void ReadFactoryCalibration(const std::function<void()>& do_events) {
  auto events = [&](int times) {
    if (do_events)
      for (int i = 0; i < times; ++i) do_events();
  };
  events(10);
  devlink::CommFlush(devlink::InstrumentPort());
  events(10);
  FactoryBytes bytes;
  for (int a = devlink::kFactoryRecordFirst; a <= devlink::kFactoryRecordLast; ++a) {
    bytes[static_cast<size_t>(a - devlink::kFactoryRecordFirst)] = ReadRecordByte(a);
    events(1);
  }
  ApplyFactoryRecord(bytes, storage::Shared());
}

}  // namespace acquisition
