#pragma once
// The plate formats the setup window offers, and what it tells the user about the
// plate and adapter a format needs.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace setup {

// The formats whose layout file lies in the program folder, of the three the
// window offers ("w32_flytube", "w96", "w96u"), in name order.
std::vector<std::string> OfferedPlateFormats(const std::filesystem::path& program_folder);

// The description of a format code (exact, case-sensitive): the plate, a line break
// and the adapter to use; none for a code without a row ("w96", "w32_flytube").
std::optional<std::string> PlateDescription(const std::string& code);

}  // namespace setup
