#include "setup/plate_choice.h"

#include <array>
#include <system_error>

namespace setup {

namespace {

constexpr std::array<const char*, 3> kOfferedCodes = {"w32_flytube", "w96", "w96u"};

struct PlateRow {
  const char* code;
  const char* description;
  const char* adapter;
};

constexpr std::array<PlateRow, 7> kPlates = {{
    {"w384", "384 Well microplate [1microbeams/well]", "USE 'W384' plate Adapter"},
    {"w96f", "96 Wells flat bottom [2microbeams/well]", "USE 'W96F' plate Adapter"},
    {"w24", "24 Wells flat bottom [4microbeams/well]", "USE 'W384' or 'W24' plate Adapter"},
    {"w48", "48 Wells flat bottom [1-3microbeams/well]", "USE 'W384' or 'W48' plate Adapter"},
    {"w6", "6 Wells flat bottom [30-32microbeams/well]", "USE 'W384' or 'W6' plate Adapter"},
    {"w96u", "96 Wells U shape bottom [1microbeam/well]", "USE 'W96U' plate Adapter"},
    {"w96flat", "96 Wells flat bottom [4microbeams/well]",
     "USE 'W384' or 'W96x4' plate Adapter\r\nNOTE: DISCONTINUED. Contact provider"},
}};

}  // namespace

std::vector<std::string> OfferedPlateFormats(const std::filesystem::path& program_folder) {
  std::vector<std::string> codes;
  for (const char* code : kOfferedCodes) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(program_folder / (std::string(code) + ".dat"), ec)) {
      codes.emplace_back(code);
    }
  }
  return codes;
}

std::optional<std::string> PlateDescription(const std::string& code) {
  for (const PlateRow& row : kPlates) {
    if (code == row.code) return std::string(row.description) + "\r\n" + row.adapter;
  }
  return std::nullopt;
}

}  // namespace setup
