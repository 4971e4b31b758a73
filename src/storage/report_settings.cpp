#include "storage/report_settings.h"

#include "platform/dialogs.h"
#include "platform/program_folder.h"
#include "platform/system.h"
#include "storage/file_io.h"
#include "storage/settings_text.h"
#include "storage/shared_state.h"

namespace storage {
namespace {

constexpr const char* kHeader =
    "<User_defined>, <Bin>, <filetype>, <spacer>, <stdError>, <stdDev>, <n>, <out_format>, "
    "<organism>, <method>, <threshold>, <rawexport>";

bool WriteReportConfig(int16_t user_defined) {
  const SharedState& s = Shared();
  SettingsWriter w;
  w.Str(kHeader).EndLine();
  w.Int(user_defined).Int(s.Bin).Int(s.filetype).Str(s.spacer).Int(s.stdError).Int(s.stdDev)
      .Int(s.n).Int(s.out_format).Int(s.organism).Int(s.method).Int(s.Report_threshold)
      .Int(s.rawexport).EndLine();
  return WriteFileAtomic(ReportConfigPath(), w.Bytes());
}

void Clamp(int16_t& v, int lo, int hi, int16_t fallback) {
  if (v < lo || v > hi) v = fallback;
}

}  // namespace

std::filesystem::path ReportConfigPath() { return platform::ProgramFolder() / "repoconf.dat"; }

void GetListSeparator() {
  const std::string sep = platform::ListSeparator();
  Shared().List_Separator = sep.empty() ? "," : sep;
}

void SetReportDefaults() {
  SharedState& s = Shared();
  s.Bin = 30;
  s.filetype = 0;
  GetListSeparator();
  s.spacer = s.List_Separator;
  s.stdDev = 0;
  s.out_format = 0;
  s.organism = 0;
  s.rawexport = 0;
  s.stdError = 1;
  s.n = 1;
  s.method = 1;
  s.Report_threshold = 18;
}

void ValidateReportConfig() {
  SharedState& s = Shared();
  Clamp(s.Bin, 2, 1440, 30);
  Clamp(s.filetype, 0, 1, 0);
  Clamp(s.out_format, 0, 3, 0);
  Clamp(s.stdError, 0, 1, 1);
  Clamp(s.stdDev, 0, 1, 0);
  Clamp(s.n, 0, 1, 1);
  // Organism 3 forces method 3, so a stored 3 is a real choice.
  Clamp(s.method, 0, 3, 1);
  Clamp(s.organism, 0, 3, 0);
  Clamp(s.Report_threshold, 5, 30, 18);
  Clamp(s.rawexport, 0, 1, 0);
}

bool SaveReportConfig(int16_t user_defined) {
  if (WriteReportConfig(user_defined)) return true;
  platform::GetDialogs().MsgBox("Error Writing Report Configuration (repoconf.dat)");
  return false;
}

int16_t LoadReportConfig(int16_t flag) {
  SharedState& s = Shared();
  try {
    if (flag != 0 && FileExists(ReportConfigPath())) {
      auto reader = SettingsReader::Open(ReportConfigPath());
      if (!reader) throw FormatError("cannot open");
      reader->SkipField();
      const int16_t user_defined = reader->ReadInt16();
      s.Bin = reader->ReadInt16();
      s.filetype = reader->ReadInt16();
      s.spacer = reader->ReadString();
      s.stdError = reader->ReadInt16();
      s.stdDev = reader->ReadInt16();
      s.n = reader->ReadInt16();
      s.out_format = reader->ReadInt16();
      s.organism = reader->ReadInt16();
      s.method = reader->ReadInt16();
      s.Report_threshold = reader->ReadInt16();
      s.rawexport = reader->ReadInt16();
      ValidateReportConfig();
      return user_defined;
    }
    SetReportDefaults();
    if (!WriteReportConfig(flag)) throw FormatError("cannot write");
    return 0;
  } catch (const FormatError&) {
    platform::GetDialogs().MsgBox("Error loading repoconf.dat -> Using Default values");
    SetReportDefaults();
    SaveReportConfig(0);
    return 0;
  }
}

}  // namespace storage
