#pragma once
// A program folder with recorded projects and runs for the browser's tests: setup.dat
// through the storage writer, channel files and plate layouts as bytes, counts.bin
// through the acquisition's own record writer.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "storage/run_files.h"
#include "storage/setup_file.h"
#include "storage/shared_state.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

namespace offline_test {

namespace fs = std::filesystem;

// Lines joined with CR LF, each line ended.
inline std::string Crlf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

struct RunSetup {
  std::string plate = "wtest";
  int lapse = 30;
  int method = 1;
  int organism = 0;
  int snr_x10 = 18;
};

// One counts record: its minute and the count of every channel listed (others 0).
struct Record {
  int minute = 0;
  std::vector<std::pair<int, int>> counts;  // (channel, count)
};

class OfflineTest : public ::testing::Test {
 protected:
  OfflineTest() { storage::ResetSharedState(); }
  ~OfflineTest() override { storage::ResetSharedState(); }

  const fs::path& Home() const { return home_.path(); }

  // A project folder p0000n with a whole setup.dat naming it.
  fs::path MakeProject(int number, const std::string& name) {
    const fs::path folder = Home() / ("p" + Five(number));
    fs::create_directories(folder);
    storage::SharedState saved = storage::Shared();
    storage::Shared().Actual_Project_Number = static_cast<int16_t>(number);
    storage::Shared().Project_Name = name;
    testsupport::WriteBytes(folder / "setup.dat", storage::SetupFileBytes());
    storage::Shared() = saved;
    return folder;
  }

  // A run folder with setup.dat (from `setup`), subproj.dat when `name` is given and
  // counts.bin when `records` are given.
  fs::path MakeRun(const fs::path& project, const std::string& run, const std::string& name,
                   const std::vector<Record>& records, const RunSetup& setup = {}) {
    const fs::path folder = project / run;
    fs::create_directories(folder);
    WriteRunSetup(folder, setup);
    if (!name.empty())
      testsupport::WriteBytes(folder / "subproj.dat", "\"" + name + "\"\r\n\"\"\r\n");
    if (!records.empty()) AppendRecords(folder, records);
    return folder;
  }

  static void WriteRunSetup(const fs::path& folder, const RunSetup& setup) {
    storage::SharedState saved = storage::Shared();
    auto& s = storage::Shared();
    s.Plate_format = setup.plate;
    s.Aq_lapse = static_cast<int16_t>(setup.lapse);
    s.DSP_Method = static_cast<int16_t>(setup.method);
    s.MnAt(1, 0) = static_cast<int16_t>(setup.organism);
    s.MnAt(1, 3) = static_cast<int16_t>(setup.snr_x10);
    testsupport::WriteBytes(folder / "setup.dat", storage::SetupFileBytes());
    storage::Shared() = saved;
  }

  static void AppendRecords(const fs::path& folder, const std::vector<Record>& records) {
    for (const Record& r : records) {
      storage::CountsRecord c;
      c.Elapsed_Minutes = r.minute;
      for (const auto& [ch, v] : r.counts)
        c.Counts[static_cast<size_t>(ch)] = static_cast<int16_t>(v);
      storage::AppendCountsRecord(folder / "counts.bin", c);
    }
  }

  // groups.dat and chgroup.dat: names of groups 0.., and (channel, group) pairs; every
  // other channel Free.
  static void WriteGroups(const fs::path& folder, const std::vector<std::string>& names,
                          const std::vector<std::pair<int, int>>& channel_groups) {
    std::vector<std::string> g = {"\"<Group_Number>, <Group_Name>\""};
    for (int k = 0; k < 384; ++k)
      g.push_back(std::to_string(k) + ",\"" +
                  (k < static_cast<int>(names.size()) ? names[static_cast<size_t>(k)] : "Free") +
                  "\"");
    testsupport::WriteBytes(folder / "groups.dat", Crlf(g));
    std::vector<int> of(384, -1);
    for (const auto& [ch, grp] : channel_groups) of[static_cast<size_t>(ch)] = grp;
    std::vector<std::string> c = {"\"<Channel>, <Group: -1=Free>\""};
    for (int k = 0; k < 384; ++k)
      c.push_back(std::to_string(k) + "," + std::to_string(of[static_cast<size_t>(k)]));
    testsupport::WriteBytes(folder / "chgroup.dat", Crlf(c));
  }

  // A plate layout file: rows x cols wells, pitch 1 and offset 0 unless given; the
  // channels listed as (channel, well, beam), every other channel off the plate.
  void WritePlate(const std::string& name, int rows, int cols,
                  const std::vector<std::tuple<int, int, int>>& channels, double pitch = 1.0,
                  double offset = 0.0) const {
    std::vector<std::string> lines = {"\"Plate\",\"" + name + "\"",
                                      std::to_string(rows) + "," + Num(pitch) + "," + Num(offset) +
                                          "," + std::to_string(cols) + "," + Num(pitch) + "," +
                                          Num(offset),
                                      "\"<label>,<well>,<beam>\""};
    std::vector<std::pair<int, int>> map(385, {-1, 0});
    for (const auto& [ch, well, beam] : channels) map[static_cast<size_t>(ch)] = {well, beam};
    for (int ch = 0; ch < 385; ++ch)
      lines.push_back("\"c" + std::to_string(ch) + "\"," +
                      std::to_string(map[static_cast<size_t>(ch)].first) + "," +
                      std::to_string(map[static_cast<size_t>(ch)].second));
    testsupport::WriteBytes(Home() / (name + ".dat"), Crlf(lines));
  }

  // The 2 x 2 plate "wtest": channel 0 -> A1, 1 -> B1, 16 -> A2, 17 -> B2.
  void WriteTestPlate() const {
    WritePlate("wtest", 2, 2, {{0, 0, 0}, {1, 1, 0}, {16, 2, 0}, {17, 3, 0}});
  }

  static std::string Five(int n) {
    std::string s = std::to_string(n);
    return std::string(5 - std::min<size_t>(5, s.size()), '0') + s;
  }
  static std::string Num(double v) {
    std::string s = std::to_string(v);
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
  }

  testsupport::TempProgramFolder home_;
  testsupport::ScriptedDialogs dialogs_;
};

}  // namespace offline_test
