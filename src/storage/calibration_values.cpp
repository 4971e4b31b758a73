#include "storage/calibration_values.h"

#include <string>

#include "platform/program_folder.h"
#include "storage/file_io.h"
#include "storage/settings_text.h"
#include "storage/shared_state.h"

namespace storage {
namespace {

// The instrument's setting byte is Gain * 32 + PinHole: anything that does not fit
// its fields would be sent as a different setting, so the file is taken as damaged.
bool ValidSetting(int16_t pinhole, int16_t gain) {
  return pinhole >= 0 && pinhole <= 31 && gain >= 0 && gain <= 7;
}

std::string CalBytes(const char* header_line, int channels) {
  const SharedState& s = Shared();
  SettingsWriter w;
  w.Raw(header_line).EndLine();
  for (int ch = 0; ch < channels; ++ch) {
    const auto i = static_cast<size_t>(ch);
    w.Int(ch).Int(s.PinHole[i]).Int(s.Gain[i]).EndLine();
  }
  return w.Bytes();
}

}  // namespace

std::filesystem::path CalValuesPath() { return platform::ProgramFolder() / "calvalue.dat"; }

bool LoadCalValues() {
  SharedState& s = Shared();
  const auto bytes = ReadTextFile(CalValuesPath());
  if (!bytes) return false;
  const std::string text = DecodeText(*bytes);
  size_t pos = 0;
  auto next_line = [&](std::string* line) {
    if (pos >= text.size()) return false;
    const size_t end = text.find_first_of("\r\n", pos);
    *line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? text.size() : end + 1;
    if (end != std::string::npos && text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    return true;
  };
  std::string line;
  if (!next_line(&line)) return true;  // the header, whatever it holds
  int i = 0;
  try {
    while (i < kTableSize && next_line(&line)) {
      std::string clean;
      for (const char c : line)
        if (c != '"') clean += c;
      if (clean.find_first_not_of(" \t") == std::string::npos) continue;
      const size_t c1 = clean.find(',');
      if (c1 == std::string::npos) throw FormatError("Type mismatch");
      const size_t c2 = clean.find(',', c1 + 1);
      if (c2 == std::string::npos) throw FormatError("Type mismatch");
      const int16_t pinhole = ParseInt16(std::string_view(clean).substr(c1 + 1, c2 - c1 - 1));
      const int16_t gain = ParseInt16(std::string_view(clean).substr(c2 + 1));
      if (!ValidSetting(pinhole, gain)) throw FormatError("setting out of range");
      s.PinHole[static_cast<size_t>(i)] = pinhole;
      s.Gain[static_cast<size_t>(i)] = gain;
      ++i;
    }
  } catch (const FormatError&) {
    return false;
  }
  return true;
}

bool ResetCalValues() {
  Shared().SetCalDefaults();
  return SaveCalValues();
}

bool SaveCalValues() {
  return WriteFileAtomic(CalValuesPath(), CalBytes("\"<Num_Channel>, <PinHole>, <Gain> \"", kChannelCount));
}

bool SaveCalValuesReadBack(const std::filesystem::path& file, int channels) {
  if (channels < 0) channels = 0;
  if (channels > kChannelCount) channels = kChannelCount;
  return WriteFileAtomic(file, CalBytes("channel, power, gain", channels));
}

}  // namespace storage
