#pragma once
// The factory window's work: the temperature shown once a second and the sensor
// calibration that stores a new offset, with the month and year, in the instrument's
// factory record (addresses 200..206).
//
// The record is written so that a write failing half-way reads back invalid: the
// marker 200 is first set to 255, then 201..206 are written, and 200 = 0 comes last.
// The next connection then rejects an unfinished record instead of taking a wrong
// offset from it.
#include <optional>
#include <string>

#include "acquisition/instrument_io.h"

namespace storage {
struct SharedState;
}

namespace service {

inline constexpr const char* kNonCalibrated = "NON Calibrated";
inline constexpr const char* kTargetRangeMessage =
    "invalid Calibration Parameter: value must be between 4\xC2\xB0"
    "C and 50\xC2\xB0"
    "C";
inline constexpr const char* kOffsetRangeMessage =
    "invalid Calibration Parameter: the new offset must lie between -10\xC2\xB0"
    "C and 10\xC2\xB0"
    "C";
inline constexpr const char* kNoTemperatureMessage =
    "No temperature answer from the instrument... Check COM and Try again";
// The factory window is for a stopped instrument: online, no run going or paused.
inline constexpr const char* kFactoryAccessRefusal =
    "Only possible to access in: ONLINE mode and STOP experiment";
// txt_mensaje while the temperature readings get no answer.
inline constexpr const char* kInstrumentSilentText = "The instrument does not answer... Check COM";

// The temperature display's pace: a reading a second, and after one that got no
// answer (it held the window about a second) a longer wait before the next.
inline constexpr int kReadingIntervalMs = 1000;
inline constexpr int kSilentReadingIntervalMs = 5000;

// txt_mensaje of a calibrated instrument: "OK Last Factory Calibration 06/24 [mm/yy]".
std::string CalibratedText(int month, int year);
// txt_mensaje for the shared state's record.
std::string CalibrationStateText(const storage::SharedState& s);
// lblserial: "SERIAL : QNLR" and the serial number in five digits.
std::string SerialText(int serial_number);
// txt_current_temp: raw x Temp_Slope + Temp_Offset formatted "0.0" (-1 shown as computed).
std::string TemperatureText(int raw, const storage::SharedState& s);

class FactoryCalibration {
 public:
  // `wait` waits out the pauses between the record's writes (a sleep when null).
  explicit FactoryCalibration(acquisition::InstrumentIo& io, void (*wait)(int ms) = nullptr)
      : io_(io), wait_(wait) {}

  // Form_Load: an instrument without a valid record gets the default offset and
  // slope before anything is shown. The text for txt_mensaje.
  std::string Load();
  // The temperature register's raw byte, -1 without an answer.
  int ReadRaw();
  // SET with the text of txt_set_temp. Refusals (no temperature answer, a target
  // outside 4..50, an offset the record cannot hold) show their message, send no
  // write and return nullopt with nothing changed. Otherwise the record is written
  // and the new text for txt_mensaje returned: calibrated, or "NON Calibrated" after
  // a failed write (the write's own message was shown; the offset in memory stays).
  std::optional<std::string> Calibrate(const std::string& target_text);

 private:
  acquisition::InstrumentIo& io_;
  void (*wait_)(int ms);
};

}  // namespace service
