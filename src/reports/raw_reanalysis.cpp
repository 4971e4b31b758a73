#include "reports/raw_reanalysis.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/dialogs.h"
#include "platform/numeric.h"
#include "reports/block_pass.h"
#include "reports/marks_files.h"
#include "reports/report_engine.h"
#include "reports/whole_run.h"
#include "storage/run_files.h"
#include "storage/run_loading.h"
#include "storage/setup_file.h"

namespace reports {

namespace {

namespace fs = std::filesystem;

const std::string kNothingAnalysed = ": nothing was analysed";
const std::string kNothingChanged = ": nothing was changed";

void Say(const std::string& text) { platform::GetDialogs().MsgBox(text); }

// Everything a re-analysis needs once its checks have passed.
struct Plan {
  ReanalysisRequest request;
  ReportChoices choices;
  storage::RunPlate plate;
  WholeRun run;
  int32_t bin = 2;
  BlockPassPlan pass;
  std::string setting_text;  // the report's SETTING line without "Replace old data"
};

// The channels the re-analysis counts: on the plate, in a well with a beam-0 channel.
std::vector<int> AnalysedChannels(const storage::RunPlate& plate) {
  std::vector<int> channels;
  for (int c = 0; c < storage::kRunChannelCount; ++c) {
    const int well = plate.Well[static_cast<size_t>(c)];
    if (well >= 0 && plate.WellBeamChannel(well, 0) >= 0) channels.push_back(c);
  }
  return channels;
}

// The checks and readings before any block is analysed (the order of the frame's own
// steps); nullopt after a message.
std::optional<Plan> MakePlan(ReanalysisRequest& request, ReportChoices& choices) {
  Plan plan;
  const fs::path folder(request.run_folder);
  const fs::path counts_file = folder / storage::CountsFileName();
  std::error_code ec;
  if (!fs::is_regular_file(counts_file, ec)) {
    Say("Activity file not Found");
    return std::nullopt;
  }

  // One lapse bound, in minutes, for the records read and the records analysed.
  std::optional<int64_t> lapse;
  if (!request.replace_data) {
    double hours = 0.0;
    if (!ParseNumberText(request.lapse_text, hours)) {
      Say("Analyze: the hours are not a number" + kNothingAnalysed);
      return std::nullopt;
    }
    lapse = static_cast<int64_t>(platform::RoundHalfEven(std::clamp(hours * 60.0, -1e12, 1e12)));
    if (*lapse < kMinimumLapse) {
      lapse = kMinimumLapse;
      request.lapse_text = platform::FormatFixed(kMinimumLapse / 60.0, 2);
    }
  }
  int32_t bin = 0;
  if (!ParseBinText(choices.bin_text, bin)) {
    Say("Bin size (min): not a number" + kNothingAnalysed);
    return std::nullopt;
  }
  if (bin < 2) {
    bin = 2;
    choices.bin_text = "2";
  }

  if (!LoadRunPlate(folder, plan.plate)) return std::nullopt;
  storage::RunAnalysis recorded;
  if (!storage::ReadRunAnalysis(folder, recorded)) {
    Say("Report Error");
    return std::nullopt;
  }
  if (recorded.rt_buffer < kMinimumRtBuffer) {
    Say("The run was recorded with " + std::to_string(recorded.rt_buffer) +
        " samples per bin, the analysis needs " + std::to_string(kMinimumRtBuffer) +
        kNothingAnalysed);
    return std::nullopt;
  }

  WholeRun& run = plan.run;
  if (!ReadWholeRun(counts_file, run, false)) {
    Say("Error loading " + counts_file.string());
    return std::nullopt;
  }
  if (run.partial_tail) {
    Say("counts.bin is damaged (it ends in a partial record)" + kNothingAnalysed);
    return std::nullopt;
  }
  if (run.first_fall >= 0) {
    Say("counts.bin is damaged (its minutes go back at record " + std::to_string(run.first_fall) +
        ")" + kNothingAnalysed);
    return std::nullopt;
  }
  if (run.size() == 0) {
    Say("counts.bin holds no records" + kNothingAnalysed);
    return std::nullopt;
  }
  size_t n = run.size();
  if (lapse) {
    for (size_t k = 0; k < run.size(); ++k) {
      if (run.times[k] >= *lapse) {
        n = k + 1;
        break;
      }
    }
  }
  run.minutes.resize(n);
  run.times.resize(n);
  run.temperatures.resize(n);

  const int32_t T = *std::max_element(run.times.begin(), run.times.end());
  bin = std::max(ClampBin(bin, T), 2);
  choices.bin_text = std::to_string(bin);
  plan.bin = bin;
  // The report of the new counts comes after Replace has rewritten the run: what it
  // would refuse is said now.
  if (const std::string refusal =
          ReportRefusal(T, static_cast<int32_t>(n) - 1, bin, choices.option, folder);
      !refusal.empty()) {
    Say(refusal + kNothingAnalysed);
    return std::nullopt;
  }

  if (const std::string problem = RawBlocksProblem(folder, n, recorded.rt_buffer);
      !problem.empty()) {
    Say(problem + kNothingAnalysed);
    return std::nullopt;
  }

  std::string threshold = request.threshold_text;
  std::replace(threshold.begin(), threshold.end(), ',', '.');
  plan.pass.run_folder = folder;
  plan.pass.rt_buffer = recorded.rt_buffer;
  plan.pass.marks_times = run.minutes;
  plan.pass.channels = AnalysedChannels(plan.plate);
  plan.pass.threshold = platform::Val(threshold);
  plan.pass.method = request.method;
  plan.setting_text =
      request.method_text + " " + request.organism_text + " [SNR=" + request.threshold_text + "]";
  plan.request = request;
  plan.choices = choices;
  return plan;
}

class RawReanalysis final : public ReanalysisJob {
 public:
  RawReanalysis(Plan plan, std::unique_ptr<MarksFiles> marks, int threads)
      : plan_(std::move(plan)), marks_(std::move(marks)) {
    driver_ = std::thread([this, threads] {
      try {
        outcome_ =
            RunBlockPass(plan_.pass, marks_.get(), threads, control_, counts_, &failed_block_);
      } catch (const std::bad_alloc&) {
        outcome_ = PassOutcome::kNoMemory;
      }
      analysed_.store(true);
    });
  }
  ~RawReanalysis() override {
    control_.Stop();
    if (driver_.joinable()) driver_.join();
  }

