#pragma once
// config.dat in the program folder: the open project, the highest project number
// handed out and the instrument's COM port, kept from one start to the next.
//
// Layout (CR LF lines):
//   "Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>"
//   3,7,4,0
// Line 1 is one quoted header; line 2 the four 16-bit values, unquoted, no blanks.
#include <filesystem>

namespace storage {

std::filesystem::path ConfigFilePath();

// Fills Actual_Project_Number, Last_Project, Serial_COM and Restart_Time, with the
// clamps of the file; any fault shows one box and puts in the defaults 1, 1, 4, 0.
void LoadConfig();
// Rewrites config.dat from the four values as they stand; a failure shows
// "<Error Saving Config File>" and returns false.
bool SaveConfig();

}  // namespace storage
