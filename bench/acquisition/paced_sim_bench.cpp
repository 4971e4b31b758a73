// Samples per second of the run engine driven by a precise 30 ms Qt timer, as the main
// window drives it, for a 96-well and a 384-channel plate, measured bin by bin:
//   - over the simulated instrument paced at the line's speed (115200 baud, 11,520
//     bytes/s) through a pseudo-terminal: what a run gets on a real line;
//   - over an in-process port that answers after exactly the wire time (no
//     pseudo-terminal, no simulator thread): the program's own overhead,
// each against the limit the tick's rules allow: a tick takes the timer's 30 ms or the
// wire time of its exchanges, whichever is longer; the first two samples of a bin send
// their requests twice and pause 50 ms; the bin end adds a temperature query and the
// temperature/light frame.
//   bench_acquisition_paced [bins]
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "acquisition/link_io.h"
#include "acquisition/run_engine.h"
#include "instrument-sim/instrument_model.h"
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
constexpr int kRequestBytes = 5;  // FF 00 30 g F0
constexpr int kReplyBytes = 48;   // 24 level words
constexpr double kTimerMs = 30.0;
constexpr double kPrimePauseMs = 50.0;
constexpr int kBinEndBytes = 5 + 2 + 5;  // temperature query and reply, temperature/light frame
const double kByteMs = 1000.0 / sim::kWireBytesPerSecond;

// The instrument in this process: each reply is ready exactly when its request and
// its own bytes would have crossed the line, and not a moment earlier.
class ExactWirePort final : public acquisition::InstrumentIo {
 public:
  ExactWirePort() { model_.SetReplyMode(sim::ReplyMode::kGroup); }
  void Flush() override { pending_.clear(); }
  int DiscardInput(int wait_us) override {
    if (wait_us > 0) WaitUntil(SteadyClock::now() + std::chrono::microseconds(wait_us));
    const int n = int(pending_.size());
    pending_.clear();
    return n;
  }
  int Write(const std::string& bytes) override {
    const auto start = std::max(SteadyClock::now(), line_free_);
    const auto sent = start + Bytes(int(bytes.size()));
    pending_.clear();
    if (bytes.size() == 5) {
      std::array<uint8_t, 5> f;
      for (int i = 0; i < 5; ++i) f[i] = uint8_t(bytes[i]);
      const int64_t ms =
          std::chrono::duration_cast<std::chrono::milliseconds>(sent.time_since_epoch()).count();
      for (const auto& piece : model_.HandleFrame(f, ms)) pending_ += piece.bytes;
    }
    due_ = sent + Bytes(int(pending_.size()));
    line_free_ = due_;
    return int(bytes.size());
  }
  int Read(std::string& data, int count) override {
    data.clear();
    if (pending_.empty()) return 0;
    WaitUntil(due_);
    data = pending_.substr(0, std::size_t(count));
    pending_.erase(0, data.size());
    return int(data.size());
  }
  bool DeviceWrite(int reg, int value, int mode) override {
    Write(devlink::DeviceFrame(reg, value, mode));
    WaitUntil(line_free_);  // drained: the frame has left
    pending_.clear();
    return false;
  }
  int DeviceQuery(int reg, int value, int mode) override {
    pending_.clear();
    Write(devlink::DeviceFrame(reg, value, mode));
    std::string reply;
    return Read(reply, 2) > 0 ? uint8_t(reply[0]) : -1;
  }

 private:
  static SteadyClock::duration Bytes(int n) {
    return std::chrono::nanoseconds(int64_t(n * kByteMs * 1e6));
  }
  // Spins: a sleep's wake-up comes late on a busy machine, and that is not the
  // program's time.
  static void WaitUntil(SteadyClock::time_point t) {
    while (SteadyClock::now() < t) {
    }
  }

  sim::InstrumentModel model_;
  std::string pending_;
  SteadyClock::time_point due_{}, line_free_{};
};

// The moments of the bin ends.
class BinClock final : public acquisition::RunView {
 public:
  void DrawActivityPlot(int16_t) override { ends.push_back(SteadyClock::now()); }
  std::vector<SteadyClock::time_point> ends;
};

struct Limit {
  double wire_ms = 0;  // one poll's requests and replies
  double bin_ms = 0;   // a bin under the tick's rules
  double samples_per_s = 0;
};

Limit LimitOf(int groups) {
  Limit l;
  l.wire_ms = groups * (kRequestBytes + kReplyBytes) * kByteMs;
  const int n = acquisition::kBinSamples;
  l.bin_ms = (n - 3) * std::max(kTimerMs, l.wire_ms) +
             std::max(kTimerMs, l.wire_ms + kBinEndBytes * kByteMs) +
             2 * std::max(kTimerMs, 2 * l.wire_ms + kPrimePauseMs);
  l.samples_per_s = n / (l.bin_ms / 1000.0);
  return l;
}

// Each whole bin measured on its own: a busy machine only ever slows a bin down, so
// the best bin shows the program, the median what a run may expect.
struct Result {
  double best = 0, median = 0;  // samples per second
  double engine_sample_s = 0;   // the median seconds per sample the engine recorded
  int failed_ticks = 0;
};

