// Samples per second a run achieves against the simulated instrument paced at the
// real line's speed (115200 baud, 11,520 bytes/s), compared with what the wire
// alone allows, for a 96-well and a 384-channel plate. Ticks run back to back on the
// system clock, so the figure shows how much of the line the tick leaves unused.
//   bench_acquisition_paced [seconds per plate]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "acquisition/link_io.h"
#include "acquisition/run_engine.h"
#include "instrument-sim/sim_server.h"
#include "link/comm_port.h"
#include "link/device_frame.h"
#include "link/device_io.h"
#include "platform/dialogs.h"
#include "platform/program_folder.h"
#include "storage/plate_layout.h"
#include "storage/shared_state.h"

namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

constexpr int kCom = 4;
constexpr int kRequestBytes = 5;   // FF 00 30 g F0
constexpr int kReplyBytes = 48;    // 24 level words
constexpr double kNominalTickMs = 30.0;
constexpr double kPrimePauseMs = 50.0;

struct Stats {
  int count = 0;
  double mean = 0, median = 0, p99 = 0, max = 0;
};

Stats Summarize(std::vector<double> ms) {
  Stats s;
  if (ms.empty()) return s;
  std::sort(ms.begin(), ms.end());
  double sum = 0;
  for (double v : ms) sum += v;
  s.count = int(ms.size());
  s.mean = sum / double(ms.size());
  s.median = ms[ms.size() / 2];
  s.p99 = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
  s.max = ms.back();
  return s;
}

// The port the run uses, timing each group exchange so the per-tick overhead can be
// split between the wait for the reply and everything around it.
class TimedLinkIo final : public acquisition::InstrumentIo {
 public:
  void Flush() override {
    const auto t0 = SteadyClock::now();
    link_.Flush();
    port_ms += Ms(t0);
  }
  int DiscardInput(int wait_us) override {
    const auto t0 = SteadyClock::now();
    const int n = link_.DiscardInput(wait_us);
    port_ms += Ms(t0);
    return n;
  }
  int Write(const std::string& bytes) override {
    const auto t0 = SteadyClock::now();
    const int n = link_.Write(bytes);
    port_ms += Ms(t0);
    return n;
  }
  int Read(std::string& data, int count) override {
    const auto t0 = SteadyClock::now();
    const int n = link_.Read(data, count);
    const double ms = Ms(t0);
    port_ms += ms;
    if (count == kReplyBytes) {
      read_ms += ms;
      ++reads;
    }
    return n;
  }
  bool DeviceWrite(int reg, int value, int mode) override {
    return link_.DeviceWrite(reg, value, mode);
  }
  int DeviceQuery(int reg, int value, int mode) override {
    return link_.DeviceQuery(reg, value, mode);
  }

  double port_ms = 0;  // flush + write + read of the group exchanges
  double read_ms = 0;  // the waits for 48-byte replies alone
  long reads = 0;

 private:
  static double Ms(SteadyClock::time_point t0) {
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - t0).count();
  }
  acquisition::LinkIo link_;
};

void PrintStats(const char* what, const Stats& s) {
  if (s.count == 0) return;
  std::printf("    %-22s n=%5d  mean %6.2f  median %6.2f  p99 %6.2f  max %6.2f ms\n", what,
              s.count, s.mean, s.median, s.p99, s.max);
}

// Bare group exchanges on the port, nothing else: the ceiling the simulated line
// itself allows (pseudo-terminal and thread wake-ups included). Returns the mean
// milliseconds per exchange.
double BenchBareExchanges(sim::SimServer& server, bool paced, double seconds) {
  server.SetPacing(paced ? sim::kWireBytesPerSecond : 0);
  acquisition::LinkIo io;
  std::string reply;
  long exchanges = 0, short_replies = 0;
  const auto t_start = SteadyClock::now();
  const auto t_stop = t_start + std::chrono::duration<double>(seconds);
  while (SteadyClock::now() < t_stop) {
    const int g = int(exchanges % 8) * 8;
    io.Flush();
    io.Write(devlink::DeviceFrame(devlink::RegLevels, g, devlink::ModeCommand));
    if (io.Read(reply, kReplyBytes) != kReplyBytes) ++short_replies;
    ++exchanges;
  }
  const double elapsed_ms =
      std::chrono::duration<double, std::milli>(SteadyClock::now() - t_start).count();
  const double wire_ms = 1000.0 * (kRequestBytes + kReplyBytes) / sim::kWireBytesPerSecond;
  const double per_exchange = elapsed_ms / double(exchanges);
  if (paced)
    std::printf("bare group exchanges, paced:   %6ld in %.2f s, %.3f ms each against %.3f ms "
                "of wire = %.2f %% of the wire limit (%ld short)\n",
                exchanges, elapsed_ms / 1000.0, per_exchange, wire_ms,
                100.0 * wire_ms / per_exchange, short_replies);
  else
    std::printf("bare group exchanges, unpaced: %6ld in %.2f s, %.3f ms each: the simulated "
                "line's turnaround (%ld short)\n",
                exchanges, elapsed_ms / 1000.0, per_exchange, short_replies);
  return per_exchange;
}

