#include "acquisition/factory_record.h"

#include "link/comm_port.h"
#include "link/device_frame.h"
#include "link/device_io.h"
#include "platform/clock.h"

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

}  // namespace

void ApplyFactoryRecord(const FactoryBytes& b, storage::SharedState& s) {
  // Computed wide: a high slope byte of 128 or more is just a slope out of range.
  bool ok = true;
  if (b[0] != 0) ok = false;
  if (b[1] >= 1 && b[1] <= 12) s.Cal_Month = static_cast<int16_t>(b[1]);
  else ok = false;
  if (b[2] >= 0 && b[2] <= 99) s.Cal_Year = static_cast<int16_t>(b[2]);
  else ok = false;
  if (b[3] == 0 || b[3] == 1) s.Temp_Offset_Sign = static_cast<int16_t>(b[3]);
  else ok = false;
  if (b[4] >= 0) {
    s.Temp_Offset = b[4] / 10.0;
    if (s.Temp_Offset_Sign == 1) s.Temp_Offset = -s.Temp_Offset;
  } else {
    ok = false;
  }
  if (b[5] >= 1 && b[6] >= 0) s.Temp_Slope = (b[6] * 256 + b[5]) / 1000.0;
  else ok = false;
  if (s.Temp_Offset < -10.0 || s.Temp_Offset > 10.0) {
    s.Temp_Offset = kDefaultTempOffset;
    ok = false;
  }
  if (s.Temp_Slope < 0.1 || s.Temp_Slope > 0.45) {
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
