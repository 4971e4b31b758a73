#include "service/device_test_steps.h"

#include <algorithm>

#include "platform/numeric.h"

namespace service {

namespace {

constexpr int kColumns = 24;
constexpr int kRows = 16;
constexpr int kChannels = storage::kChannelCount;
constexpr double kFullScale = 2048.0;
constexpr double kOnLimit = 0.8 * kFullScale;
constexpr double kOffLimit = 0.5 * kFullScale;

std::string Str(long long v) { return std::to_string(v); }

// Channels of a column or a row, in channel order.
std::vector<int> ColumnChannels(int c) {
  std::vector<int> v;
  for (int r = 0; r < kRows; ++r) v.push_back(c * kRows + r);
  return v;
}
std::vector<int> RowChannels(int r) {
  std::vector<int> v;
  for (int c = 0; c < kColumns; ++c) v.push_back(c * kRows + r);
  return v;
}

std::vector<ChannelSwitch> Switches(const std::vector<int>& channels, TestSetting setting) {
  std::vector<ChannelSwitch> v;
  for (int ch : channels) v.push_back({ch, setting});
  return v;
}

void Append(std::vector<ChannelSwitch>& to, const std::vector<ChannelSwitch>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

// Judges every channel: those for which `lit` holds must be on, the others off.
template <class Lit>
PatternJudgement JudgePattern(const TestLevels& levels, const std::string& name, Lit lit,
                              int want_on) {
  std::vector<int> on_fail, off_fail;
  int on_count = 0, off_count = 0;
  for (int ch = 0; ch < kChannels; ++ch) {
    const int level = levels[static_cast<size_t>(ch)];
    if (lit(ch)) {
      if (IsOnLevel(level))
        ++on_count;
      else
        on_fail.push_back(ch);
    } else {
      if (IsOffLevel(level))
        ++off_count;
      else
        off_fail.push_back(ch);
    }
  }
  PatternJudgement j;
  j.pass = on_count == want_on && off_count == kChannels - want_on;
  if (j.pass) {
    j.label = name + ": PASS!";
    j.line = j.label;
  } else {
    j.label = name + ": CHECK!";
    j.line = name + ": NONPASS " + Str(on_count) +
             "CH > 80% (NONOK:" + ChannelListText(levels, on_fail) + "); " + Str(off_count) +
             "CH < 20% (NONOK:" + ChannelListText(levels, off_fail) + ")";
  }
  return j;
}

}  // namespace

bool IsOnLevel(int level) { return level >= kOnLimit; }
bool IsOffLevel(int level) { return level <= kOffLimit; }

int TestPercent(int level) { return static_cast<int>(platform::Int(level / kFullScale * 100)); }

int TestGrey(int level) { return std::min(255, platform::RoundToInt(level / 8.0)); }

std::string ChannelListText(const TestLevels& levels, const std::vector<int>& channels) {
  std::string s;
  for (int ch : channels)
    s += "CH" + Str(ch) + "[" + Str(TestPercent(levels[static_cast<size_t>(ch)])) + "%], ";
  return s;
}

AllJudgement JudgeAll(const TestLevels& levels, bool on) {
  std::vector<int> failing;
  int count = 0;
  for (int ch = 0; ch < kChannels; ++ch) {
    const int level = levels[static_cast<size_t>(ch)];
    if (on ? IsOnLevel(level) : IsOffLevel(level))
      ++count;
    else
      failing.push_back(ch);
  }
  const std::string name = on ? "Test_all_100%:" : "Test_all_0%:";
  const std::string counted = on ? "Number of Channels > 80% = " : "Number of Channels < 20% = ";
  AllJudgement j;
  j.pass = count == kChannels;
  if (j.pass) {
    j.label = on ? "[Test100%=PASS!]" : "[Test0%=PASS!]";
    j.lines = {"", name + " OK PASS!", counted + Str(kChannels)};
  } else {
    j.label = on ? "[Test100%= CHECK!]" : "[Test0%= CHECK!]";
    j.lines = {"", name + "  NEEDS REVISION!", counted + Str(count),
               (on ? "Channels < 80%: " : "Channels > 20%: ") + ChannelListText(levels, failing)};
  }
  return j;
}

PatternJudgement JudgeTestColumn(const TestLevels& levels, int column) {
  return JudgePattern(
      levels, "Col[" + Str(column + 1) + "]", [&](int ch) { return ch / kRows == column; }, kRows);
}

PatternJudgement JudgeTestRow(const TestLevels& levels, int row) {
  return JudgePattern(
      levels, "Row[" + std::string(1, static_cast<char>('A' + row)) + "]",
      [&](int ch) { return ch - kRows * (ch / kRows) == row; }, kColumns);
}

std::string TestFileFirstLine(int32_t serial, const platform::WallTime& t) {
  auto two = [](int v) { return platform::FormatZeroPadded(v, 2); };
  return "Serial:SN" + Str(serial) + " " + platform::FormatZeroPadded(t.year, 4) + "-" +
         two(t.month) + "-" + two(t.day) + "_" + two(t.hour) + ":" + two(t.minute);
}

std::vector<std::string> GainPower2Lines(const TestLevels& levels) {
  std::vector<std::string> lines = {"", "Gain/Power[2] Values:"};
  for (int ch = 0; ch < kChannels; ++ch)
    lines.push_back("CH[" + Str(ch) + "] " + Str(TestPercent(levels[static_cast<size_t>(ch)])) +
                    "%");
  return lines;
}

TestStep DeviceTestStep(int step) {
  TestStep t;
  if (step == 1 || step == 2) {
    t.message = step == 1 ? "Turning ON A1-D1" : "Turning OFF A1-D1";
    t.writes = Switches({0, 1, 2, 3}, step == 1 ? kBeamOn : kBeamOff);
  } else if (step == 3) {
    t.ask_proceed = true;
  } else if (step >= 4 && step <= 19) {
    t.label = "[ON ALL]";
    t.writes = Switches(RowChannels(step - 4), kBeamOn);
    t.pause_ms = 100;
  } else if (step == 20 || step == 37) {
    t.judge = step == 20 ? TestJudge::kAllOn : TestJudge::kAllOff;
    t.pause_ms = 500;
  } else if (step >= 21 && step <= 36) {
    t.label = "[OFF ALL]";
    t.writes = Switches(RowChannels(step - 21), kBeamOff);
    t.pause_ms = 100;
  } else if (step == 38) {
    t.label = "[1 COLUMN]";
    t.file_header = "Test_24_Columns:";
    t.writes = Switches(ColumnChannels(0), kBeamOn);
    t.pause_ms = 100;
  } else if (step >= 39 && step <= 62) {
    const int c = step - 39;
    if (step < 62) t.label = "[1 COLUMN]";
    t.judge = TestJudge::kColumn;
    t.judged = c;
    t.writes = Switches(ColumnChannels(c), kBeamOff);
    if (step < 62) Append(t.writes, Switches(ColumnChannels(c + 1), kBeamOn));
    t.pause_ms = step < 62 ? 100 : 500;
  } else if (step == 63) {
    t.label = "[1 ROW]";
    t.file_header = "Test_16_Rows:";
    t.writes = Switches(RowChannels(0), kBeamOn);
    t.pause_ms = 100;
  } else if (step >= 64 && step <= 79) {
    const int r = step - 64;
    if (step < 79) t.label = "[1 ROW]";
    t.judge = TestJudge::kRow;
    t.judged = r;
    t.writes = Switches(RowChannels(r), kBeamOff);
    if (step < 79) {
      Append(t.writes, Switches(RowChannels(r + 1), kBeamOn));
      t.pause_ms = 100;
    }
  } else if (step >= 80 && step <= 95) {
    const int s = step - 80;
    t.label = "[GAIN/POWER=2]";
    for (int c = 0; c < 12; ++c) {
      t.writes.push_back({s + 16 * c, kGainPower2});
      t.writes.push_back({383 - s - 16 * c, kGainPower2});
    }
  } else if (step == 96) {
    t.level_lines = true;
  } else if (step == 100) {
    t.open_file = true;
  }
  return t;
}

}  // namespace service
