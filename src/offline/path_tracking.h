#pragma once
// Path tracking on 6-well plates with one larger animal per well: at each sample the
// beams of a well that register an event place the animal at their mean grid position;
// the path is drawn while a timer plays the run back, and the distance each well's
// animal travels is added up per block. One grid unit is 4.5 mm.
//
// The events of a block come from the detection (method 1) over that block's raw
// levels, bin b read from raw file b / 11 at record b % 11 for every block of the run.
// A run of N counts records plays N x 500 steps, so every block, the last one included,
// ends with its distance recorded.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "offline/loaded_run.h"
#include "offline/offline_plots.h"
#include "offline/raw_pages.h"
#include "ui/draw_plan.h"

namespace offline {

inline constexpr double kGridMillimetres = 4.5;
inline constexpr int kTrackHistory = 5;
inline constexpr int kGridRows = 16;
inline constexpr int kGridCols = 24;
inline constexpr int kPlaybackIntervalMs = 20;

inline constexpr const char* kActivityFileNotFound = "Activity file not Found";
inline constexpr const char* kNoCountsRecords = "counts.bin holds no records";
inline constexpr const char* kNoRawDataToTrack = "Raw data files not found: nothing to track";

// A position on the beam grid (column, row); -1 marks an unset coordinate.
struct GridPoint {
  double x = -1;
  double y = -1;
  bool operator==(const GridPoint&) const = default;
};
// Channel c lies at column c / 16 and row c % 16.
GridPoint BeamPosition(int channel);

// The event marks of one block: channel 0..383, sample 0..500.
class BlockMarks {
 public:
  BlockMarks() : marks_(size_t{kViewChannels} * kDisplaySamples, 0) {}
  bool At(int channel, int sample) const {
    return marks_[static_cast<size_t>(channel) * kDisplaySamples + static_cast<size_t>(sample)];
  }
  void Set(int channel, int sample, bool on) {
    marks_[static_cast<size_t>(channel) * kDisplaySamples + static_cast<size_t>(sample)] = on;
  }
  void Clear() { std::fill(marks_.begin(), marks_.end(), 0); }

 private:
  std::vector<uint8_t> marks_;
};

// Where a block's marks come from.
class TrackMarksSource {
 public:
  virtual ~TrackMarksSource() = default;
  // Replaces `marks` of `channels` with those of block `block` at `threshold`; a block
  // without raw levels leaves them clear.
  virtual void Marks(int64_t block, double threshold, const std::vector<int>& channels,
                     BlockMarks& marks) = 0;
};

// The run's raw block files: each channel's samples 0..499 copied out of the bin and
// analysed with method 1; a sample is marked where the analysis counted an event.
class RawTrackMarks final : public TrackMarksSource {
 public:
  RawTrackMarks(std::filesystem::path run_folder, int rt_buffer);
  void Marks(int64_t block, double threshold, const std::vector<int>& channels,
             BlockMarks& marks) override;

 private:
  std::filesystem::path folder_;
  int rt_buffer_;
};

// The wells of a run as the tracking walks them: 0..W, each with its beams 0..B, and
// where the wells lie (pitches and offsets in grid units).
struct TrackPlate {
  int max_well = 0;  // W
  int max_beam = 0;  // B
  double col_pitch = 1, col_offset = 0, row_pitch = 1, row_offset = 0;
  // [w * (B + 1) + j]: the channel of beam j of well w, -1 for none.
  std::vector<int> grid;
  int Channel(int well, int beam) const {
    return grid[static_cast<size_t>(well) * static_cast<size_t>(max_beam + 1) +
                static_cast<size_t>(beam)];
  }
  // Every channel of every well, wells in order, beams in order.
  std::vector<int> Channels() const;
};
TrackPlate MakeTrackPlate(const LoadedRun& run);

class PathTracker {
 public:
  // Prepares a track over blocks 0..record_times.size() - 1 and reads the marks of
  // block 0. `record_times` are the elapsed minutes of the counts records.
  PathTracker(TrackPlate plate, std::vector<double> record_times,
              std::unique_ptr<TrackMarksSource> marks, double threshold);

