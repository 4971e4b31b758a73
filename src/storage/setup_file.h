#pragma once
// setup.dat: a project's settings, in every project folder and copied into every
// run folder. Twenty CR LF lines, ten pairs of a quoted header and a value line;
// value lines hold bare 16-bit integers and quoted strings, comma-separated:
//
//   1  "Project Setup: <Num_proj>,<Name>,<Working_folder>,<Plate_format>"
//   2  Actual_Project_Number,"Project_Name","Working_folder","Plate_format"
//   3  "<Aq_mode>,<Aq_lapse>,<Sample_Rate>,<RT_Buffer>,<DSP_Method>,<DSP_Interval>"
//   4  the six values of line 3
//   5  "<Binary_Acq>,<Threshold_Counter>,<Cal_value>,<Cal_mode>,<Save_counts>,<Save_real>"
//   6  the six values of line 5
//   7  "Tools: <Menu1:Cal>, <Menu2:Light>, <Menu3:Temp>, <Menu4>, <Menu5>, <Menu6>"
//   8  Menu1..Menu6
//   9  "Mn1: <Organism>, <Enab_Cal>, <Enab_Zero>, <SNRx10>,,"     10  Mn(1,0)..Mn(1,5)
//   11 "Mn2: <Enable>, <Time_ON>, <v3:Time_OFF>,,,"              12  Mn(2,0)..Mn(2,5)
//   13 "Mn3: <v1:Enable>, <v2:Tempx10>,,,,"                      14  Mn(3,0)..Mn(3,5)
//   15 "Mn4: ,,,,,"  16 row 4    17 "Mn5: ,,,,,"  18 row 5    19 "Mn6: ,,,,,"  20 row 6
//
// setup.bak is a byte copy of the previous setup.dat, made before every rewrite.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace storage {

// Loads the open project from Project_Path: setup.dat, then status.dat, threshld.dat,
// groups.dat, chgroup.dat and the plate layout. Each step handles its own faults.
void LoadProjectSetup(int16_t number);

// Fills the project settings, tool flags and Mn from Project_Path/setup.dat,
// restoring a missing or damaged file once from setup.bak or the newest run folder,
// else putting in the defaults from the record that failed onward.
void ReadSetupFile(int16_t number);

// Copies setup.dat to setup.bak, writes setup.dat (with Actual_Project_Number; the
// number argument is not written) and the channel table files of `station` into
// `folder`. False when a file could not be written.
bool SaveProjectSetup(const std::string& folder, int16_t number, int16_t station);

// "<Project> p00005: name" for the project lists, restoring setup.dat first when it
// is missing or short; never throws.
std::string GetProjectTitle(const std::string& folder);

// Replaces the project name on line 2 of folder's setup.dat (after a backup to
// setup.bak); returns the name stored, or "" when it could not be done.
std::string RenameProject(const std::string& folder, const std::string& new_name);

// folder's setup.dat with the detection fields a re-analysis sets: DSP_Method (the
// fifth value of line 4), Organism and SNRx10 (the first and fourth of line 10); every
// other value and line as it was, each line ended by CR LF. nullopt when the file
// cannot be read or those lines lack their values.
std::optional<std::string> SetupWithAnalysis(const std::string& folder, int16_t method,
                                             int16_t organism, int16_t snr_x10);

// What an SNRx10 field of a run's setup.dat stands for: below 5 (a project's 0 means
// "use 1.8") the default 18, else itself. A run's copy holds the factor its counts were
// made with, so this is the factor every reader of the run takes.
int RunSnrX10(int stored);

// The newest run folder ("yyyymmdd_hhmm") inside `path`, or "".
std::string FindLatestRunFolder(const std::string& path);

// The twenty lines of setup.dat for the current settings (used by the writer and by
// anything that needs the same bytes, such as a run folder's copy).
std::string SetupFileBytes();

// Where the project number warning also goes (the start window's status label).
// An empty function drops it.
void SetProjectNewsHandler(std::function<void(const std::string&)> handler);

}  // namespace storage
