#pragma once
// The device test's facts as pure functions: the limits and the judgement of one
// pattern of levels, the texts of the verdicts and of the test file, and what each
// of the 111 steps does.
//
// Channel geometry: channel = column x 16 + row (columns 0..23 shown 1..24, rows
// 0..15 shown "A".."P"). Limits on the 12-bit level, full scale taken as 2048: on at
// 0.8 x 2048 (1638.4, so 1639 or more), off at 0.5 x 2048 (1024 or less), although
// the texts call the off class "20%".
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "storage/shared_state.h"

namespace service {

// Levels of channels 0..383 (entry 384 spare), 0..4095.
using TestLevels = std::array<int16_t, storage::kTableSize>;

inline constexpr int kTestLastStep = 110;
// The last step that switches channels: every channel is at gain/power 2 after it.
inline constexpr int kLastSwitchStep = 95;
// A failed channel write moves the test here: the same tick finishes it.
inline constexpr int kTestFailedStep = 121;

// Channel settings the test switches to, as (PinHole, Gain).
struct TestSetting {
  int16_t pinhole = 0;
  int16_t gain = 0;
  bool operator==(const TestSetting&) const = default;
};
inline constexpr TestSetting kBeamOn{7, 7};
inline constexpr TestSetting kBeamOff{0, 0};
inline constexpr TestSetting kGainPower2{2, 2};

bool IsOnLevel(int level);
bool IsOffLevel(int level);
// The percent shown for a level: Int(level / 2048 x 100), up to 199.
int TestPercent(int level);
// The grey of a well: level / 8 rounded half to even, at most 255.
int TestGrey(int level);

// "CH<ch>[<percent>%], " for each channel, in order.
std::string ChannelListText(const TestLevels& levels, const std::vector<int>& channels);

// The all-on (step 20) or all-off (step 37) judgement: the label and the file lines.
struct AllJudgement {
  bool pass = false;
  std::string label;
  std::vector<std::string> lines;
};
AllJudgement JudgeAll(const TestLevels& levels, bool on);

// One column's or row's judgement: its channels must be on, every other one off.
struct PatternJudgement {
  bool pass = false;
  std::string label;
  std::string line;
};
PatternJudgement JudgeTestColumn(const TestLevels& levels, int column);
PatternJudgement JudgeTestRow(const TestLevels& levels, int row);

// First line of the test file: "Serial:SN<serial> yyyy-mm-dd_hh:mm".
std::string TestFileFirstLine(int32_t serial, const platform::WallTime& now);
// Step 96: blank line, "Gain/Power[2] Values:" and "CH[<ch>] <percent>%" for 0..383.
std::vector<std::string> GainPower2Lines(const TestLevels& levels);

// What a step does, in this order: its label, an OK message, the Yes/No question,
// the file header, the judgement, the channel writes, the pause.
enum class TestJudge { kNone, kAllOn, kAllOff, kColumn, kRow };
struct ChannelSwitch {
  int channel = 0;
  TestSetting setting;
  bool operator==(const ChannelSwitch&) const = default;
};
struct TestStep {
  std::string label;         // lbl_temperature before the action; empty leaves it
  std::string message;       // an OK box before the writes
  bool ask_proceed = false;  // "OK to proceed?": No stops the test
  std::string file_header;   // appended after a blank line
  TestJudge judge = TestJudge::kNone;
  int judged = 0;  // column or row judged
  std::vector<ChannelSwitch> writes;
  bool level_lines = false;  // the gain/power 2 levels into the file
  bool open_file = false;
  int pause_ms = 0;
};
// The step table; steps past 110 do nothing.
TestStep DeviceTestStep(int step);

}  // namespace service
