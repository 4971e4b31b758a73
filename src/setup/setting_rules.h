#pragma once
// The rules of the setup window's settings, as facts and pure functions: the
// organisms with their default SNR and detection method, the accepted SNR entries,
// the bounds of the number boxes, the lists the window offers, and the detection
// summary line it writes into the main window.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace setup {

struct Organism {
  const char* name;
  int16_t default_snr;  // tenths
  int16_t default_method;
  int16_t snr_low;  // accepted entries, tenths, both included
  int16_t snr_high;
};

inline constexpr std::array<Organism, 4> kOrganisms = {{
    {"C.elegans", 18, 1, 14, 50},
    {"Zebrafish", 28, 1, 14, 50},
    {"Echinococcus", 18, 2, 14, 50},
    {"Drosophila", 8, 3, 5, 9},
}};

// The organism of a list index or stored code; nullptr outside 0..3.
const Organism* OrganismAt(int index);

inline constexpr std::array<const char*, 4> kDetectionMethods = {
    "0_Threshold+Binary (Old Method.w/filters)", "1_Threshold Avrg (Default.Agar&Liquid)",
    "2_Motility Index(ameboid movement)", "3_Drosophila (Threshold)"};

inline constexpr std::array<const char*, 6> kAcquisitionModes = {
    "0_Offline", "1_Default", "2_Fast(0.31)", "3_Fast(32.63)", "4_Fast(64.95)", "5_Fast(96.127)"};

inline constexpr std::array<const char*, 2> kNoYes = {"NO", "YES"};

inline constexpr const char* kMethodZeroRefusal = "Mode=0 not available for this version";

// "Detection Mode1, C.elegans [snr 1.8]": the organism name is empty for a code
// outside 0..3.
std::string DetectionSummary(int dsp_method, int organism, int snr_tenths);

// The SNR as the main window's threshold box takes it: shortest form with "."
// ("2" for 20, "1.8" for 18).
std::string SnrShortText(int snr_tenths);

// The SNR as the setup window shows it, "0.0".
std::string SnrText(int snr_tenths);

// True when a stored SNR is one the organism's box would accept.
bool SnrInRange(int organism, int snr_tenths);

// The SNR box losing the focus, for the organism index of the list.
struct SnrCheck {
  bool accepted = false;
  std::string box_text;           // what the box shows afterwards
  std::optional<int16_t> stored;  // the new Mn(1,3); none when it stays
  const char* message = nullptr;  // the refusal, shown before the box is reset
};
SnrCheck CheckSnrEntry(std::string_view text, int organism);

// The lapse box's rule, applied on every change of its text.
struct BoxRule {
  int16_t value = 0;                    // the setting
  std::optional<std::string> box_text;  // a text the box is given instead of the typed one
};
BoxRule LapseRule(std::string_view text);
// The real-time buffer box losing the focus.
BoxRule BufferRule(std::string_view text);
// Sample rate and DSP interval: the number rounded, kept to 16 bits.
int16_t WholeNumber(std::string_view text);

// The Val() of the typed text: its leading number, 0 for a text that is not one.
double BoxNumber(std::string_view text);

}  // namespace setup
