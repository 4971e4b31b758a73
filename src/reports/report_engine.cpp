#include "reports/report_engine.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <vector>

#include "platform/dialogs.h"
#include "platform/numeric.h"
#include "reports/group_statistics.h"
#include "reports/resampling.h"
#include "storage/run_loading.h"

namespace reports {

namespace {

constexpr size_t kRunFolderNameLength = 13;  // "yyyymmdd_hhmm"
// The basal period question repeats until answered in range; a dialog that never
// gives an answer (a scripted or unattended one) must not hang the report.
constexpr int kMaxBasalQuestions = 50;
constexpr const char* kBasalTitle = "Basal Calculation";

int32_t LargestTime(const std::vector<int32_t>& times, int32_t last) {
  int32_t t = 0;
  for (int32_t j = 0; j <= last && static_cast<size_t>(j) < times.size(); ++j)
    t = std::max(t, times[static_cast<size_t>(j)]);
  return t;
}

// An answer of an input box: its leading number, rounded; no number reads 0.
int32_t AnswerValue(const std::optional<std::string>& answer) {
  if (!answer) return 0;
  const double v = platform::Val(*answer);
  if (v > 32767.0 || v < -32768.0) return 0;
  return platform::RoundToInt(v);
}

std::string Last(const std::string& s, size_t count) {
  return s.size() <= count ? s : s.substr(s.size() - count);
}

// The basal run's folder name from the chosen entry, never leaving the project folder.
std::string BasalFolderName(const std::string& entry) {
  std::string name;
  for (char c : entry.substr(0, kRunFolderNameLength))
    if (c != '/' && c != '\\') name += c;
  for (size_t p; (p = name.find("..")) != std::string::npos;) name.erase(p, 2);
  return name;
}

}  // namespace

const char* ReportStatusMessage(ReportStatus status) {
  switch (status) {
    case ReportStatus::kNoCountsFile:
      return "Activity file not Found";
    case ReportStatus::kResamplingError:
      return "Resampling ERROR";
    case ReportStatus::kReportError:
      return "Report Error";
    case ReportStatus::kWritten:
    case ReportStatus::kCalculationError:
    case ReportStatus::kLoadError:
    case ReportStatus::kCancelled:
      break;
  }
  return "";
}

bool ParseNumberText(const std::string& text, double& value) {
  size_t a = 0, b = text.size();
  while (a < b && std::isspace(static_cast<unsigned char>(text[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(text[b - 1]))) --b;
  // from_chars takes no "+"; a number may still carry one.
  if (a < b && text[a] == '+') {
    ++a;
    if (a < b && text[a] == '-') return false;
  }
  if (a == b) return false;
  double v = 0.0;
  const auto [end, ec] = std::from_chars(text.data() + a, text.data() + b, v);
  if (ec != std::errc() || end != text.data() + b || !std::isfinite(v)) return false;
  value = v;
  return true;
}

bool ParseBinText(const std::string& text, int32_t& bin) {
  double v = 0.0;
  if (!ParseNumberText(text, v)) return false;
  const double r = platform::RoundHalfEven(v);
  if (!platform::FitsInt16(static_cast<long long>(r))) return false;
  bin = static_cast<int32_t>(r);
  return true;
}

bool LoadRunPlate(const std::filesystem::path& run_folder, RunPlate& plate) {
  switch (storage::LoadProjectGroups(run_folder, plate)) {
    case storage::LoadStatus::kOk:
      return true;
    case storage::LoadStatus::kNoPlateLayout:
      return false;  // its own message was shown
    case storage::LoadStatus::kNoSetup:
    case storage::LoadStatus::kUnreadable:
      break;
  }
  platform::GetDialogs().MsgBox(ReportStatusMessage(ReportStatus::kReportError));
  return false;
}

std::string ReportRefusal(int32_t T, int32_t N, int32_t B, OutputOption option,
                          const std::filesystem::path& run_folder) {
  if (LastReportBin(T, N, B) < 0) return ReportStatusMessage(ReportStatus::kResamplingError);
  // T is now the end of the last report bin, as the statistics get it.
  if (option == OutputOption::kHistogram)
    return StatisticsMessage(HistogramRefusal(T, B, run_folder));
  return "";
}

int32_t ClampBin(int32_t bin, int32_t D) {
  if (bin < 1) bin = 1;
  if (bin > D) bin = D > 30 ? (D / 15) * 15 : D;
  return bin;
}

template <typename Report>
ReportStatus ReportEngine::Shown(Report report) {
  ReportStatus status;
  try {
    status = report();
  } catch (const std::bad_alloc&) {
    status = ReportStatus::kReportError;
  }
  const char* message = ReportStatusMessage(status);
  if (*message) platform::GetDialogs().MsgBox(message);
  return status;
}

ReportStatus ReportEngine::Generate(ReportChoices& choices) {
  return Shown([&] { return Run(choices); });
}

ReportStatus ReportEngine::Generate(CountsRecords& loaded, int32_t N, int32_t B,
                                    ReportChoices& choices) {
  BasalApplied = false;
  return Shown([&] { return ReportRecords(loaded, N, B, choices); });
}

ReportStatus ReportEngine::Run(ReportChoices& choices) {
  const std::filesystem::path folder(choices.input_folder);
  const std::filesystem::path counts_file = folder / "counts.bin";
  std::error_code ec;
  if (!std::filesystem::is_regular_file(counts_file, ec)) return ReportStatus::kNoCountsFile;

  // A SETTING text prepared by a re-analysis serves this report only.
  const bool override_setting = SettingOverride;
  SettingOverride = false;
  BasalApplied = false;

  if (!LoadRunPlate(folder, plate)) return ReportStatus::kLoadError;  // after its message
  if (!override_setting && !storage::ReadSetupDescription(folder, SettingText))
    return ReportStatus::kReportError;

  // One read of counts.bin gives both the run length for the bin clamp and the records,
  // kept as stored: the rebinning is their only reader.
  storage::StoredCountsRecords loaded;
  int32_t D = 0;
  int32_t N = storage::LoadStoredCountsFile(counts_file, loaded, &D);
  if (N == -2) return ReportStatus::kLoadError;
  int32_t B = 0;
  if (!ParseBinText(choices.bin_text, B)) return ReportStatus::kReportError;
  if (D < 1) {
    // A run shorter than one minute has nothing to bin (and would make the bin 0).
    if (B < 1) choices.bin_text = "1";
    return ReportStatus::kResamplingError;
  }
  B = ClampBin(B, D);
  choices.bin_text = std::to_string(B);
  return ReportRecords(loaded, N, B, choices);
}

template <typename Loaded>
ReportStatus ReportEngine::ReportRecords(Loaded& loaded, int32_t N, int32_t B,
                                         ReportChoices& choices) {
  const std::filesystem::path folder(choices.input_folder);
  int32_t T = LargestTime(loaded.RecordTime, N);
  N = ResampleCounts(T, N, B, loaded, records);
  loaded = Loaded{};
  if (N < 0) return ReportStatus::kResamplingError;
  T = LargestTime(records.RecordTime, N);

  const std::string& basal = choices.basal_text;
  if (!basal.empty() && basal != "-" && basal.size() >= kRunFolderNameLength) {
    const ReportStatus s = NormaliseToBasal(choices.input_folder, B, N, basal);
    if (s != ReportStatus::kWritten) return s;
  }

  const StatisticsStatus st =
      BuildGroupStatistics(T, N, B, choices.option, folder, records, plate, stats);
  // A histogram report without its histo files would be a page of zeros that looks like
  // a result: after the message nothing is written, as after any failed stage.
  if (st != StatisticsStatus::kOk) {
    platform::GetDialogs().MsgBox(StatisticsMessage(st));
    return ReportStatus::kCalculationError;
  }

  const std::optional<std::string> path =
      WriteReport(T, B, BasalApplied, choices, SettingText, plate, stats);
  if (!path) return ReportStatus::kReportError;
  last_report_path = *path;
  return ReportStatus::kWritten;
}

int32_t ReportEngine::AskBasalMinutes(int32_t B, int32_t L) {
  if (B * 1.5 >= L) return B;
  const int32_t proposal = L < 2 * B ? B : 2 * B;
  platform::Dialogs& dialogs = platform::GetDialogs();
  const std::string prompt = "Basal acquisition is " + std::to_string(L) +
                             "min long, and BinSize=" + std::to_string(B) + "min. \r\n\r\n" +
                             "How many minutes do you want to use to calculate Basal Meassurement?";
  const std::string retry =
      "Enter a value between " + std::to_string(B) + " and " + std::to_string(L);
  for (int round = 0; round < kMaxBasalQuestions; ++round) {
    int32_t v = AnswerValue(dialogs.InputBoxTitled(prompt, kBasalTitle, std::to_string(proposal)));
    if (v >= B && v <= L) return v;
    v = AnswerValue(dialogs.InputBoxTitled(retry, kBasalTitle, std::to_string(B)));
    if (v >= B && v <= L) return v;
  }
  return -1;
}

ZeroBasalRule ReportEngine::AskZeroBasalRule() {
  const std::string text =
      "For ZERO Activity Basal Wells:\r\n"
      "[YES] to replace <BASAL Well> with <MAX Well Activity>\r\n"
      "[NO] to replace <BASAL Well> with <BASAL Microplate Average>\r\n"
      "[CANCEL] to DISCARD Well in Calculation\r\n"
      "\r\n"
      "TO BE APPLIED TO ALL 0 ACTIVITY BASAL WELLs";
  switch (platform::GetDialogs().AskYesNoCancel(text)) {
    case platform::Dialogs::Answer::kYes:
      return ZeroBasalRule::kMaxActivity;
    case platform::Dialogs::Answer::kNo:
      return ZeroBasalRule::kPlateAverage;
    case platform::Dialogs::Answer::kCancel:
      break;
  }
  return ZeroBasalRule::kDiscard;
}

ReportStatus ReportEngine::NormaliseToBasal(const std::string& folder, int32_t B, int32_t N,
                                            const std::string& basal_text) {
  platform::Dialogs& dialogs = platform::GetDialogs();
  // The analysed run's groups serve the basal run too.
  dialogs.MsgBoxTitled("Using Groups Selected in Experiment: " + Last(folder, 20),
                       "<BASAL CALCULATION>");

  const std::filesystem::path basal_folder =
      std::filesystem::path(folder).parent_path() / BasalFolderName(basal_text);
  storage::FinishPendingRenamesBeforeReading(basal_folder);
  storage::StoredCountsRecords loaded;
  int32_t NB = storage::LoadStoredCountsFile(basal_folder / "counts.bin", loaded);
  if (NB == -2) return ReportStatus::kLoadError;
  int32_t TB = LargestTime(loaded.RecordTime, NB);
  NB = ResampleCounts(TB, NB, B, loaded, basal_records);
  loaded = storage::StoredCountsRecords{};  // let go of the file before any question
  if (NB < 0) return ReportStatus::kResamplingError;
  const int32_t L = LargestTime(basal_records.RecordTime, NB);

  BasalMinutes = AskBasalMinutes(B, L);
  if (BasalMinutes < 0) return ReportStatus::kCancelled;

  // Basal of one report bin per channel: the mean of the basal bins in the period that
  // hold records (an interruption of the basal run is no activity of zero).
  std::vector<int32_t> channel_basal(kChannelEntries, 0);
  size_t period = 0;
  while (period <= static_cast<size_t>(NB) && basal_records.RecordTime[period] <= BasalMinutes)
    ++period;
  int32_t summed = 0;
  for (size_t j = 0; j < period; ++j) summed += basal_records.HasRecords(j) ? 1 : 0;
  for (int ch = 0; ch < kChannelCount; ++ch) {
    int64_t sum = 0;
    for (size_t j = 0; j < period; ++j)
      if (basal_records.HasRecords(j))
        sum += basal_records.RecordCounts(j, static_cast<size_t>(ch));
    channel_basal[static_cast<size_t>(ch)] =
        summed > 0 ? platform::RoundToInt(static_cast<double>(sum) / summed) : 0;
  }
  BasalApplied = true;

  // Every beam of a well carries the well's mean, for the basal and for each bin.
  const size_t bins = static_cast<size_t>(N) + 1;
  std::vector<double> well_basal(static_cast<size_t>(plate.MaxWell) + 1, 0.0);
  std::vector<double> bin_mean(bins);
  for (int32_t w = 0; w <= plate.MaxWell; ++w) {
    std::vector<int> beams;
    for (int32_t k = 0; k <= plate.MaxBeam; ++k) {
      const int c = plate.WellBeamChannel(w, k);
      if (c >= 0) beams.push_back(c);
    }
    if (beams.empty()) continue;
    double basal_sum = 0.0;
    std::fill(bin_mean.begin(), bin_mean.end(), 0.0);
    for (int c : beams) {
      basal_sum += channel_basal[static_cast<size_t>(c)];
      for (size_t j = 0; j < bins; ++j)
        bin_mean[j] += records.RecordCounts(j, static_cast<size_t>(c));
    }
    const double n = static_cast<double>(beams.size());
    well_basal[static_cast<size_t>(w)] = basal_sum / n;
    for (int c : beams) {
      channel_basal[static_cast<size_t>(c)] = platform::RoundToInt(basal_sum / n);
      for (size_t j = 0; j < bins; ++j)
        records.RecordCounts(j, static_cast<size_t>(c)) = platform::RoundToInt(bin_mean[j] / n);
    }
  }

  auto grouped = [&](int ch) {
    return plate.Well[static_cast<size_t>(ch)] >= 0 && plate.GroupOf(ch) >= 0;
  };
  int zero_wells = 0;
  for (int32_t w = 0; w <= plate.MaxWell; ++w) {
    const int c0 = plate.WellBeamChannel(w, 0);
    if (c0 >= 0 && well_basal[static_cast<size_t>(w)] == 0.0 && plate.GroupOf(c0) >= 0)
      ++zero_wells;
  }
  ZeroBasalRule rule = ZeroBasalRule::kMaxActivity;
  if (zero_wells > 0) {
    if (!dialogs.AskYesNo("You have " + std::to_string(zero_wells) +
                          " BASAL WELLS with 0 activity. Proceed anyway??"))
      return ReportStatus::kCancelled;
    rule = AskZeroBasalRule();
  }

  int discarded = 0;
  for (int ch = 0; ch < kChannelCount; ++ch) {
    if (!grouped(ch)) continue;
    int32_t& basal = channel_basal[static_cast<size_t>(ch)];
    if (basal < 1) {
      if (rule == ZeroBasalRule::kMaxActivity) {
        int32_t top = 0;
        for (size_t j = 0; j < bins; ++j)
          top = std::max(top, records.RecordCounts(j, static_cast<size_t>(ch)));
        basal = top;
      } else if (rule == ZeroBasalRule::kPlateAverage) {
        double sum = 0.0;
        int count = 0;
        for (int c = 0; c < kChannelCount; ++c) {
          if (!grouped(c)) continue;
          sum += channel_basal[static_cast<size_t>(c)];
          ++count;
        }
        basal = count > 0 ? platform::RoundToInt(sum / count) : 0;
      } else {
        basal = -1;
      }
      if (basal < 1) {
        plate.ChGroup[static_cast<size_t>(ch)] = -1;
        ++discarded;
        for (size_t j = 0; j < bins; ++j) records.RecordCounts(j, static_cast<size_t>(ch)) = -999;
        continue;
      }
    }
    for (size_t j = 0; j < bins; ++j) {
      int32_t& cell = records.RecordCounts(j, static_cast<size_t>(ch));
      const double p = std::min(10000.0, static_cast<double>(cell) * 100.0 / basal);
      cell = platform::RoundToInt(p);
    }
  }
  if (discarded > 0)
    dialogs.MsgBox("ERROR in " + std::to_string(discarded) +
                   " BASAL channels.\r\nChannels were discarded and transferred to Free Group");
  return ReportStatus::kWritten;
}

}  // namespace reports
