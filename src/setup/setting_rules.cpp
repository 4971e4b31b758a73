#include "setup/setting_rules.h"

#include <limits>

#include "acquisition/snr.h"
#include "acquisition/validators.h"
#include "platform/numeric.h"
#include "storage/settings_text.h"

namespace setup {

const Organism* OrganismAt(int index) {
  if (index < 0 || index >= static_cast<int>(kOrganisms.size())) return nullptr;
  return &kOrganisms[static_cast<size_t>(index)];
}

std::string SnrText(int snr_tenths) { return platform::FormatFixed(snr_tenths / 10.0, 1); }

std::string SnrShortText(int snr_tenths) { return storage::FormatNumber(snr_tenths / 10.0); }

std::string DetectionSummary(int dsp_method, int organism, int snr_tenths) {
  const Organism* o = OrganismAt(organism);
  return "Detection Mode" + std::to_string(dsp_method) + ", " + (o ? o->name : "") + " [snr " +
         SnrText(snr_tenths) + "]";
}

bool SnrInRange(int organism, int snr_tenths) {
  const Organism* o = OrganismAt(organism);
  return o && snr_tenths >= o->snr_low && snr_tenths <= o->snr_high;
}

double BoxNumber(std::string_view text) { return platform::Val(text); }

SnrCheck CheckSnrEntry(std::string_view text, int organism) {
  SnrCheck r;
  // The box is first shown as "0.0", so the value judged is the value shown.
  const auto typed = acquisition::ParseNumber(text);
  r.box_text = typed ? platform::FormatFixed(*typed, 1) : std::string(text);
  const double entry = acquisition::ParseSnrText(r.box_text);
  const bool drosophila = organism == 3;
  r.accepted = drosophila ? entry >= 0.5 && entry < 1.0 : entry >= 1.4 && entry <= 5.0;
  if (r.accepted) {
    r.stored = static_cast<int16_t>(platform::RoundHalfEven(entry * 10));
    return r;
  }
  r.message = drosophila ? "Enter a valid SNR: 0.5 to 0.9" : "Enter a valid SNR: 1.4 to 5.0";
  if (const Organism* o = OrganismAt(organism)) {
    r.box_text = SnrText(o->default_snr);
    r.stored = o->default_snr;
  }
  return r;
}

BoxRule LapseRule(std::string_view text) {
  // Judged as a double: a number past the 16-bit range takes its bound, never wraps.
  const double v = BoxNumber(text);
  if (v >= 32000) return {32000, "32000"};
  if (v <= 0) return {2, "2"};
  return {static_cast<int16_t>(platform::RoundHalfEven(v)), std::nullopt};
}

BoxRule BufferRule(std::string_view text) {
  const double v = BoxNumber(text);
  if (v < 200 || v > 10000) return {200, "200"};
  return {static_cast<int16_t>(platform::RoundHalfEven(v)), std::nullopt};
}

int16_t WholeNumber(std::string_view text) {
  const double r = platform::RoundHalfEven(BoxNumber(text));
  if (r >= std::numeric_limits<int16_t>::max()) return std::numeric_limits<int16_t>::max();
  if (r <= std::numeric_limits<int16_t>::min()) return std::numeric_limits<int16_t>::min();
  return static_cast<int16_t>(r);
}

}  // namespace setup
