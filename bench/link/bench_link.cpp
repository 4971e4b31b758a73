// Time from sending a group request to having its 48 levels decoded, over the
// simulated instrument paced at the wire's speed, against the time those 53 bytes
// (5 out, 48 back) take on a 115200-baud line. Prints figures; asserts nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "instrument-sim/sim_server.h"
#include "link/comm_port.h"
#include "link/device_frame.h"
#include "platform/program_folder.h"

namespace {

struct Figures {
  double median_ms, mean_ms, p95_ms;
  int failures;
};

Figures Measure(int rounds) {
  std::vector<double> ms;
  int failures = 0;
  std::array<int32_t, devlink::kGroupWords> levels{};
  for (int i = 0; i < rounds; ++i) {
    int group = (i % 8) * 8;
    std::string reply;
    auto t0 = std::chrono::steady_clock::now();
    devlink::CommWrite(4, devlink::DeviceFrame(devlink::RegLevels, group, devlink::ModeCommand));
    devlink::CommRead(4, reply, devlink::kGroupReplySize);
    bool ok = devlink::DecodeGroupReply(reply, levels);
    auto t1 = std::chrono::steady_clock::now();
    if (!ok) ++failures;
    ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  double sum = 0;
  for (double v : ms) sum += v;
  return {ms[ms.size() / 2], sum / ms.size(), ms[ms.size() * 95 / 100], failures};
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  fs::path home = fs::temp_directory_path() / ("quenlar-bench-link-" + std::to_string(::getpid()));
  fs::create_directories(home);
  platform::SetProgramFolder(home);

  sim::SimServer server;
  std::string error;
  if (!server.Start(home, 4, &error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return 1;
  }
  server.SetReplyMode(sim::ReplyMode::kGroup);
  if (devlink::CommOpen(4, "COM4", devlink::kInstrumentSettings) != 0) {
    std::fprintf(stderr, "open: %s\n", devlink::LastCommError().Comm_Error_Text.c_str());
    return 1;
  }

  const int rounds = 1000;
  const double wire_ms = (devlink::kFrameSize + devlink::kGroupReplySize) * 1000.0 /
                         sim::kWireBytesPerSecond;

  Measure(50);  // warm-up
  Figures instant = Measure(rounds);
  server.SetPacing(sim::kWireBytesPerSecond);
  Measure(50);
  Figures paced = Measure(rounds);

  std::printf("group poll round trip, %d rounds each\n", rounds);
  std::printf("  wire time of 53 bytes at 115200 baud : %7.3f ms\n", wire_ms);
  std::printf("  unpaced simulator  median %7.3f ms  mean %7.3f ms  p95 %7.3f ms  failed %d\n",
              instant.median_ms, instant.mean_ms, instant.p95_ms, instant.failures);
  std::printf("  paced simulator    median %7.3f ms  mean %7.3f ms  p95 %7.3f ms  failed %d\n",
              paced.median_ms, paced.mean_ms, paced.p95_ms, paced.failures);
  std::printf("  ratio paced median / wire time       : %7.4f (goal <= 1.05)\n",
              paced.median_ms / wire_ms);
  std::printf("  ratio paced mean / wire time         : %7.4f\n", paced.mean_ms / wire_ms);

  devlink::CommClose(4);
  server.Stop();
  std::error_code ec;
  fs::remove_all(home, ec);
  return 0;
}
