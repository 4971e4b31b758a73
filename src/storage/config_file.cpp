#include "storage/config_file.h"

#include "platform/dialogs.h"
#include "platform/program_folder.h"
#include "storage/file_io.h"
#include "storage/settings_text.h"
#include "storage/shared_state.h"

namespace storage {

std::filesystem::path ConfigFilePath() { return platform::ProgramFolder() / "config.dat"; }

void LoadConfig() {
  SharedState& s = Shared();
  try {
    auto reader = SettingsReader::Open(ConfigFilePath());
    if (!reader) throw FormatError("missing");
    reader->SkipField();
    const int16_t project = reader->ReadInt16();
    const int16_t last = reader->ReadInt16();
    const int16_t com = reader->ReadInt16();
    (void)reader->ReadInt16();  // Restart_Time: stored, never used
    s.Actual_Project_Number = project < 0 ? int16_t{0} : project;
    s.Last_Project = last;
    if (s.Actual_Project_Number > s.Last_Project) s.Last_Project = s.Actual_Project_Number;
    s.Serial_COM = com < 1 ? int16_t{1} : (com > 16 ? int16_t{16} : com);
    s.Restart_Time = 0;
  } catch (const FormatError&) {
    platform::GetDialogs().MsgBox("Error opening config File >>>> Loading DEFAULT configuration...");
    s.Actual_Project_Number = 1;
    s.Last_Project = 1;
    s.Serial_COM = 4;
    s.Restart_Time = 0;
  }
}

bool SaveConfig() {
  const SharedState& s = Shared();
  SettingsWriter w;
  w.Str("Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>").EndLine();
  w.Int(s.Actual_Project_Number).Int(s.Last_Project).Int(s.Serial_COM).Int(s.Restart_Time).EndLine();
  if (!WriteFileAtomic(ConfigFilePath(), w.Bytes())) {
    platform::GetDialogs().MsgBox("<Error Saving Config File>");
    return false;
  }
  return true;
}

}  // namespace storage