// One run on one plate format, ticked back to back for `seconds`; `bare_exchange_ms`
// is what one exchange takes on the paced line without the engine. False when the
// run did not start.
bool BenchPlate(const fs::path& home, int project, const std::string& format, double seconds,
                double bare_exchange_ms) {
  storage::ResetSharedState();
  auto& sh = storage::Shared();
  const fs::path project_path = home / ("p0000" + std::to_string(project));
  fs::create_directories(project_path);
  sh.Project_Path = project_path.string();
  sh.Actual_Project_Number = int16_t(project);
  sh.Plate_format = format;
  sh.Aq_lapse = 32000;
  sh.Save_real = 1;
  storage::ApplyPlateLayout(storage::BuiltInPlateLayout(format));

  TimedLinkIo io;
  acquisition::RunView view;
  acquisition::RunEngine engine(io, view);
  engine.controls.Auto_Run = true;
  if (engine.Start() != acquisition::StartResult::kStarted) {
    std::fprintf(stderr, "%s: run did not start\n", format.c_str());
    return false;
  }
  const int groups = engine.state.Plate_96 ? 4 : 8;
  const int poll_bytes = groups * (kRequestBytes + kReplyBytes);

  std::vector<double> plain_ms, primed_ms, bin_end_ms;
  long samples = 0, primes = 0, failed_ticks = 0;
  io.port_ms = io.read_ms = 0;
  io.reads = 0;
  const auto t_start = SteadyClock::now();
  const auto t_stop = t_start + std::chrono::duration<double>(seconds);
  while (SteadyClock::now() < t_stop && engine.TimerEnabled()) {
    const auto& s = engine.state;
    const bool primes_now = s.Ring_Index <= 1 || s.Sample_Count <= 1;
    const bool closes_bin = s.Ring_Index == acquisition::kBinSamples - 1;
    const auto t0 = SteadyClock::now();
    engine.Tick();
    const double ms = std::chrono::duration<double, std::milli>(SteadyClock::now() - t0).count();
    (closes_bin ? bin_end_ms : primes_now ? primed_ms : plain_ms).push_back(ms);
    ++samples;
    primes += primes_now ? 1 : 0;
    failed_ticks += engine.state.Com_Error_Count > 0 ? 1 : 0;
  }
  const double elapsed_s = std::chrono::duration<double>(SteadyClock::now() - t_start).count();
  const double recorded_sample_seconds = engine.state.Sample_Seconds;
  engine.Stop();

  // The wire limit of exactly this window: every poll's requests and replies plus
  // the priming passes it held, at the line's byte rate.
  const double wire_bytes = double(samples) * poll_bytes + double(primes) * poll_bytes;
  const double wire_s = wire_bytes / sim::kWireBytesPerSecond;
  const double pause_s = double(primes) * kPrimePauseMs / 1000.0;
  const double achieved = double(samples) / elapsed_s;
  const double wire_limit = double(samples) / wire_s;
  const double paused_limit = double(samples) / (wire_s + pause_s);
  const double line_limit =
      double(samples) /
      (double(samples + primes) * groups * bare_exchange_ms / 1000.0 + pause_s);
  // In steady state a bin of 500 samples primes twice.
  const double bin_wire_s =
      double(acquisition::kBinSamples + 2) * poll_bytes / sim::kWireBytesPerSecond;
  const double steady_limit = acquisition::kBinSamples / bin_wire_s;
  const double tick_wire_ms = 1000.0 * poll_bytes / sim::kWireBytesPerSecond;

  std::printf("%s plate (%d group requests per sample, %d wire bytes per sample)\n",
              format.c_str(), groups, poll_bytes);
  std::printf("  %.2f s, %ld samples (%ld primed, %ld with a failed last group)\n", elapsed_s,
              samples, primes, failed_ticks);
  std::printf("  achieved            %7.2f samples/s\n", achieved);
  std::printf("  wire limit          %7.2f samples/s (this window's priming share)  "
              "ratio %6.2f %% (goal >= 98 %%)\n",
              wire_limit, 100.0 * achieved / wire_limit);
  std::printf("  wire + 50 ms pauses %7.2f samples/s                                 "
              "ratio %6.2f %%\n",
              paused_limit, 100.0 * achieved / paused_limit);
  std::printf("  bare-exchange limit %7.2f samples/s (what the simulated line allows)    "
              "ratio %6.2f %%\n",
              line_limit, 100.0 * achieved / line_limit);
  std::printf("  steady-state wire limit %.2f samples/s (2 primed samples per bin of %d)\n",
              steady_limit, acquisition::kBinSamples);
  std::printf("  real time per tick (nominal %.0f ms; the wire alone needs %.2f ms, "
              "%.2f ms when primed):\n",
              kNominalTickMs, tick_wire_ms, 2 * tick_wire_ms + kPrimePauseMs);
  PrintStats("plain ticks", Summarize(plain_ms));
  PrintStats("primed ticks", Summarize(primed_ms));
  PrintStats("bin-end ticks", Summarize(bin_end_ms));
  const Stats all = Summarize([&] {
    std::vector<double> v = plain_ms;
    v.insert(v.end(), primed_ms.begin(), primed_ms.end());
    v.insert(v.end(), bin_end_ms.begin(), bin_end_ms.end());
    return v;
  }());
  std::printf("    all ticks: mean %.2f ms = %.2f x the nominal 30 ms; under a 30 ms timer "
              "about %.1f samples/s\n",
              all.mean, all.mean / kNominalTickMs,
              1000.0 / std::max(kNominalTickMs, all.mean));
  const double exchange_wire_ms =
      1000.0 * (kRequestBytes + kReplyBytes) / sim::kWireBytesPerSecond;
  const double tick_total_ms = elapsed_s * 1000.0;
  std::printf("  per group exchange: reply wait %.3f ms (wire %.3f ms); per tick: port calls "
              "%.2f ms, 50 ms pauses %.2f ms, engine work %.3f ms\n",
              io.read_ms / double(std::max(1L, io.reads)), exchange_wire_ms,
              io.port_ms / double(samples), pause_s * 1000.0 / double(samples),
              (tick_total_ms - io.port_ms - pause_s * 1000.0) / double(samples));
  if (!bin_end_ms.empty())
    std::printf("  Sample_Seconds recorded at the last bin end: %.4f s\n",
                recorded_sample_seconds);
  std::printf("\n");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 10.0;
  const fs::path home = fs::temp_directory_path() / "quenlar_bench_acquisition_paced";
  std::error_code ec;
  fs::remove_all(home, ec);
  fs::create_directories(home);
  platform::SetProgramFolder(home);
  platform::LoggingDialogs quiet;
  platform::SetDialogs(&quiet);

  sim::SimServer server;
  std::string error;
  if (!server.Start(home, kCom, &error)) {
    std::fprintf(stderr, "simulator did not start: %s\n", error.c_str());
    return 1;
  }
  server.SetReplyMode(sim::ReplyMode::kGroup);
  const std::string port_name = "COM" + std::to_string(kCom);
  if (devlink::CommOpen(kCom, port_name, devlink::kInstrumentSettings) != 0) {
    std::fprintf(stderr, "%s did not open: %s\n", port_name.c_str(),
                 devlink::LastCommError().Comm_Error_Text.c_str());
    server.Stop();
    return 1;
  }
  devlink::SetInstrumentPort(kCom);

  std::printf("acquisition over the simulated instrument paced at %d bytes/s, ticks back to "
              "back, %.0f s per plate\n\n",
              sim::kWireBytesPerSecond, seconds);
  BenchBareExchanges(server, false, std::min(seconds, 3.0));
  const double bare_ms = BenchBareExchanges(server, true, std::min(seconds, 5.0));
  std::printf("\n");
  server.SetPacing(sim::kWireBytesPerSecond);
  bool ok = BenchPlate(home, 1, "w96u", seconds, bare_ms);
  ok = BenchPlate(home, 2, "w384", seconds, bare_ms) && ok;

  devlink::CommClose(kCom);
  devlink::SetInstrumentPort(0);
  server.Stop();
  platform::SetDialogs(nullptr);
  fs::remove_all(home, ec);
  return ok ? 0 : 1;
}
