#pragma once
// calvalue.dat in the program folder: the last emitter setting (PinHole) and
// receiver gain (Gain) of every channel, kept with the instrument. CR LF lines:
//
//   "<Num_Channel>, <PinHole>, <Gain> "     quoted header (trailing blank inside)
//   0,2,3                                   channel,PinHole,Gain for channels 0..383
//
// The run-start calibration writes a variant with the plain header
// "channel, power, gain" and lines for channels 0..254 only. The loader reads either
// form by line order: the k-th non-empty data line fills channel k, quotes ignored.
#include <filesystem>

namespace storage {

std::filesystem::path CalValuesPath();

// Fills PinHole and Gain; false when the file is missing or holds a value that is
// not a setting (the tables then keep what was read up to that line). No message.
bool LoadCalValues();
// Every channel to PinHole 2, Gain 3, and the file written; false on a write failure.
bool ResetCalValues();
// Writes the file from the current tables; false on a write failure.
bool SaveCalValues();
// The run-start variant: plain header and channels 0..channels-1, to `file`.
bool SaveCalValuesReadBack(const std::filesystem::path& file, int channels);

}  // namespace storage
