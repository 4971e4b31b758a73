// The processing cost of the acquisition tick and of the bin end with an instant
// port (no wire time), as a fraction of the 30 ms tick.
//   bench_acquisition [bins]
#include <algorithm>
#include <bitset>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "acquisition/instrument_io.h"
#include "acquisition/run_engine.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/program_folder.h"
#include "storage/shared_state.h"

namespace {

// Answers every group poll at once with moving levels and good parity.
class InstantPort final : public acquisition::InstrumentIo {
 public:
  void Flush() override {}
  int DiscardInput(int) override { return 0; }
  int Write(const std::string& bytes) override {
    last_ = bytes;
    return int(bytes.size());
  }
  int Read(std::string& data, int count) override {
    data.clear();
    if (last_.size() != 5 || uint8_t(last_[2]) != 0x30) return 0;
    const int g = uint8_t(last_[3]);
    ++n_;
    for (int w = 0; w < 24; ++w) {
      const int ch = 2 * g + 2 * (w / 3) + 128 * (w % 3);
      int level = 2000 + ((n_ * 7 + ch * 13) % 97) * 3;
      if ((n_ / 8 + ch) % 40 < 3) level -= 900;  // an animal crossing the beam
      const bool odd = std::bitset<12>(unsigned(level)).count() % 2 == 1;
      data += char((level >> 8) | (odd ? 0x80 : 0));
      data += char(level & 0xFF);
    }
    return std::min<int>(count, int(data.size()));
  }
  bool DeviceWrite(int, int, int) override { return false; }
  int DeviceQuery(int, int, int) override { return 110; }

 private:
  std::string last_;
  long n_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const int bins = argc > 1 ? std::max(1, std::atoi(argv[1])) : 6;
  const auto home = std::filesystem::temp_directory_path() / "quenlar_bench_acquisition";
  std::filesystem::remove_all(home);
  std::filesystem::create_directories(home / "p00001");
  platform::SetProgramFolder(home);
  platform::ManualClock clock;
  platform::SetClock(&clock);
  platform::LoggingDialogs quiet;
  platform::SetDialogs(&quiet);

  auto& sh = storage::Shared();
  sh.Project_Path = (home / "p00001").string();
  sh.Actual_Project_Number = 1;
  sh.Plate_format = "w384";
  sh.Aq_lapse = 32000;
  sh.Save_real = 1;
  sh.Body_Bends = 1;
  for (int ch = 0; ch < storage::kChannelCount; ++ch) sh.Channel_Well[ch] = int16_t(ch / 2);

  InstantPort port;
  acquisition::RunView view;
  acquisition::RunEngine engine(port, view);
  engine.controls.Auto_Run = true;
  if (engine.Start() != acquisition::StartResult::kStarted) {
    std::fprintf(stderr, "run did not start\n");
    return 1;
  }
  using Clock = std::chrono::steady_clock;
  std::vector<double> ticks_us, bin_ends_us;
  for (int i = 0; i < bins * acquisition::kBinSamples; ++i) {
    clock.Advance(30);
    const bool closes = engine.state.Ring_Index == acquisition::kBinSamples - 1;
    const auto t0 = Clock::now();
    engine.Tick();
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
    (closes ? bin_ends_us : ticks_us).push_back(us);
  }
  std::sort(ticks_us.begin(), ticks_us.end());
  std::sort(bin_ends_us.begin(), bin_ends_us.end());
  double sum = 0;
  for (double v : ticks_us) sum += v;
  const double tick_mean = sum / double(ticks_us.size());
  const double tick_p99 = ticks_us[ticks_us.size() * 99 / 100];
  const double bin_median = bin_ends_us[bin_ends_us.size() / 2];
  const double bin_max = bin_ends_us.back();
  std::printf("acquisition tick, 192 polled channels (384 on the plate), instant port\n");
  std::printf("  tick:    mean %8.1f us  p99 %8.1f us  = %.2f %% of 30 ms (goal < 2 %%)\n",
              tick_mean, tick_p99, tick_mean / 300.0);
  std::printf("  bin end: median %8.1f us  max %8.1f us  = %.1f %% of 30 ms (goal < 30 %%)\n",
              bin_median, bin_max, bin_median / 300.0);
  std::printf("  (bin end = 384 detections in body-bends mode, raw + counts + histo appends; "
              "%zu bins)\n",
              bin_ends_us.size());
  engine.Stop();
  platform::SetClock(nullptr);
  platform::SetDialogs(nullptr);
  std::filesystem::remove_all(home);
  return 0;
}
