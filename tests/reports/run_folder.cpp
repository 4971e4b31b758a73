#include "reports/run_folder.h"

#include <algorithm>

#include "acquisition/link_io.h"
#include "acquisition/run_engine.h"
#include "storage/run_files.h"
#include "link/comm_port.h"
#include "link/device_io.h"
#include "platform/clock.h"
#include "storage/shared_state.h"
#include "support/scripted_dialogs.h"
#include "support/sim_harness.h"
#include "support/temp_folder.h"

namespace reports_test {

namespace fs = std::filesystem;

std::string Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

reports::RunPlate MakePlate(int rows, int cols, const std::vector<PlateChannel>& channels) {
  reports::RunPlate p;
  p.RepPlateRows = rows;
  p.RepPlateCols = cols;
  for (const PlateChannel& c : channels) {
    const auto ch = static_cast<size_t>(c.channel);
    p.Well[ch] = static_cast<int16_t>(c.well);
    p.Beam[ch] = static_cast<int16_t>(c.beam);
    p.ChGroup[ch] = static_cast<int16_t>(c.group);
    p.MaxWell = std::max(p.MaxWell, c.well);
    p.MaxBeam = std::max(p.MaxBeam, c.beam);
  }
  p.BuildWellBeamChannel();
  return p;
}

void WritePlateFile(const fs::path& program_folder, const std::string& name) {
  std::vector<std::string> l = {"\"Plate\",\"wtest\"", "2,1,0,2,1,0", "\"Channels\""};
  for (int ch = 0; ch <= 17; ++ch) {
    int well = -1;
    if (ch == 0) well = 0;
    if (ch == 1) well = 1;
    if (ch == 16) well = 2;
    if (ch == 17) well = 3;
    l.push_back("\"CH" + std::to_string(ch) + "\"," + std::to_string(well) + ",0");
  }
  testsupport::WriteBytes(program_folder / (name + ".dat"), Lines(l));
}

void WriteRunTexts(const fs::path& folder, const RunTexts& texts) {
  fs::create_directories(folder);
  testsupport::WriteBytes(
      folder / "setup.dat",
      Lines(
          {"\"Project Setup: <Num_proj>,<Name>,<Working_folder>,<Plate_format>\"",
           "1,\"Test\",\"/tmp/p00001/\",\"" + texts.plate + "\"",
           "\"<Aq_mode>,<Aq_lapse>,<Sample_Rate>,<RT_Buffer>,<DSP_Method>,<DSP_Interval>\"",
           "1,30,99,500," + std::to_string(texts.method) + ",30",
           "\"<Binary_Acq>,<Threshold_Counter>,<Cal_value>,<Cal_mode>,<Save_counts>,<Save_real>\"",
           "1,300,80,1,1,1",
           "\"Tools: <Menu1:Cal>, <Menu2:Light>, <Menu3:Temp>, <Menu4>, <Menu5>, <Menu6>\"",
           "1,0,0,0,0,0",
           "\"Mn1: <Organism>, <Enab_Cal>, <Enab_Zero>, <SNRx10>,,\"",
           std::to_string(texts.organism) + ",1,1," + std::to_string(texts.snr_x10) + ",0,0",
           "\"Mn2: <Enable>, <Time_ON>, <v3:Time_OFF>,,,\"",
           "0,9,21,0,0,0",
           "\"Mn3: <v1:Enable>, <v2:Tempx10>,,,,\"",
           "0,200,0,0,0,0",
           "\"Mn4: ,,,,,\"",
           "0,0,0,0,0,0",
           "\"Mn5: ,,,,,\"",
           "0,0,0,0,0,0",
           "\"Mn6: ,,,,,\"",
           "0,0,0,0,0,0"}));
  std::vector<std::string> groups = {"\"<Group_Number>, <Group_Name>\""};
  for (size_t g = 0; g < 385; ++g)
    groups.push_back(std::to_string(g) + ",\"" +
                     (g < texts.group_names.size() ? texts.group_names[g] : std::string("Free")) +
                     "\"");
  testsupport::WriteBytes(folder / "groups.dat", Lines(groups));
  std::vector<int> group_of(385, -1);
  for (auto [ch, g] : texts.channel_groups) group_of[static_cast<size_t>(ch)] = g;
  std::vector<std::string> chgroup = {"\"<Channel>, <Group: -1=Free>\""};
  for (size_t ch = 0; ch < 385; ++ch)
    chgroup.push_back(std::to_string(ch) + "," + std::to_string(group_of[ch]));
  testsupport::WriteBytes(folder / "chgroup.dat", Lines(chgroup));
  if (!texts.run_name.empty())
    testsupport::WriteBytes(folder / "subproj.dat", Lines({"\"" + texts.run_name + "\"", "\"\""}));
}

void AppendCounts(const fs::path& folder, int count, const std::function<int(int)>& minute,
                  const std::function<int(int, int)>& counts,
                  const std::function<int(int)>& temperature) {
  for (int r = 0; r < count; ++r) {
    storage::CountsRecord rec;
    rec.Elapsed_Minutes = minute(r);
    for (int c = 0; c < 384; ++c)
      rec.Counts[static_cast<size_t>(c)] = static_cast<int16_t>(counts(r, c));
    rec.Counts[384] = static_cast<int16_t>(temperature(r));
    storage::AppendCountsRecord(folder / storage::CountsFileName(), rec);
  }
}

void AppendHisto(const fs::path& folder, int file_number, double minutes, double sample_seconds,
                 int cls, int value) {
  storage::HistoRecord rec;
  rec.Elapsed_Minutes_Exact = minutes;
  rec.Sample_Seconds = sample_seconds;
  for (int ch : {0, 1, 16, 17}) rec.At(ch, cls) = value;
  storage::AppendHistoRecord(folder / storage::HistoFileName(file_number), rec);
}

fs::path RecordSimulatedRun(const fs::path& home, int lapse_minutes, bool save_raw) {
  storage::ResetSharedState();
  platform::Clock& previous_clock = platform::GetClock();
  platform::ManualClock clock({2026, 3, 14, 10, 5, 0});
  platform::SetClock(&clock);
  auto& sh = storage::Shared();
  const fs::path project = home / "p00001";
  fs::create_directories(project);
  sh.Project_Path = project.string();
  sh.Actual_Project_Number = 1;
  sh.Plate_format = "w384";  // no file: the built-in 384-well plate, as the report takes it too
  sh.Aq_lapse = static_cast<int16_t>(lapse_minutes);
  sh.Save_real = save_raw ? 1 : 0;
  for (int ch = 0; ch < storage::kChannelCount; ++ch)
    sh.Channel_Well[static_cast<size_t>(ch)] = static_cast<int16_t>(ch);

  testsupport::SimHarness sim(4, home);
  sim->SetReplyMode(sim::ReplyMode::kGroup);
  sim->SetTemperature(24.0);
  fs::path run;
  if (devlink::CommOpen(4, "COM4", devlink::kInstrumentSettings) == 0) {
    devlink::SetInstrumentPort(4);
    testsupport::ScriptedDialogs dialogs;
    dialogs.AllowAnyOk();
    acquisition::LinkIo io;
    acquisition::RunView view;
    acquisition::RunEngine engine{io, view};
    engine.EndProcess = [] {};
    engine.controls.Auto_Run = true;
    if (engine.Start() == acquisition::StartResult::kStarted) {
      for (int tick = 0; engine.TimerEnabled() && tick < 8000; ++tick) {
        clock.Advance(150);
        engine.Tick();
      }
      run = engine.RunFolderPath();
    }
    devlink::CommClose(4);
    devlink::SetInstrumentPort(0);
  }
  platform::SetClock(&previous_clock);
  return run;
}

}  // namespace reports_test
