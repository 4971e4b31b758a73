#pragma once
// The rules behind the report window's and the report settings dialog's controls:
// their lists, the organism defaults, the threshold check and what the settings
// dialog accepts. Plain functions, so the windows only place values in controls.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "storage/run_loading.h"

namespace reports {

// The bin sizes both windows offer before the stored bin is appended.
inline constexpr std::array<const char*, 11> kBinSizes = {"5",   "15",  "30",  "60",  "120", "180",
                                                          "240", "360", "480", "720", "1440"};

inline constexpr std::array<const char*, 4> kDetectionMethods = {
    "0_Threshold+Binary (Old Method.w/filters)", "1_Threshold Avrg (Default.Agar&Liquid)",
    "2_uOrganism (Motility Index)", "3_Drosophila (Threshold)"};

struct OrganismRule {
  const char* name;
  const char* threshold_text;  // the organism's default threshold
  int method;                  // the method it forces, -1 for none
};
inline constexpr std::array<OrganismRule, 4> kOrganisms = {{
    {"C elegans(>L4)", "1.8", -1},
    {"Zebrafish(Larvae)", "2.8", -1},
    {"Echinococcus", "1.8", 2},
    {"Drosophila", "0.8", 3},
}};
inline constexpr int kDrosophila = 3;

// The threshold box after it loses the focus: nullopt when the typed text stands (its
// value, "," read as ".", lies in 0.5..1.0 for Drosophila or 1.1..6.0 for any other
// organism), else the reset text "0.8" or "1.8".
std::optional<std::string> CheckedThreshold(const std::string& text, int organism);

// A stored threshold x 10 as the box shows it: "0.0" with ".".
std::string ThresholdText(int threshold_x10);

// The bin the settings dialog may store: whole minutes in 2..1440, written as decimal
// digits (blanks around them allowed).
std::optional<int16_t> ParseSettingsBin(const std::string& text);
// A separator is stored in quotes: one holding a quote would break the file.
bool SeparatorStorable(const std::string& spacer);
inline constexpr const char* kBadBinMessage =
    "Bin size must be a whole number of minutes from 2 to 1440";
inline constexpr const char* kBadSeparatorMessage = "The separator cannot contain \"";

// What the automatic report's second pass re-analyses with: the run's own detection
// settings, as its acquisition used them.
struct ChainAnalysis {
  int organism = 0;
  int method = 1;
  std::string threshold_text = "1.8";
};
ChainAnalysis ChainAnalysisFor(const storage::RunAnalysis& run);

}  // namespace reports
