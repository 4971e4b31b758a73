#pragma once
// repoconf.dat in the program folder: the report options kept between starts.
// Settings text form, two CR LF lines:
//
//   "<User_defined>, <Bin>, <filetype>, <spacer>, <stdError>, <stdDev>, <n>, <out_format>, <organism>, <method>, <threshold>, <rawexport>"
//   0,30,0,",",1,0,1,0,0,1,18,0
//
// spacer is quoted, every other value a bare 16-bit integer.
#include <cstdint>
#include <filesystem>

namespace storage {

std::filesystem::path ReportConfigPath();

// With a nonzero flag and an existing file: reads and validates the settings and
// returns the <User_defined> value read. Otherwise sets the defaults, writes the file
// with the flag as <User_defined> and returns 0. A damaged file shows one box, gets
// the defaults and is rewritten with 0.
int16_t LoadReportConfig(int16_t flag);
// Rewrites the file with `user_defined` and the current settings; a failure shows
// "Error Writing Report Configuration (repoconf.dat)" and returns false.
bool SaveReportConfig(int16_t user_defined);
// The default settings (the separator from the locale).
void SetReportDefaults();
// Every value outside its range back to its default; spacer is kept as read.
void ValidateReportConfig();
// List_Separator from the user's locale, "," when it cannot be read.
void GetListSeparator();

}  // namespace storage
