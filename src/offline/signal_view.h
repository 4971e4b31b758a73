#pragma once
// The channel signal view: the raw levels of every beam of one chosen well over a page
// of 25,000 samples, each beam in its colour, and the page as text (datafile.txt).
// The well is chosen with the row and column combos (and the sub-position box) or
// from a group's channel list; every drawing and export works from that channel.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "offline/loaded_run.h"
#include "offline/offline_plots.h"
#include "offline/raw_pages.h"
#include "setup/group_model.h"

namespace offline {

// The channels of the well of `channel`, beam by beam from 0 up to the run's highest
// beam index (at least 0..4); -1 where the well has no such beam, and everywhere when
// the channel is on no well.
std::vector<int> BeamList(const LoadedRun& run, int channel);

// One colour per beam list entry: a green-to-red ramp when the highest beam index is
// above 4, else red, blue, green, orange and black.
std::vector<int32_t> BeamColours(int max_beam);

// "1/7": the page and the page count, as the page box shows them.
std::string PageText(int page, int pages);

inline constexpr PlotScale kSignalPageScale{-1000, 2150, 25000, -150};

// The page on the plot picture: x from -1000 to 25000, y from 2150 down to -150; axes,
// the 0% and 100% marks, the sample labels of the page, then for each display block one
// trace per beam of samples 0..500 and a light grey line at the block's start.
PlotPicture SignalPagePicture(const RawPage& page, const std::vector<int>& beams,
                              const std::vector<int32_t>& colours);

// The channel the well choice names: `col_text` the column number, the first letter of
// `row_text` the row (A = 1), `sub_text` the beam. Empty combos choose nothing, with no
// message; a choice off the plate, or of a beam the well does not have, chooses nothing
// and says why.
struct WellChoice {
  int channel = -1;  // -1: keep the channel shown
  std::string message;
};
WellChoice ChooseWell(const LoadedRun& run, std::string_view row_text, std::string_view col_text,
                      std::string_view sub_text);

// The well of a channel as the well choice shows it: the combos' indexes (row 0 is
// "A", column 0 is "1") and the beam; all -1 for a channel on no well of the plate.
struct ChannelWell {
  int row_index = -1;
  int col_index = -1;
  int beam = -1;
};
ChannelWell WellOfChannel(const LoadedRun& run, int channel);
// "B7": the row letter and column number of a channel's well; "" for none.
std::string WellLabel(const LoadedRun& run, int channel);

// The group list of the channel view: the usable channels (enabled, on a well) of
// group `group`, or with -1 the free ones, channel by channel, each as its label
// ("B7.1": well, "." and beam), as the run's group model lists them.
std::vector<std::string> GroupChannelLabels(const setup::GroupModel& model, int group);

// A group list entry such as "B7" or "B7.1" as the combo indexes it selects (row 1,
// column 6); the beam after "." is not part of the choice.
struct WellIndexes {
  int row_index = -1;
  int col_index = -1;
  std::string message;  // set when the entry names no well of the plate
};
WellIndexes WellOfListEntry(const LoadedRun& run, std::string_view entry);

// datafile.txt: the project name and run folder in quotes, a blank line, the well and
// page line, a blank line, the beam captions, then per sample 1..500 of each display
// block one line of the beams' levels, each followed by a blank; CR LF line ends.
struct DataFileHeader {
  std::string project_name;
  std::string run_folder;
  std::string well_text;  // the well of the beams exported (WellLabel), as "A1"
  std::string page_text;  // Txtpage
};
std::string DataFileBytes(const DataFileHeader& header, const RawPage& page,
                          const std::vector<int>& beams);

inline constexpr const char* kDataFileName = "datafile.txt";

// Writes datafile.txt into the program folder and opens it with "notepad" and its
// absolute path through the launcher. "" or the message to show.
std::string ExportDataFile(const std::filesystem::path& program_folder,
                           const DataFileHeader& header, const RawPage& page,
                           const std::vector<int>& beams);

}  // namespace offline