  size_t BlocksDone() const override { return control_.Done(); }
  size_t BlockCount() const override { return plan_.pass.blocks(); }
  bool Analysed() const override { return analysed_.load(); }
  void Stop() override { control_.Stop(); }
  ToolOutcome Finish() override;

 private:
  bool PassSucceeded();
  bool ReplaceRunFiles();
  ToolOutcome Report();

  Plan plan_;
  std::unique_ptr<MarksFiles> marks_;
  PassControl control_;
  storage::Table2D<int16_t> counts_;
  PassOutcome outcome_ = PassOutcome::kStopped;
  size_t failed_block_ = 0;
  std::atomic<bool> analysed_{false};
  bool finished_ = false;
  std::thread driver_;
};

ToolOutcome RawReanalysis::Finish() {
  if (driver_.joinable()) driver_.join();
  if (finished_) return ToolOutcome::kFailed;
  finished_ = true;
  if (outcome_ == PassOutcome::kStopped) {
    if (marks_) marks_->CutBack();
    return ToolOutcome::kStopped;
  }
  if (!PassSucceeded()) return ToolOutcome::kFailed;
  if (plan_.request.replace_data && !ReplaceRunFiles()) {
    // The message says nothing was changed: the marks lines go too.
    if (marks_) marks_->CutBack();
    return ToolOutcome::kFailed;
  }
  if (marks_) marks_->Keep();
  return Report();
}

bool RawReanalysis::PassSucceeded() {
  if (outcome_ == PassOutcome::kReadFailed) {
    const size_t file = failed_block_ / storage::kRecordsPerFile;
    Say("Error reading raw data file " + storage::RawFileName(static_cast<int>(file)) +
        kNothingChanged);
  } else if (outcome_ == PassOutcome::kNoMemory) {
    Say("Not enough memory for the analysis" + kNothingChanged);
  } else if (outcome_ == PassOutcome::kMarksFailed || (marks_ && !marks_->Close())) {
    Say("The marks file " + marks_->failed().filename().string() + " could not be written" +
        kNothingChanged);
  } else {
    return true;
  }
  if (marks_) marks_->CutBack();
  return false;
}

bool RawReanalysis::ReplaceRunFiles() {
  const WholeRun& run = plan_.run;
  std::vector<storage::CountsRecord> records(run.size());
  for (size_t k = 0; k < run.size(); ++k) {
    storage::CountsRecord& r = records[k];
    r.Elapsed_Minutes = run.minutes[k];
    std::copy_n(counts_.row(k), storage::kRunChannelCount, r.Counts.begin());
    r.Counts[storage::kRunChannelCount] = run.temperatures[k];
  }
  const double snr = platform::RoundHalfEven(plan_.pass.threshold * 10.0);
  const std::optional<std::string> setup =
      platform::FitsInt16(static_cast<long long>(std::clamp(snr, -1e6, 1e6)))
          ? storage::SetupWithAnalysis(
                plan_.request.run_folder, static_cast<int16_t>(plan_.request.method),
                static_cast<int16_t>(plan_.request.organism), static_cast<int16_t>(snr))
          : std::nullopt;
  if (!setup) {
    Say("error Updating setup.dat");
    return false;
  }
  std::string note;
  const storage::RunRewrite result =
      storage::ReplaceCountsAndSetup(plan_.request.run_folder, records, *setup, {}, &note);
  const std::string not_rewritten = "counts.bin and setup.dat could not be rewritten";
  const std::string then_note = note.empty() ? "" : "\r\n" + note;
  switch (result) {
    case storage::RunRewrite::kOk:
      return true;
    case storage::RunRewrite::kUnsynced:
      // The new files are the run's: its report goes on.
      Say("counts.bin and setup.dat were rewritten" + then_note);
      return true;
    case storage::RunRewrite::kUnreadable:
      Say("error Updating setup.dat");
      break;
    case storage::RunRewrite::kWriteFailed:
      Say(note.empty() ? not_rewritten + " (a full disk or a read-only folder)" + kNothingChanged
                       : not_rewritten + kNothingChanged + then_note);
      break;
    case storage::RunRewrite::kBackupFailed:
      Say("counts.bak and setup.bak could not be written" + kNothingChanged);
      break;
    case storage::RunRewrite::kPendingList:
    case storage::RunRewrite::kNotAFile:
      Say(not_rewritten + kNothingChanged + then_note);
      break;
    case storage::RunRewrite::kLeftPending:
      Say("counts.bin and setup.dat could not all be rewritten" + then_note);
      break;
    case storage::RunRewrite::kBackupsOnly:
      Say("counts.bin and setup.dat could not be rewritten (a new file vanished before it was "
          "put in place): they are as they were, but counts.bak and setup.bak may now hold "
          "copies of them");
      break;
    case storage::RunRewrite::kMixed:
      Say("counts.bin was rewritten, but setup.dat could not be (a new file vanished before it "
          "was put in place) and the old counts.bin could not be put back: it is in counts.bak");
      break;
  }
  return false;
}

ToolOutcome RawReanalysis::Report() {
  const WholeRun& run = plan_.run;
  const size_t n = run.size();
  CountsRecords records;
  records.RecordTime = run.times;
  records.RecordTime.push_back(0);
  records.RecordTemperature = run.temperatures;
  records.RecordTemperature.push_back(0);
  records.RecordCounts = std::move(counts_);
  records.RecordCounts.ResizeRows(n + 1);

  ReportEngine engine;
  engine.plate = plan_.plate;
  if (!plan_.request.replace_data) {
    engine.SettingText = plan_.setting_text;
  } else if (!storage::ReadSetupDescription(plan_.request.run_folder, engine.SettingText)) {
    Say("Report Error");
    return ToolOutcome::kFailed;
  }
  ReportChoices choices = plan_.choices;
  choices.basal_text.clear();
  const ReportStatus status =
      engine.Generate(records, static_cast<int32_t>(n) - 1, plan_.bin, choices);
  return status == ReportStatus::kWritten ? ToolOutcome::kDone : ToolOutcome::kFailed;
}

}  // namespace

std::unique_ptr<ReanalysisJob> StartRawReanalysis(ReanalysisRequest& request,
                                                  ReportChoices& choices, int threads) {
  std::optional<Plan> plan = MakePlan(request, choices);
  if (!plan) return nullptr;
  std::unique_ptr<MarksFiles> marks;
  if (request.raw_export) {
    marks = std::make_unique<MarksFiles>();
    if (!marks->Open(request.run_folder, plan->pass.channels)) {
      Say("The marks file " + marks->failed().filename().string() + " could not be opened" +
          kNothingAnalysed);
      return nullptr;
    }
  }
  try {
    return std::make_unique<RawReanalysis>(std::move(*plan), std::move(marks), threads);
  } catch (const std::system_error&) {
    Say("The analysis could not be started" + kNothingAnalysed);
    return nullptr;
  }
}

}  // namespace reports
