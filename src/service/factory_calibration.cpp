#include "service/factory_calibration.h"

#include <array>
#include <utility>

#include "acquisition/factory_record.h"
#include "acquisition/verified_write.h"
#include "link/device_frame.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/numeric.h"
#include "storage/shared_state.h"

namespace service {

namespace {

constexpr double kLowestTarget = 4.0;
constexpr double kHighestTarget = 50.0;
// The marker a record carries while it is being written.
constexpr int kUnfinishedMarker = 255;

}  // namespace

std::string CalibratedText(int month, int year) {
  return "OK Last Factory Calibration " + platform::FormatZeroPadded(month, 2) + "/" +
         platform::FormatZeroPadded(year, 2) + " [mm/yy]";
}

std::string CalibrationStateText(const storage::SharedState& s) {
  return s.Factory_Calibrated ? CalibratedText(s.Cal_Month, s.Cal_Year) : kNonCalibrated;
}

std::string SerialText(int serial_number) {
  return "SERIAL : QNLR" + platform::FormatZeroPadded(serial_number, 5);
}

std::string TemperatureText(int raw, const storage::SharedState& s) {
  return platform::FormatFixed(raw * s.Temp_Slope + s.Temp_Offset, 1);
}

std::string FactoryCalibration::Load() {
  auto& s = storage::Shared();
  if (!s.Factory_Calibrated) {
    s.Temp_Offset = acquisition::kDefaultTempOffset;
    s.Temp_Slope = acquisition::kDefaultTempSlope;
  }
  return CalibrationStateText(s);
}

int FactoryCalibration::ReadRaw() {
  return io_.DeviceQuery(devlink::RegTemperature, 0, devlink::ModeCommand);
}

std::optional<std::string> FactoryCalibration::Calibrate(const std::string& target_text) {
  auto& s = storage::Shared();
  auto& dialogs = platform::GetDialogs();
  // A run may have begun while the click waited for the port: its ticks keep it.
  if (s.Acq_State != 0) {
    dialogs.MsgBox(kFactoryAccessRefusal);
    return std::nullopt;
  }
  const int raw = ReadRaw();
  if (raw == -1) {
    dialogs.MsgBox(kNoTemperatureMessage);
    return std::nullopt;
  }
  const double current = raw * s.Temp_Slope + s.Temp_Offset;
  const double target = platform::Val(target_text);
  if (target < kLowestTarget || target > kHighestTarget) {
    dialogs.MsgBox(kTargetRangeMessage);
    return std::nullopt;
  }
  const double offset = s.Temp_Offset + target - current;
  const platform::WallTime now = platform::Now();
  const int month = now.month;
  const int year = now.year % 100;
  const acquisition::FactoryWrite record =
      acquisition::EncodeFactoryRecord(offset, s.Temp_Slope, month, year);
  if (!acquisition::FactoryWriteValid(record)) {
    dialogs.MsgBox(kOffsetRangeMessage);
    return std::nullopt;
  }
  s.Cal_Month = static_cast<int16_t>(month);
  s.Cal_Year = static_cast<int16_t>(year);

  // (register, value) in the order that keeps an unfinished record invalid.
  std::array<std::pair<int, int>, 8> writes{};
  writes[0] = {devlink::kFactoryRecordFirst, kUnfinishedMarker};
  for (int i = 1; i < 7; ++i) writes[i] = {devlink::kFactoryRecordFirst + i, record[i]};
  writes[7] = {devlink::kFactoryRecordFirst, record[0]};
  acquisition::WritePasses passes = acquisition::kServiceWritePasses;
  passes.wait = wait_;
  for (const auto& [reg, value] : writes) {
    if (acquisition::WriteRegisterChecked(io_, reg, value, devlink::ModeWrite, passes, reg) != 1) {
      s.Factory_Calibrated = false;
      return std::string(kNonCalibrated);
    }
  }
  s.Temp_Offset = offset;
  s.Factory_Calibrated = true;
  return CalibratedText(month, year);
}

}  // namespace service
