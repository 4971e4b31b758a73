#pragma once
// The four channel table files beside setup.dat. Each is a quoted header line and
// then 384 lines of two values, one per channel or group 0..383, CR LF:
//
//   status.dat    "<Channel>, <Enabled>"             k,1   (1 usable, 0 disabled)
//   threshld.dat  "<Channel>, <Threshold>"           k,3   k,1.875 (three decimals at most)
//   groups.dat    "<Group_Number>, <Group_Name>"     k,"Group0"
//   chgroup.dat   "<Channel>, <Group: -1=Free>"      k,-1
//
// The leading number of a data line is for the reader's eye only: values are placed
// by line order. Entry 384 is never written.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "storage/file_set_rewrite.h"
#include "storage/shared_state.h"

namespace storage {

// Each loader reads its file from Project_Path; `number` only names the project in
// its message. A fault shows one box and puts in that table's defaults.
void LoadChannelStatus(int16_t number);
void LoadThresholds(int16_t number);
void LoadGroups(int16_t number);
void LoadChannelGroups(int16_t number);

// The one reader of the four files, for any folder (a project's or a run's): the second
// value of each record as text, in line order, at most 385. nullopt when the file is
// missing; `damaged` is set when a record is cut short, and the values before it are
// returned.
std::optional<std::vector<std::string>> ReadChannelTableValues(const std::filesystem::path& file,
                                                               bool& damaged);
// A chgroup.dat value as a group: numbers outside -1..383 are Free (-1); text that is
// not a number throws FormatError.
int16_t ChannelGroupValue(const std::string& text);

// Writes status.dat, threshld.dat and, for station -1 or 0 (station 1), 1, 2 or 3
// (stations 2..4), groups.dat and chgroup.dat into `folder`. False on a write failure
// (the files already written stay).
bool SaveChannelFiles(const std::string& folder, int16_t station);
// A file of a folder written with a set, ahead of the set's own files: (name, bytes).
struct FileCopy {
  std::string name;
  std::string bytes;
};
// Writes groups.dat and chgroup.dat into `folder` from the group names and the channel
// groups given (a project's or a recorded run's), as one set with the `backups` ahead of
// them: a kill between them is finished at the folder's next read, and a save that
// cannot be made writes none of them. `step` runs where a kill may land; `note` gets
// what the user is told after the save's own headline (SetCommitNote).
SetCommit SaveGroupFiles(const std::string& folder, const ChannelTableText& names,
                         const ChannelTable16& groups, const std::vector<FileCopy>& backups = {},
                         const CommitStep& step = {}, std::string* note = nullptr);

}  // namespace storage
