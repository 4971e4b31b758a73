#include "reports/report_window_rules.h"

#include <algorithm>
#include <cctype>

#include "platform/numeric.h"
#include "storage/setup_file.h"

namespace reports {

std::optional<std::string> CheckedThreshold(const std::string& text, int organism) {
  std::string typed = text;
  std::replace(typed.begin(), typed.end(), ',', '.');
  const double v = platform::Val(typed);
  if (organism == kDrosophila) {
    if (v >= 0.5 && v <= 1.0) return std::nullopt;
    return std::string("0.8");
  }
  if (v >= 1.1 && v <= 6.0) return std::nullopt;
  return std::string("1.8");
}

std::string ThresholdText(int threshold_x10) {
  std::string text = platform::FormatFixed(threshold_x10 / 10.0, 1);
  std::replace(text.begin(), text.end(), ',', '.');
  return text;
}

std::optional<int16_t> ParseSettingsBin(const std::string& text) {
  size_t a = 0, b = text.size();
  while (a < b && std::isspace(static_cast<unsigned char>(text[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(text[b - 1]))) --b;
  if (a == b) return std::nullopt;
  // Decimal digits only: a number reader would also take "0x1E", "1e2" or "60.0".
  int v = 0;
  for (size_t i = a; i < b; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    v = v * 10 + (text[i] - '0');
    if (v > 1440) return std::nullopt;
  }
  if (v < 2) return std::nullopt;
  return static_cast<int16_t>(v);
}

bool SeparatorStorable(const std::string& spacer) { return spacer.find('"') == std::string::npos; }

ChainAnalysis ChainAnalysisFor(const storage::RunAnalysis& run) {
  ChainAnalysis a;
  a.organism =
      run.organism >= 0 && run.organism < static_cast<int>(kOrganisms.size()) ? run.organism : 0;
  // The acquisition counts with method 1 where the project says 0.
  a.method =
      run.method >= 1 && run.method < static_cast<int>(kDetectionMethods.size()) ? run.method : 1;
  // The run's copy of the settings holds the factor its counts were made with (the run
  // start records it, Replace rewrites it), as the SETTING text reads it.
  a.threshold_text = ThresholdText(storage::RunSnrX10(run.snr_x10));
  return a;
}

}  // namespace reports
