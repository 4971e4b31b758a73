#pragma once
// Plate layout files, one per plate format, in the program folder as
// <Plate_format>.dat; installed with the program and never written by it.
// Settings text form, CR LF:
//
//   "header","header"                      two fields, skipped
//   rows,row_pitch,row_offset,cols,col_pitch,col_offset
//                                          16-bit, double, double, 16-bit, double, double
//   "header"                               one field, skipped
//   "label",well,beam                      up to 385 records, record i = channel i;
//                                          well -1 = channel not on the plate
//
// Wells are numbered column by column from 0 (column * rows + row); pitches and
// offsets are in channel spacings of the instrument's 24 x 16 beam grid.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "storage/shared_state.h"

namespace storage {

struct PlateLayout {
  int16_t rows = 0, cols = 0;
  double row_pitch = 0.0, row_offset = 0.0, col_pitch = 0.0, col_offset = 0.0;
  ChannelTable16 channel_well{};  // -1 = not on the plate
  ChannelTable16 channel_beam{};
  int16_t max_well = 0, max_beam = 0;

  bool operator==(const PlateLayout&) const = default;
};

// A read-only view of one plate layout's tables, whoever holds them: the open
// project's shared tables or a recorded run's own copy.
struct PlateView {
  int rows = 0, cols = 0;
  double row_pitch = 0.0, row_offset = 0.0, col_pitch = 0.0, col_offset = 0.0;
  int max_well = 0, max_beam = 0;
  std::span<const int16_t> channel_well;  // per channel 0..383; -1 = not on the plate
  std::span<const int16_t> channel_beam;
  // (well, beam) -> channel, well-major with `grid_beams` slots a well; a slot that no
  // channel claims may hold anything (0 in the shared table, -1 in a run's).
  std::span<const int16_t> well_grid;
  int grid_beams = 0;

  // The well of a channel, -1 when it is not on the plate (or not a channel).
  int WellOf(int channel) const;
  // The channel of beam `beam` of well `well`, or -1 when the well is past max_well,
  // the pair lies outside the grid, or the slot's channel is not that well's beam.
  int ClaimedChannel(int well, int beam) const;
};
PlateView SharedPlateView(const SharedState& s);

// "B3" for well 17 on an 8-row plate (row letter, column from 1); empty for a negative
// well or no rows.
std::string WellLabel(int well, int plate_rows);
// "B3.1": the channel's well label, "." and its beam; empty off the plate.
std::string ChannelLabel(const PlateView& plate, int channel);

// Reads and checks a layout file. On failure returns nullopt with `stage` (0 not
// opened, 1 geometry, 2 records, 3 checks) and a reason. Channels the file does not
// list are not on the plate.
std::optional<PlateLayout> ReadPlateLayoutFile(const std::filesystem::path& file, int* stage,
                                               std::string* reason = nullptr);

// One of the built-in layouts "w384", "w96u", "w96f"; any other name gives "w96f".
PlateLayout BuiltInPlateLayout(const std::string& format);
// True for the names of the built-in layouts.
bool IsBuiltInPlateLayout(const std::string& format);
// The built-in names, each installed as a layout file of its own too.
inline constexpr const char* kBuiltInPlateLayouts[] = {"w96f", "w384", "w96u"};

// The text of a layout file that reads back as `layout`: every channel 0..383 listed,
// labelled with its well and beam ("B3.1", "-" off the plate).
std::string PlateLayoutFileText(const PlateLayout& layout, const std::string& description);
// The layout file of a built-in name, made from its built-in table.
std::string BuiltInPlateLayoutFileText(const std::string& format);

// The layout a recorded run names, as the reports and the offline browser read it:
// <format>.dat in `program_folder`, or <format>.bak, the first that reads; when
// neither file is there, the built-in table of a built-in name.
enum class RunLayoutRead {
  kOk,
  kNotFound,  // no file and no built-in table (or a name that leaves the folder)
  kDamaged,   // a file is there but none reads; `reason` says why
};
RunLayoutRead ReadRunPlateLayout(const std::string& format,
                                 const std::filesystem::path& program_folder,
                                 PlateLayout& layout, std::string* reason = nullptr);

// Copies a layout into the shared tables and rebuilds Well_Grid.
void ApplyPlateLayout(const PlateLayout& layout);

// The layout file of a format name; nullopt for a name that could leave the
// program folder ("/", "\" or "..").
std::optional<std::filesystem::path> PlateLayoutPath(const std::string& format);

// Reads the layout file of a format without touching the shared tables; nullopt with
// `error` ("Error [\w96.dat] ID#2: ...") when the file is missing or damaged.
std::optional<PlateLayout> ReadPlateLayout(const std::string& format, std::string* error = nullptr);

// Loads the layout of Plate_format; a missing or damaged file shows one box and
// takes a built-in layout (Plate_format becomes "w96f" unless it names one).
void LoadPlateLayout();
// The same without the fallback: on a fault nothing changes, false is returned and
// `error` says why (the setup window reports it).
bool LoadPlateLayoutNoTrap(std::string* error = nullptr);

}  // namespace storage