// One run on `format`, its tick driven by a precise 30 ms timer, until `bins` whole bins
// after the first bin end have closed.
Result RunTimed(acquisition::InstrumentIo& io, const fs::path& home, int project,
                const std::string& format, const std::string& layout, int bins) {
  storage::ResetSharedState();
  auto& sh = storage::Shared();
  const fs::path project_path = home / ("p0000" + std::to_string(project));
  fs::create_directories(project_path);
  sh.Project_Path = project_path.string();
  sh.Actual_Project_Number = int16_t(project);
  sh.Plate_format = format;
  sh.Aq_lapse = 32000;
  sh.Save_real = 1;
  storage::ApplyPlateLayout(storage::BuiltInPlateLayout(layout));

  BinClock view;
  acquisition::RunEngine engine(io, view);
  engine.controls.Auto_Run = true;
  Result result;
  if (engine.Start() != acquisition::StartResult::kStarted) return result;
  std::vector<double> sample_s;
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  timer.setInterval(int(kTimerMs));
  QObject::connect(&timer, &QTimer::timeout, [&] {
    const std::size_t before = view.ends.size();
    engine.Tick();
    result.failed_ticks += engine.state.Com_Error_Count > 0;
    if (view.ends.size() > before && view.ends.size() > 1)
      sample_s.push_back(engine.state.Sample_Seconds);
    if (int(view.ends.size()) > bins) QCoreApplication::quit();
  });
  timer.start();
  QCoreApplication::exec();
  timer.stop();
  engine.Stop();
  std::vector<double> rates;
  for (std::size_t i = 1; i < view.ends.size(); ++i)
    rates.push_back(acquisition::kBinSamples /
                    std::chrono::duration<double>(view.ends[i] - view.ends[i - 1]).count());
  std::sort(rates.begin(), rates.end());
  std::sort(sample_s.begin(), sample_s.end());
  result.best = rates.back();
  result.median = rates[rates.size() / 2];
  result.engine_sample_s = sample_s[sample_s.size() / 2];
  return result;
}

void Print(const char* what, const Result& r, const Limit& l) {
  std::printf(
      "    %-37s best bin %7.3f samples/s = %6.2f %%, median %7.3f = %6.2f %% of the "
      "limit\n      (the engine's own sample period %.4f s; %d failed ticks)\n",
      what, r.best, 100.0 * r.best / l.samples_per_s, r.median, 100.0 * r.median / l.samples_per_s,
      r.engine_sample_s, r.failed_ticks);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int bins = argc > 1 ? std::max(3, std::atoi(argv[1])) : 3;
  std::string templ = (fs::temp_directory_path() / "quenlar-bench-paced-XXXXXX").string();
  if (!mkdtemp(templ.data())) return 1;
  const fs::path home = templ;
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
  server.SetPacing(sim::kWireBytesPerSecond);
  const std::string port_name = "COM" + std::to_string(kCom);
  if (devlink::CommOpen(kCom, port_name, devlink::kInstrumentSettings) != 0) {
    std::fprintf(stderr, "%s did not open\n", port_name.c_str());
    return 1;
  }
  devlink::SetInstrumentPort(kCom);

  std::printf(
      "the run engine on a precise 30 ms timer, %d whole bins of %d samples per "
      "measurement, %d bytes/s on the line\n\n",
      bins, acquisition::kBinSamples, sim::kWireBytesPerSecond);
  struct Plate {
    const char* name;
    const char* format;
    const char* layout;
    int groups;
  } plates[] = {{"w96", "w96", "w96u", 4}, {"w384", "w384", "w384", 8}};
  int project = 1;
  bool ok = true;
  for (const Plate& p : plates) {
    const Limit limit = LimitOf(p.groups);
    std::printf(
        "%s: %d group requests a sample, %.2f ms of wire a poll; a bin takes %.2f s "
        "under the tick's rules: limit %.3f samples/s\n",
        p.name, p.groups, limit.wire_ms, limit.bin_ms / 1000.0, limit.samples_per_s);
    acquisition::LinkIo link;
    const Result real = RunTimed(link, home, project++, p.format, p.layout, bins);
    Print("simulated instrument, paced line:", real, limit);
    ExactWirePort exact;
    const Result own = RunTimed(exact, home, project++, p.format, p.layout, bins);
    Print("exact wire-time port (program only):", own, limit);
    std::printf(
        "    program overhead: %.2f %% of the limit in the best bin, %.2f %% in the median "
        "(goal <= 2 %%)\n\n",
        100.0 - 100.0 * own.best / limit.samples_per_s,
        100.0 - 100.0 * own.median / limit.samples_per_s);
    ok = ok && real.best > 0 && own.best > 0;
  }

  devlink::CommClose(kCom);
  devlink::SetInstrumentPort(0);
  server.Stop();
  platform::SetDialogs(nullptr);
  std::error_code ec;
  fs::remove_all(home, ec);
  return ok ? 0 : 1;
}