  int64_t Blocks() const { return static_cast<int64_t>(times_.size()); }  // N
  int64_t TotalSteps() const { return Blocks() * kBlockSamples; }
  // Steps made since the playback began; a pause keeps it.
  int64_t play_position = 0;
  bool Finished() const { return play_position >= TotalSteps(); }

  // The threshold the next block analyses use.
  void SetThreshold(double threshold) { threshold_ = threshold; }

  // One sample forward. With `plan`, the frame and distance of every well with a fired
  // beam are appended to it (and unset history entries take the new position).
  void Step(ui::DrawPlan* plan);

  int64_t current_block() const { return block_; }
  int current_sample() const { return sample_; }
  // The step the picture shows: block x 500 + sample.
  int64_t StepNumber() const { return block_ * kBlockSamples + sample_; }
  // The page box while tracking: step number "/" total steps.
  std::string StepText() const;

  const TrackPlate& Plate() const { return plate_; }
  const std::vector<double>& RecordTimes() const { return times_; }
  GridPoint History(int well, int entry) const;
  double Distance(int well) const { return cumulative_[static_cast<size_t>(well)]; }
  // Grid units well `well` travelled during block `block` (0..N).
  double BlockDistance(int64_t block, int well) const;
  bool Fired(int channel) const { return fired_[static_cast<size_t>(channel)] != 0; }

 private:
  void AnalyseBlock();
  void Frame(ui::DrawPlan& plan, int well, GridPoint at);

  TrackPlate plate_;
  std::vector<double> times_;
  std::unique_ptr<TrackMarksSource> source_;
  std::vector<int> channels_;
  double threshold_;
  BlockMarks marks_;
  std::vector<uint8_t> fired_;
  std::vector<GridPoint> history_;  // [w * 5 + entry], entry 0 the newest
  std::vector<double> cumulative_;
  std::vector<double> at_block_end_;
  std::vector<double> block_distance_;  // [block * (W + 1) + w], blocks 0..N
  int64_t block_ = 0;
  int sample_ = 0;
};

// The counts records' elapsed minutes of a run folder, for the tracker; the message to
// show instead when counts.bin is missing or empty, or the run saved no raw blocks.
struct TrackStart {
  std::vector<double> record_times;
  std::string message;
};
TrackStart ReadTrackStart(const std::filesystem::path& run_folder, int rt_buffer);

// ---- Pictures ----

// The plate for tracking: well outlines, the beam grid (blue on a well, yellow off the
// plate), "G" & group labels where the group changes, column numbers and row letters.
PlotPicture TrackWellsPicture(const LoadedRun& run);
// The distance label of a well (the plate has two rows of wells): a white box and the
// distance in whole millimetres.
void TrackScale(ui::DrawPlan& plan, const TrackPlate& plate, int well, double distance);
// The picture of a step: the step number in at least five digits and ".bmp".
std::string TrackPictureName(int64_t step);
// Above this many steps a Yes/No question comes before one picture per step is written.
inline constexpr int64_t kManyTrackPictures = 1000;
std::string ManyTrackPicturesQuestion(int64_t steps, const std::filesystem::path& folder);
// The bmp folder of a run, made when missing; "" or the message to show.
std::string MakeTrackPictureFolder(const std::filesystem::path& run_folder);

// ---- Travel distance ----

// The first of report, report_1, report_2, ... (with `ext`) that does not exist in
// `folder`, created empty there so no one else takes it; nullopt when it cannot be
// created or every name up to report_999 exists, with the message in `message`.
std::optional<std::filesystem::path> ClaimReportFile(const std::filesystem::path& folder,
                                                     const std::string& ext, std::string& message);

// The row label of well w: the group of its beam-0 channel as "003_Mutants", Free
// wells as "999_Free".
std::string TrackWellLabel(const LoadedRun& run, int well);

// The travel-distance CSV text for blocks 0..last_block.
std::string TravelDistanceCsv(const LoadedRun& run, const PathTracker& tracker, int64_t last_block,
                              const std::string& separator, const std::string& date_text);

// Writes the travel-distance CSV of the tracker's blocks into the run folder under a
// name no file has yet, and opens it with the launcher ("explorer" and its full path).
// "" or the message to show.
std::string ExportTravelDistance(const LoadedRun& run, const PathTracker& tracker);

}  // namespace offline
