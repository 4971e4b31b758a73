// The bin end: sample period, temperature and its regulation, light hours, then,
// once the bin's last sample has stood the next tick's poll, the detection of every
// channel on the plate and the run's records. Each stage runs on its own: a failure
// shows in the status panel and the others still run.
#include <array>
#include <exception>
#include <span>
#include <string>

#include "acquisition/run_engine.h"
#include "detection/peak_interval_histogram.h"
#include "detection/raw_block_analysis.h"
#include "link/device_frame.h"
#include "platform/clock.h"
#include "platform/numeric.h"
#include "storage/shared_state.h"

namespace acquisition {

namespace {

constexpr double kThresholdFloor = 1.8;
constexpr int kCountTotalCap = 10000;

detection::DetectionTraces& Traces() {
  static detection::DetectionTraces traces;
  return traces;
}

}  // namespace

double BinEndThreshold(int32_t spread, int32_t level, double snr) {
  double x;
  if (level <= spread || level <= 0)
    x = snr * 100.0;
  else
    x = (1.0 - double(level - spread) / level) * 100.0 * snr;
  const double t = x + 1.0;
  return t < kThresholdFloor ? kThresholdFloor : t;
}

void RunEngine::ReportStageFailure(const std::string& headline, const std::string& detail) {
  view_.ShowStatus(headline);
  view_.SetStatusDetail(detail);
}

void RunEngine::BinEnd() {
  auto& sh = storage::Shared();
  RunState& s = state;
  s.Ring_Index = 0;
  const int64_t now = platform::MonotonicMs();
  bin_end_ms_ = now;
  s.Sample_Seconds =
      platform::RoundHalfEven(double(now - bin_start_ms_) / 1000.0 / kBinSamples * 1000.0) / 1000.0;

  const int raw = io_.DeviceQuery(devlink::RegTemperature, 0, devlink::ModeCommand);
  sh.Temperature = raw * sh.Temp_Slope + sh.Temp_Offset;
  sh.Temp_Text = platform::FormatFixed(sh.Temperature, 1);
  RegulateTemperature(sh.Temperature, sh.Temp_Setpoint, controls.Temp_Enabled, flags);
  if (controls.Light_Enabled &&
      !ApplyLightHours(platform::Now().hour, controls.txt_lon, controls.txt_loff, flags))
    ReportStageFailure("<LIGHT ERROR>", "Light hours are not whole numbers");
  SendTempLightState();
}

void RunEngine::CloseBin() {
  auto& sh = storage::Shared();
  try {
    BinDetection();
  } catch (const std::exception&) {
    ReportStageFailure("<COUNT ERROR>", "Bin not analysed");
  }
  view_.DrawActivityPlot(controls.Station_Index);
  if (sh.Save_Run) {
    ++run_bins_;
    bool written = false;
    try {
      written = AppendRecords();
    } catch (const std::exception&) {
      ReportStageFailure("<DISK ERROR>", "Records not written");
    }
    if (!written) ++lost_bins_;
  }
  bin_start_ms_ = bin_end_ms_;
}

void RunEngine::BinDetection() {
  auto& sh = storage::Shared();
  RunState& s = state;
  std::span<int16_t> block(s.Raw_Ring);
  const auto layout = detection::SampleMajor(storage::kChannelSlots);
  detection::DetectionParams params;
  params.threshold = s.SNR_Threshold;
  // The margins first, then the detection of every channel on the plate in one call
  // (many channels at a time), then the histograms of the clipped blocks.
  std::array<int, storage::kChannelCount> channels{};
  std::array<double, storage::kChannelCount> margins{};
  size_t on_plate = 0;
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    if (sh.Channel_Well[ch] < 0) continue;
    if (s.Sum_Count[ch] > 0) {
      s.Spread_Sums[ch] = platform::RoundToInt(double(s.Spread_Sums[ch]) / s.Sum_Count[ch]);
      s.Level_Sums[ch] = platform::RoundToInt(double(s.Level_Sums[ch]) / s.Sum_Count[ch]);
    }
    const double t = BinEndThreshold(s.Spread_Sums[ch], s.Level_Sums[ch], s.SNR_Threshold);
    sh.ThresholdAt(0, ch) = t;
    margins[on_plate] = t;
    channels[on_plate++] = ch;
  }
  if (on_plate == 0) return;
  if (sh.DSP_Method == 0) sh.DSP_Method = 1;
  params.method = sh.DSP_Method;
  std::array<detection::DetectionResult, storage::kChannelCount> results{};
  detection::AnalyzeRawBlocks(block, layout, std::span<const int>(channels.data(), on_plate),
                              params, results, Traces());
  std::array<int16_t, 51> h{};
  for (size_t k = 0; k < on_plate; ++k) {
    const int ch = channels[k];
    const int16_t c = results[k].count;
    if (sh.Body_Bends == 1) {
      h.fill(0);
      detection::BuildPeakIntervalHistogram(block, layout, ch, h, margins[k]);
      for (int g = 0; g < detection::kHistogramCells; ++g) s.Histo.At(ch, g) += h[g];
    }
    s.Counts[ch] = c;
    if (s.Count_Total[ch] < kCountTotalCap) s.Count_Total[ch] = int16_t(s.Count_Total[ch] + c);
  }
}

