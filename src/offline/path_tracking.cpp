#include "offline/path_tracking.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "detection/raw_block_analysis.h"
#include "storage/run_files.h"
#include "storage/run_loading.h"

namespace offline {

namespace fs = std::filesystem;

GridPoint BeamPosition(int channel) {
  const int column = channel / kGridRows;
  return {static_cast<double>(column), static_cast<double>(channel - kGridRows * column)};
}

RawTrackMarks::RawTrackMarks(fs::path run_folder, int rt_buffer)
    : folder_(std::move(run_folder)), rt_buffer_(rt_buffer) {}

void RawTrackMarks::Marks(int64_t block, double threshold, const std::vector<int>& channels,
                          BlockMarks& marks) {
  for (int c : channels)
    for (int s = 0; s < kDisplaySamples; ++s) marks.Set(c, s, false);
  storage::RawBlockRecord record(0);  // sized by the read
  if (block < 0 || rt_buffer_ < kBlockSamples ||
      !storage::ReadRunRawBlock(folder_, static_cast<size_t>(block), rt_buffer_, record))
    return;
  // The record is this block's own copy: the analysis may clip it in place. All the
  // wells' channels go through the plate analysis in one call.
  detection::DetectionParams params;
  params.threshold = threshold;
  params.method = detection::kMethodCrossings;
  std::vector<detection::DetectionResult> results(channels.size());
  std::vector<detection::DetectionTraces> each(channels.size());
  detection::DetectionTraces last;
  detection::AnalyzeRawBlocks(record.levels, detection::SampleMajor(storage::kChannelSlots),
                              channels, params, results, last, each);
  for (size_t k = 0; k < channels.size(); ++k)
    for (int s = 0; s < kDisplaySamples; ++s)
      if (each[k].Event_Marks[static_cast<size_t>(s)] == -1) marks.Set(channels[k], s, true);
}

std::vector<int> TrackPlate::Channels() const {
  std::vector<int> out;
  for (int w = 0; w <= max_well; ++w)
    for (int j = 0; j <= max_beam; ++j)
      if (Channel(w, j) >= 0) out.push_back(Channel(w, j));
  return out;
}

TrackPlate MakeTrackPlate(const LoadedRun& run) {
  TrackPlate plate;
  plate.max_well = std::max<int>(run.Run_Max_Well, 0);
  plate.max_beam = std::max<int>(run.Run_Max_Beam, 0);
  plate.col_pitch = run.Run_Col_Pitch;
  plate.col_offset = run.Run_Col_Offset;
  plate.row_pitch = run.Run_Row_Pitch;
  plate.row_offset = run.Run_Row_Offset;
  plate.grid.assign(static_cast<size_t>(plate.max_well + 1) * (plate.max_beam + 1), -1);
  for (int w = 0; w <= plate.max_well; ++w) {
    for (int j = 0; j <= plate.max_beam; ++j) {
      const int c = run.WellGridAt(w, j);
      if (c >= 0 && c < kViewChannels)
        plate.grid[static_cast<size_t>(w) * (plate.max_beam + 1) + static_cast<size_t>(j)] = c;
    }
  }
  return plate;
}

PathTracker::PathTracker(TrackPlate plate, std::vector<double> record_times,
                         std::unique_ptr<TrackMarksSource> marks, double threshold)
    : plate_(std::move(plate)),
      times_(std::move(record_times)),
      source_(std::move(marks)),
      channels_(plate_.Channels()),
      threshold_(threshold),
      fired_(kViewChannels, 0) {
  const size_t wells = static_cast<size_t>(plate_.max_well) + 1;
  history_.assign(wells * kTrackHistory, GridPoint{});
  cumulative_.assign(wells, 0.0);
  at_block_end_.assign(wells, 0.0);
  block_distance_.assign((times_.size() + 1) * wells, 0.0);
  AnalyseBlock();
}

void PathTracker::AnalyseBlock() {
  if (block_ < Blocks()) {
    source_->Marks(block_, threshold_, channels_, marks_);
  } else {
    marks_.Clear();
  }
}

std::string PathTracker::StepText() const {
  return std::to_string(StepNumber()) + "/" + std::to_string(TotalSteps());
}

GridPoint PathTracker::History(int well, int entry) const {
  return history_[static_cast<size_t>(well) * kTrackHistory + static_cast<size_t>(entry)];
}

double PathTracker::BlockDistance(int64_t block, int well) const {
  if (block < 0 || block > Blocks()) return 0;
  return block_distance_[static_cast<size_t>(block) * (static_cast<size_t>(plate_.max_well) + 1) +
                         static_cast<size_t>(well)];
}

void PathTracker::Step(ui::DrawPlan* plan) {
  const size_t wells = static_cast<size_t>(plate_.max_well) + 1;
  if (block_ == 0 && sample_ == 0) std::fill(at_block_end_.begin(), at_block_end_.end(), 0.0);
  if (sample_ >= kBlockSamples - 1) {
    if (block_ <= Blocks()) {
      for (size_t w = 0; w < wells; ++w)
        block_distance_[static_cast<size_t>(block_) * wells + w] =
            cumulative_[w] - at_block_end_[w];
    }
    at_block_end_ = cumulative_;
    sample_ = 0;
    ++block_;
    AnalyseBlock();
  } else {
    ++sample_;
  }
  for (int w = 0; w <= plate_.max_well; ++w) {
    double col_sum = 0, row_sum = 0;
    int count = 0;
    for (int j = 0; j <= plate_.max_beam; ++j) {
      const int c = plate_.Channel(w, j);
      if (c < 0) continue;
      const bool fired = marks_.At(c, sample_);
      fired_[static_cast<size_t>(c)] = fired;
      if (!fired) continue;
      const GridPoint p = BeamPosition(c);
      col_sum += p.x;
      row_sum += p.y;
      ++count;
    }
    if (count == 0) continue;
    const GridPoint at{col_sum / count, row_sum / count};
    if (plan) Frame(*plan, w, at);
    GridPoint* h = &history_[static_cast<size_t>(w) * kTrackHistory];
    std::copy_backward(h, h + kTrackHistory - 1, h + kTrackHistory);
    h[0] = at;
    if (h[1].x != -1 && h[1].y != -1)
      cumulative_[static_cast<size_t>(w)] +=
          std::sqrt((h[0].x - h[1].x) * (h[0].x - h[1].x) + (h[0].y - h[1].y) * (h[0].y - h[1].y));
    if (plan) TrackScale(*plan, plate_, w, cumulative_[static_cast<size_t>(w)]);
  }
}

void PathTracker::Frame(ui::DrawPlan& plan, int well, GridPoint at) {
  constexpr int32_t kBlue = Rgb(0, 0, 255), kBlack = Rgb(0, 0, 0), kWhite = Rgb(255, 255, 255),
                    kRed = Rgb(255, 0, 0), kPaleRed = Rgb(255, 200, 200);
  const auto unit = [](double v) { return v * 100 + 50; };
  GridPoint* h = &history_[static_cast<size_t>(well) * kTrackHistory];
  for (int i = 0; i < kTrackHistory; ++i) {
    if (h[i].x == -1) h[i].x = at.x;
    if (h[i].y == -1) h[i].y = at.y;
  }
  for (int j = 0; j <= plate_.max_beam; ++j) {
    const int c = plate_.Channel(well, j);
    if (c < 0) continue;
    const GridPoint p = BeamPosition(c);
    plan.Circle(unit(p.x), unit(p.y), 2, kBlue);
  }
  const auto line = [&](GridPoint a, GridPoint b, int32_t colour) {
    plan.Line(unit(a.x), unit(a.y), unit(b.x), unit(b.y), colour);
  };
  for (int j = 0; j <= plate_.max_beam; ++j) {
    const int c = plate_.Channel(well, j);
    if (c < 0 || !fired_[static_cast<size_t>(c)]) continue;
    const GridPoint p = BeamPosition(c);
    plan.Circle(unit(h[0].x), unit(h[0].y), 16, kWhite);
    plan.Circle(unit(p.x), unit(p.y), 2, kBlack);
    plan.Circle(unit(at.x), unit(at.y), 16, kRed);
    line(h[0], at, kRed);
    line(h[1], h[0], kRed);
    line(h[2], h[1], kRed);
    line(h[3], h[2], kPaleRed);
    line(h[4], h[3], kPaleRed);
  }
}

TrackStart ReadTrackStart(const fs::path& run_folder, int rt_buffer) {
  TrackStart out;
  const fs::path counts = run_folder / storage::CountsFileName();
  std::error_code ec;
  if (!fs::is_regular_file(counts, ec)) {
    out.message = kActivityFileNotFound;
    return out;
  }
  // Record by record through a small buffer: only the minutes are kept, so a long
  // run's counts.bin costs its eight bytes a record, not a copy of the file.
  out.record_times.reserve(storage::RecordCount(counts, storage::kCountsRecordBytes));
  storage::ForEachCountsRecord(counts, [&](size_t, const storage::CountsRecord& r) {
    out.record_times.push_back(r.Elapsed_Minutes);
    return true;
  });
  if (out.record_times.empty()) {
    out.message = kNoCountsRecords;
    return out;
  }
  if (CountRawFiles(run_folder, rt_buffer).records == 0) {
    out.record_times.clear();
    out.message = kNoRawDataToTrack;
  }
  return out;
}

}  // namespace offline
