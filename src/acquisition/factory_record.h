#pragma once
// The instrument's factory calibration record: eight bytes at addresses 200..207
// that give the temperature sensor's offset and slope.
//
//   200  marker, always 0
//   201  month of the last factory calibration, 1..12
//   202  year, two digits, 0..99
//   203  sign of the offset: 0 at least 0, 1 negative
//   204  |offset| in tenths of a degree
//   205  low byte of slope x 1000
//   206  high byte of slope x 1000: slope = (b206 x 256 + b205) / 1000
//   207  not used
//
// temperature in degrees C = raw x Temp_Slope + Temp_Offset; a record that fails a
// check gives the defaults 0.0 and 0.219. The factory window writes the record with
// EncodeFactoryRecord; the connection reads it back with ReadFactoryCalibration.
#include <array>
#include <cstdint>
#include <functional>

#include "storage/shared_state.h"

namespace acquisition {

inline constexpr double kDefaultTempOffset = 0.0;
inline constexpr double kDefaultTempSlope = 0.219;

// The record's bytes as read, -1 where no byte was read.
using FactoryBytes = std::array<int, 8>;

// True when every check of the record passes (what ApplyFactoryRecord accepts).
bool FactoryRecordValid(const FactoryBytes& bytes);

// The bytes for addresses 200..206 (207 is never written): marker 0, month, year,
// sign, |offset| x 10 rounded half to even, slope x 1000 split into a low byte
// (rounded half to even) and a high byte (floor of slope x 1000 / 256).
using FactoryWrite = std::array<int, 7>;
FactoryWrite EncodeFactoryRecord(double offset, double slope, int month, int year);
// True when every byte fits 0..255 and the record reads back valid.
bool FactoryWriteValid(const FactoryWrite& bytes);

// Checks a record and sets Factory_Calibrated, Cal_Month, Cal_Year,
// Temp_Offset_Sign, Temp_Offset and Temp_Slope. Fields whose own check fails keep
// their earlier value; any failed check puts in the default offset and slope.
void ApplyFactoryRecord(const FactoryBytes& bytes, storage::SharedState& state);

// Reads the record from the instrument port (each byte must answer twice alike,
// up to three tries) and applies it. `do_events` lets window events run between
// the addresses.
void ReadFactoryCalibration(const std::function<void()>& do_events = {});

}  // namespace acquisition
