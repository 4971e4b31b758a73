#include "storage/plate_layout.h"

#include <algorithm>
#include <cmath>

#include "platform/dialogs.h"
#include "platform/program_folder.h"
#include "storage/file_io.h"
#include "storage/settings_text.h"

namespace storage {
namespace {

// Largest plate the grid accepts (a 1536-well plate); keeps Well_Grid small
// whatever a damaged file says.
constexpr int kMaxWells = 1536;

void Check(bool ok, const char* reason) {
  if (!ok) throw FormatError(reason);
}

std::optional<std::filesystem::path> LayoutPathIn(const std::filesystem::path& folder,
                                                  const std::string& format) {
  if (format.empty() || format.find('/') != std::string::npos ||
      format.find('\\') != std::string::npos || format.find("..") != std::string::npos)
    return std::nullopt;
  return folder / (format + ".dat");
}

}  // namespace

int PlateView::WellOf(int channel) const {
  if (channel < 0 || static_cast<size_t>(channel) >= channel_well.size() ||
      channel >= kChannelCount)
    return -1;
  const int well = channel_well[static_cast<size_t>(channel)];
  return well < 0 ? -1 : well;
}

int PlateView::ClaimedChannel(int well, int beam) const {
  if (well < 0 || beam < 0 || well > max_well || beam >= grid_beams) return -1;
  const size_t slot =
      static_cast<size_t>(well) * static_cast<size_t>(grid_beams) + static_cast<size_t>(beam);
  if (slot >= well_grid.size()) return -1;
  const int ch = well_grid[slot];
  if (WellOf(ch) != well || static_cast<size_t>(ch) >= channel_beam.size() ||
      channel_beam[static_cast<size_t>(ch)] != beam)
    return -1;
  return ch;
}

PlateView SharedPlateView(const SharedState& s) {
  PlateView v;
  v.rows = s.Plate_Rows;
  v.cols = s.Plate_Cols;
  v.row_pitch = s.Row_Pitch;
  v.row_offset = s.Row_Offset;
  v.col_pitch = s.Col_Pitch;
  v.col_offset = s.Col_Offset;
  // The grid holds wells 0..Well_Grid_Wells-1: a Max_Well set without a rebuild
  // must not reach past it.
  v.max_well = std::min<int>(s.Max_Well, s.Well_Grid_Wells - 1);
  v.max_beam = s.Max_Beam;
  v.channel_well = s.Channel_Well;
  v.channel_beam = s.Channel_Beam;
  v.well_grid = s.Well_Grid;
  v.grid_beams = s.Well_Grid_Beams;
  return v;
}

std::string WellLabel(int well, int plate_rows) {
  if (well < 0 || plate_rows <= 0) return {};
  return std::string(1, static_cast<char>(65 + well % plate_rows)) +
         std::to_string(well / plate_rows + 1);
}

std::string ChannelLabel(const PlateView& plate, int channel) {
  const int well = plate.WellOf(channel);
  if (well < 0 || plate.rows <= 0) return {};
  return WellLabel(well, plate.rows) + "." +
         std::to_string(plate.channel_beam[static_cast<size_t>(channel)]);
}

std::optional<std::filesystem::path> PlateLayoutPath(const std::string& format) {
  return LayoutPathIn(platform::ProgramFolder(), format);
}

std::optional<PlateLayout> ReadPlateLayoutFile(const std::filesystem::path& file, int* stage,
                                               std::string* reason) {
  int local_stage = 0;
  int& st = stage ? *stage : local_stage;
  st = 0;
  PlateLayout p;
  p.channel_well.fill(-1);
  try {
    auto reader = SettingsReader::Open(file);
    if (!reader) throw FormatError("file not found");
    st = 1;
    reader->SkipField();
    reader->SkipField();
    p.rows = reader->ReadInt16();
    p.row_pitch = reader->ReadDouble();
    p.row_offset = reader->ReadDouble();
    p.cols = reader->ReadInt16();
    p.col_pitch = reader->ReadDouble();
    p.col_offset = reader->ReadDouble();
    reader->SkipField();
    st = 2;
    for (size_t i = 0; i < kTableSize && !reader->Eof(); ++i) {
      reader->SkipField();
      p.channel_well[i] = reader->ReadInt16();
      p.channel_beam[i] = reader->ReadInt16();
      if (p.channel_well[i] > p.max_well) p.max_well = p.channel_well[i];
      if (p.channel_beam[i] > p.max_beam) p.max_beam = p.channel_beam[i];
    }
    st = 3;
    Check(p.rows >= 1 && p.cols >= 1, "rows or columns below 1");
    Check(static_cast<int>(p.rows) * p.cols <= kMaxWells, "plate too large");
    // Every click on the plate picture divides by the pitches.
    Check(p.row_pitch > 0 && p.col_pitch > 0 && std::isfinite(p.row_pitch) &&
              std::isfinite(p.col_pitch) && std::isfinite(p.row_offset) &&
              std::isfinite(p.col_offset),
          "pitch not above 0");
    // Every record read sets Max_Well and Max_Beam, which size Well_Grid: the spare
    // record and channels off the plate are held to the same bounds.
    Check(p.max_well < p.rows * p.cols, "well outside the plate");
    Check(p.max_beam < kChannelCount, "beam outside the grid");
    for (size_t ch = 0; ch < kChannelCount; ++ch)
      if (p.channel_well[ch] >= 0) Check(p.channel_beam[ch] >= 0, "beam outside the grid");
  } catch (const FormatError& e) {
    if (reason) *reason = e.what();
    return std::nullopt;
  }
  return p;
}

bool IsBuiltInPlateLayout(const std::string& format) {
  return format == "w96f" || format == "w384" || format == "w96u";
}

PlateLayout BuiltInPlateLayout(const std::string& format) {
  PlateLayout p;
  p.channel_well.fill(-1);
  if (format == "w384") {
    p.rows = 16; p.row_pitch = 1.0; p.row_offset = 0.0;
    p.cols = 24; p.col_pitch = 1.0; p.col_offset = 0.0;
    for (int ch = 0; ch < kChannelCount; ++ch) p.channel_well[static_cast<size_t>(ch)] = static_cast<int16_t>(ch);
    p.max_well = 383;
    p.max_beam = 0;
    return p;
  }
  const bool unique = format == "w96u";  // one beam per well; else two ("w96f")
  p.rows = 8; p.row_pitch = 2.0; p.row_offset = -0.5;
  p.cols = 12; p.col_pitch = 2.0; p.col_offset = unique ? -0.5 : 0.0;
  int16_t w = 0;
  for (int c = 0; c < 24; ++c) {
    for (int r = 0; r < 16; r += 2) {
      const auto a = static_cast<size_t>(c * 16 + r);
      if (c % 2 == 0) {
        p.channel_well[a] = w++;
      } else if (!unique) {
        p.channel_well[a] = p.channel_well[a - 16];
        p.channel_beam[a] = 1;
      }
      p.channel_well[a + 1] = -1;
    }
  }
  p.max_well = 95;
  p.max_beam = unique ? 0 : 1;
  return p;
}

std::string PlateLayoutFileText(const PlateLayout& p, const std::string& description) {
  SettingsWriter w;
  w.Str("Plate format").Str(description).EndLine();
  w.Int(p.rows).Num(p.row_pitch).Num(p.row_offset).Int(p.cols).Num(p.col_pitch)
      .Num(p.col_offset).EndLine();
  w.Str("<Label>, <Well>, <Beam>").EndLine();
  for (size_t ch = 0; ch < kChannelCount; ++ch) {
    const int well = p.channel_well[ch];
    const std::string label = well < 0 ? "-"
                                       : WellLabel(well, p.rows) + "." +
                                             std::to_string(p.channel_beam[ch]);
    w.Str(label).Int(well).Int(p.channel_beam[ch]).EndLine();
  }
  return w.Bytes();
}

std::string BuiltInPlateLayoutFileText(const std::string& format) {
  const PlateLayout p = BuiltInPlateLayout(format);
  const int beams = p.max_beam + 1;
  const std::string wells = std::to_string(static_cast<int>(p.rows) * p.cols) + " wells, " +
                            std::to_string(beams) + (beams == 1 ? " beam" : " beams") +
                            " per well";
  return PlateLayoutFileText(p, (IsBuiltInPlateLayout(format) ? format : "w96f") + ": " + wells);
}

RunLayoutRead ReadRunPlateLayout(const std::string& format,
                                 const std::filesystem::path& program_folder,
                                 PlateLayout& layout, std::string* reason) {
  if (const auto path = LayoutPathIn(program_folder, format)) {
    std::filesystem::path backup = *path;
    backup.replace_extension(".bak");
    std::optional<std::string> first_reason;
    for (const auto& file : {*path, backup}) {
      if (!FileExists(file)) continue;
      int stage = 0;
      std::string why;
      if (auto read = ReadPlateLayoutFile(file, &stage, &why)) {
        layout = *read;
        return RunLayoutRead::kOk;
      }
      if (!first_reason) first_reason = why;
    }
    if (first_reason) {
      if (reason) *reason = *first_reason;
      return RunLayoutRead::kDamaged;
    }
  }
  if (!IsBuiltInPlateLayout(format)) return RunLayoutRead::kNotFound;
  layout = BuiltInPlateLayout(format);
  return RunLayoutRead::kOk;
}

void ApplyPlateLayout(const PlateLayout& p) {
  SharedState& s = Shared();
  s.Plate_Rows = p.rows;
  s.Row_Pitch = p.row_pitch;
  s.Row_Offset = p.row_offset;
  s.Plate_Cols = p.cols;
  s.Col_Pitch = p.col_pitch;
  s.Col_Offset = p.col_offset;
  s.Channel_Well = p.channel_well;
  s.Channel_Beam = p.channel_beam;
  s.Max_Well = p.max_well;
  s.Max_Beam = p.max_beam;
  s.ResizeWellGrid(p.max_well, p.max_beam);
  for (int ch = 0; ch < kChannelCount; ++ch) {
    const auto i = static_cast<size_t>(ch);
    if (p.channel_well[i] >= 0) s.SetWellGrid(p.channel_well[i], p.channel_beam[i], static_cast<int16_t>(ch));
  }
}

std::optional<PlateLayout> ReadPlateLayout(const std::string& format, std::string* error) {
  const auto path = PlateLayoutPath(format);
  std::string reason = "not a plate format name";
  int stage = 0;
  std::optional<PlateLayout> layout;
  if (path) layout = ReadPlateLayoutFile(*path, &stage, &reason);
  if (!layout && error) {
    *error = "Error [\\" + format + ".dat] ID#" + std::to_string(stage) + ": " + reason;
  }
  return layout;
}

bool LoadPlateLayoutNoTrap(std::string* error) {
  const auto layout = ReadPlateLayout(Shared().Plate_format, error);
  if (!layout) return false;
  ApplyPlateLayout(*layout);
  return true;
}

void LoadPlateLayout() {
  SharedState& s = Shared();
  const auto path = PlateLayoutPath(s.Plate_format);
  int stage = 0;
  std::optional<PlateLayout> layout;
  if (path) layout = ReadPlateLayoutFile(*path, &stage);
  if (layout) {
    ApplyPlateLayout(*layout);
    return;
  }
  platform::GetDialogs().MsgBox("Error [\\" + s.Plate_format + ".dat] ID#" + std::to_string(stage) +
                                " => Loading plate format from default: 384,96f or 96u...");
  if (!IsBuiltInPlateLayout(s.Plate_format)) s.Plate_format = "w96f";
  ApplyPlateLayout(BuiltInPlateLayout(s.Plate_format));
}

}  // namespace storage
