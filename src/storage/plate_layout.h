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
#include <string>

#include "storage/shared_state.h"

namespace storage {

struct PlateLayout {
  int16_t rows = 0, cols = 0;
  double row_pitch = 0.0, row_offset = 0.0, col_pitch = 0.0, col_offset = 0.0;
  ChannelTable16 channel_well{};  // -1 = not on the plate
  ChannelTable16 channel_beam{};
  int16_t max_well = 0, max_beam = 0;
};

// Reads and checks a layout file. On failure returns nullopt with `stage` (0 not
// opened, 1 geometry, 2 records, 3 checks) and a reason. Channels the file does not
// list are not on the plate.
std::optional<PlateLayout> ReadPlateLayoutFile(const std::filesystem::path& file, int* stage,
                                               std::string* reason = nullptr);

// One of the built-in layouts "w384", "w96u", "w96f"; any other name gives "w96f".
PlateLayout BuiltInPlateLayout(const std::string& format);

// Copies a layout into the shared tables and rebuilds Well_Grid.
void ApplyPlateLayout(const PlateLayout& layout);

// The layout file of a format name; nullopt for a name that could leave the
// program folder ("/", "\" or "..").
std::optional<std::filesystem::path> PlateLayoutPath(const std::string& format);

// Loads the layout of Plate_format; a missing or damaged file shows one box and
// takes a built-in layout (Plate_format becomes "w96f" unless it names one).
void LoadPlateLayout();
// The same without the fallback: on a fault nothing changes, false is returned and
// `error` says why (the setup window reports it).
bool LoadPlateLayoutNoTrap(std::string* error = nullptr);

}  // namespace storage
