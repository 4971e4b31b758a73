// The setup window's number boxes, SNR entries, summary line and plate texts, as tables.
#include "setup/setting_rules.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "setup/plate_choice.h"

namespace {

using setup::BoxRule;

struct SnrRow {
  int organism;
  const char* typed;
  bool accepted;
  const char* box;  // what the box shows afterwards
  std::optional<int16_t> stored;
  const char* message;  // "" when none
};

TEST(SettingRules, SnrEntriesPerOrganismAndTheirBounds) {
  const char* k14 = "Enter a valid SNR: 1.4 to 5.0";
  const char* k05 = "Enter a valid SNR: 0.5 to 0.9";
  const SnrRow rows[] = {
      {0, "1.4", true, "1.4", 14, ""},
      {0, "5", true, "5.0", 50, ""},
      {0, "5.1", false, "1.8", 18, k14},
      {0, "1.3", false, "1.8", 18, k14},
      // The box is shown as "0.0" first: the value judged is the value shown.
      {0, "1.36", true, "1.4", 14, ""},
      {0, "5.04", true, "5.0", 50, ""},
      {3, "0.94", true, "0.9", 9, ""},
      {3, "0.96", false, "0.8", 8, k05},
      {3, "0.5", true, "0.5", 5, ""},
      {3, "1.0", false, "0.8", 8, k05},
      {3, "0.4", false, "0.8", 8, k05},
      {1, "3.5", true, "3.5", 35, ""},
      {1, "1", false, "2.8", 28, k14},
      {2, "9", false, "1.8", 18, k14},
      // "," is read as the decimal point; the text is not a number, so it stays.
      {0, "2,5", true, "2,5", 25, ""},
      {0, "abc", false, "1.8", 18, k14},
      {0, "", false, "1.8", 18, k14},
      // No organism chosen: refused, and neither the box nor the value changes.
      {-1, "7", false, "7.0", std::nullopt, k14},
  };
  for (const SnrRow& r : rows) {
    const setup::SnrCheck c = setup::CheckSnrEntry(r.typed, r.organism);
    const std::string where = std::to_string(r.organism) + " \"" + r.typed + "\"";
    EXPECT_EQ(c.accepted, r.accepted) << where;
    EXPECT_EQ(c.box_text, r.box) << where;
    EXPECT_EQ(c.stored, r.stored) << where;
    EXPECT_EQ(std::string(c.message ? c.message : ""), r.message) << where;
  }
}

struct BoxRow {
  const char* typed;
  int16_t value;
  std::optional<std::string> box;
};

TEST(SettingRules, LapseBoundsAreJudgedBeforeTheValueBecomes16Bit) {
  const BoxRow rows[] = {
      {"45", 45, std::nullopt},
      {"2.5", 2, std::nullopt},
      {"3.5", 4, std::nullopt},
      {"31999", 31999, std::nullopt},
      {"32000", 32000, "32000"},
      {"99999999", 32000, "32000"},
      {"0", 2, "2"},
      {"-5", 2, "2"},
      {"-40000", 2, "2"},
      {"", 2, "2"},
      {"abc", 2, "2"},
  };
  for (const BoxRow& r : rows) {
    const BoxRule rule = setup::LapseRule(r.typed);
    EXPECT_EQ(rule.value, r.value) << r.typed;
    EXPECT_EQ(rule.box_text, r.box) << r.typed;
  }
}

TEST(SettingRules, BufferAcceptsTwoHundredToTenThousand) {
  const BoxRow rows[] = {
      {"200", 200, std::nullopt},   {"10000", 10000, std::nullopt},
      {"500.5", 500, std::nullopt}, {"199", 200, "200"},
      {"10001", 200, "200"},        {"99999999", 200, "200"},
      {"-40000", 200, "200"},       {"x", 200, "200"},
  };
  for (const BoxRow& r : rows) {
    const BoxRule rule = setup::BufferRule(r.typed);
    EXPECT_EQ(rule.value, r.value) << r.typed;
    EXPECT_EQ(rule.box_text, r.box) << r.typed;
  }
}

TEST(SettingRules, SampleRateAndIntervalKeepTo16Bits) {
  const std::pair<const char*, int16_t> rows[] = {
      {"99", 99}, {"2.5", 2}, {"x", 0}, {"1e9", 32767}, {"-1e9", -32768}};
  for (const auto& [typed, value] : rows) EXPECT_EQ(setup::WholeNumber(typed), value) << typed;
}

TEST(SettingRules, SummaryLineAndShortSnr) {
  EXPECT_EQ(setup::DetectionSummary(1, 0, 18), "Detection Mode1, C.elegans [snr 1.8]");
  EXPECT_EQ(setup::DetectionSummary(1, 7, 18), "Detection Mode1,  [snr 1.8]");
  EXPECT_EQ(setup::DetectionSummary(1, -1, 18), "Detection Mode1,  [snr 1.8]");
  EXPECT_EQ(setup::DetectionSummary(3, 3, 8), "Detection Mode3, Drosophila [snr 0.8]");
  EXPECT_EQ(setup::DetectionSummary(2, 1, 0), "Detection Mode2, Zebrafish [snr 0.0]");
  const std::pair<int, const char*> shorts[] = {{20, "2"}, {18, "1.8"}, {8, "0.8"}, {0, "0"}};
  for (const auto& [tenths, text] : shorts) EXPECT_EQ(setup::SnrShortText(tenths), text);
}

TEST(PlateChoice, DescriptionsAreLookedUpByTheExactCode) {
  EXPECT_EQ(setup::PlateDescription("w96u"),
            "96 Wells U shape bottom [1microbeam/well]\r\nUSE 'W96U' plate Adapter");
  EXPECT_EQ(setup::PlateDescription("w96flat"),
            "96 Wells flat bottom [4microbeams/well]\r\nUSE 'W384' or 'W96x4' plate "
            "Adapter\r\nNOTE: DISCONTINUED. Contact provider");
  EXPECT_EQ(setup::PlateDescription("w96"), std::nullopt);
  EXPECT_EQ(setup::PlateDescription("W96U"), std::nullopt);
}

}  // namespace