bool RunEngine::AppendRecords() {
  auto& sh = storage::Shared();
  RunState& s = state;
  const std::size_t slot = std::size_t(s.Histo_Bin_Index);
  const auto raw_file = run_path_ / storage::RawFileName(s.File_Index);
  const auto histo_file = run_path_ / storage::HistoFileName(s.File_Index);
  const auto counts_file = run_path_ / storage::CountsFileName();

  // Record k of every file belongs to bin k: a record lost to an earlier failure is
  // filled with zeros first, so the raw blocks and histograms stay paired with counts.
  bool all_written = true;
  bool raw_written = false;
  if (sh.Save_real == 1) {
    const std::size_t size = storage::RawBlockRecordBytes(kBinSamples);
    if (storage::AlignRecordCount(raw_file, slot, size) &&
        storage::AppendRawBlock(raw_file, s.Raw_Ring.data(), kBinSamples) == storage::AppendResult::kOk)
      raw_written = true;
    else
      ReportStageFailure("<DISK ERROR>", storage::RawFileName(s.File_Index) + " not written");
    all_written = raw_written;
  }

  s.Counts[storage::kChannelCount] = Saturate16(sh.Temperature * 10.0);
  storage::CountsRecord record;
  record.Elapsed_Minutes = s.Elapsed_Minutes;
  record.Counts = s.Counts;
  if (!storage::AlignRecordCount(counts_file, recorded_bins_, storage::kCountsRecordBytes) ||
      storage::AppendCountsRecord(counts_file, record) != storage::AppendResult::kOk) {
    // Without its counts the bin is not recorded at all: take its raw block back.
    ReportStageFailure("<DISK ERROR>", storage::CountsFileName() + " not written");
    if (raw_written) storage::AlignRecordCount(raw_file, slot, storage::RawBlockRecordBytes(kBinSamples));
    return false;
  }
  ++recorded_bins_;

  if (sh.Body_Bends == 1) {
    s.Histo.Elapsed_Minutes_Exact = s.Elapsed_Minutes_Exact;
    s.Histo.Sample_Seconds = s.Sample_Seconds;
    if (storage::AlignRecordCount(histo_file, slot, storage::kHistoRecordBytes) &&
        storage::AppendHistoRecord(histo_file, s.Histo) == storage::AppendResult::kOk) {
      s.Sample_Seconds_Total += s.Sample_Seconds;
      ++s.Histo_Records;
    } else {
      ReportStageFailure("<DISK ERROR>", storage::HistoFileName(s.File_Index) + " not written");
      all_written = false;
    }
  }

  if (s.Histo_Bin_Index < storage::kRecordsPerFile - 1) {
    ++s.Histo_Bin_Index;
  } else {
    s.Histo_Bin_Index = 0;
    ++s.File_Index;
  }
  return all_written;
}

}  // namespace acquisition
