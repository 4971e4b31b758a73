#pragma once
// Synthetic run folders for the report tests: setup.dat, groups.dat, chgroup.dat,
// subproj.dat and the binary records written through the acquisition's own writer,
// plus a small plate layout file in the program folder.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "reports/report_tables.h"

namespace reports_test {

// The degree sign of the temperature captions, in UTF-8.
inline const std::string kDeg = "\xC2\xB0";

struct PlateChannel {
  int channel;
  int well;
  int group;  // -1: Free
  int beam = 0;
};
// A report plate of rows x cols wells holding the given channels; group names are set
// by the caller.
reports::RunPlate MakePlate(int rows, int cols, const std::vector<PlateChannel>& channels);

// A 2 x 2 plate "wtest": channel 0 -> A1, 1 -> B1, 16 -> A2, 17 -> B2 (one beam each);
// every other channel is off the plate.
void WritePlateFile(const std::filesystem::path& program_folder, const std::string& name = "wtest");

struct RunTexts {
  std::string plate = "wtest";
  int method = 1;
  int organism = 0;
  int snr_x10 = 18;
  std::vector<std::string> group_names = {"Control", "Drug"};
  // Group of each channel; channels not listed are Free.
  std::vector<std::pair<int, int>> channel_groups = {{0, 0}, {1, 0}, {16, 1}};
  std::string run_name;  // subproj.dat's name; empty: no subproj.dat
};

// Writes the text files of a run folder (creates the folder).
void WriteRunTexts(const std::filesystem::path& folder, const RunTexts& texts = {});

// Appends `count` counts records: record r has minute minute(r), channel c count
// count(r, c) and temperature x 10 temperature(r).
void AppendCounts(const std::filesystem::path& folder, int count,
                  const std::function<int(int)>& minute, const std::function<int(int, int)>& counts,
                  const std::function<int(int)>& temperature);

// Appends one histogram record to histo file `file_number`: every plate channel has
// `value` in class `cls`.
void AppendHisto(const std::filesystem::path& folder, int file_number, double minutes,
                 double sample_seconds, int cls, int value);

// Records a run of `lapse_minutes` with the acquisition engine against the simulated
// instrument (in this process, on COM4 of `home`) in project p00001 on the built-in
// 384-well plate, every channel on the plate, named "Autorun project"; the engine's
// clock moves 150 ms a tick. Returns the run folder. Resets the shared settings.
std::filesystem::path RecordSimulatedRun(const std::filesystem::path& home, int lapse_minutes,
                                         bool save_raw);

// The bytes of lines joined by CR LF, each line ended by CR LF.
std::string Lines(const std::vector<std::string>& lines);

}  // namespace reports_test
