// quenlar-sim: the simulated instrument as a program, for the demo and for trying
// the program without the hardware.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "instrument-sim/sim_server.h"

namespace {

const char kHelp[] =
    "Usage: quenlar-sim [options]\n"
    "\n"
    "Simulates the Quenlar instrument on a pseudo-terminal and links it as\n"
    "DIR/ports/COMn, where the program looks for port COMn. Serves until SIGTERM or\n"
    "SIGINT (Ctrl+C), then removes the link.\n"
    "\n"
    "Options:\n"
    "  --home DIR        program folder (default: $QUENLAR_HOME, else the current folder)\n"
    "  --com N           COM port number, 1..16 (default 4)\n"
    "  --reply MODE      answer level requests as 'group' (48 bytes), 'block' (192 bytes)\n"
    "                    or 'auto' (default): as the order of the program's requests\n"
    "                    says, so one simulator serves runs, the device test and the\n"
    "                    calibrations alike (see \"Level requests\" below)\n"
    "  --pace            send replies at the wire's 11,520 bytes/s (default: at once)\n"
    "  --trickle MS      send each reply byte MS ms after the one before (1..1000):\n"
    "                    replies that trickle in, slow to complete yet never silent\n"
    "                    for long\n"
    "  --serial N        identification value, 10..250 answers as the instrument (default 77)\n"
    "  --temperature C   starting temperature in degrees C (default 24)\n"
    "  --fault KIND      misbehave on every reply: silence (none at all), short (its\n"
    "                    last byte missing: a 47-byte group, a lone echo), long (a byte\n"
    "                    too many at its end), parity, stray or late\n"
    "  --no-plate        no plate in the slot: no animal ever crosses a beam\n"
    "  --compact         the compact instrument model of the channel-calibration window:\n"
    "                    192 channel registers (FF 80 r V F0, r = 0..191; read back with\n"
    "                    FF 00 20 r F0); register r is the beam of window channel 2r,\n"
    "                    so group g word 3m+b is register g+m+64b and in a block the odd\n"
    "                    channels read 0. Each register's level follows its setting\n"
    "                    (gain x 32 + power), from about 60 all off to about 4000 all on.\n"
    "                    Its live view reads groups and its stepping calibration\n"
    "                    blocks, which --reply auto tells apart\n"
    "  --late-tail       every reply comes shifted by two stray bytes that form a good\n"
    "                    word, and its last two bytes follow 2..20 ms after the rest,\n"
    "                    as a USB adapter may hand them on (not with --fault)\n"
    "\n"
    "Beam faults (LIST: channels 0..383 and ranges, e.g. 37,100-103; each option\n"
    "may be given more than once):\n"
    "  --dark LIST       beams that never light (level 30 whatever their setting)\n"
    "  --bright LIST     beams stuck bright (level 4095, also when switched off)\n"
    "  --weak LIST       beams giving 30% of the light their setting should give\n"
    "\n"
    "Temperature sensor:\n"
    "  --sensor OFS,SLOPE  the sensor's own response: raw = (T - OFS) / SLOPE, so the\n"
    "                    factory record the program writes corrects it (default: the\n"
    "                    raw reading follows the record and the program shows T)\n"
    "\n"
    "Factory record: addresses 200..207 read back with FF 00 20 A F0; writes FF 80 A V\n"
    "F0 to 200..207 are kept and answered with the address (the echo the program\n"
    "checks). Channel settings: FF 80|bank reg V F0, echoed the same way.\n"
    "\n"
    "Level requests FF 00 30 v F0 ask for a 48-byte group or a 192-byte block with the\n"
    "same frame. Block reads (the device test, \"Fast CALIB\", the calibration window's\n"
    "stepping) always ask 0, 32, 64, 96 in turn; group polls (a run, auto-zero, the\n"
    "live view) ask 0, 8, ... 56 or 0, 16, 32, 48. With --reply auto a value above 63\n"
    "is a block, 32 is a block right after 0, other values up to 63 are groups, and 0\n"
    "is what the level request before it was, but a block right after an\n"
    "identification (the device test identifies first) or after another 0 (a block\n"
    "read tried again). The first poll after a connection or after block reads gets\n"
    "a block for its 0: the program drops the replies of the priming requests it\n"
    "sends first (the live view, which has none, misses that one group once).\n"
    "\n"
    "  --help            this text\n"
    "\n"
    "Examples:\n"
    "  quenlar-sim --home \"$QUENLAR_HOME\" --com 4\n"
    "  quenlar-sim --no-plate --dark 37 --bright 200 --weak 300-303\n"
    "  quenlar-sim --compact                   (the calibration window's instrument)\n";

bool ParseInt(const char* text, int& out) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < -100000 || v > 100000) return false;
  out = static_cast<int>(v);
  return true;
}

int Usage(const std::string& why) {
  std::fprintf(stderr, "quenlar-sim: %s\nTry 'quenlar-sim --help'.\n", why.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path home;
  if (const char* env = std::getenv("QUENLAR_HOME"); env && *env) home = env;
  else home = std::filesystem::current_path();
  int com = 4;
  int serial = 77;
  double temperature = 24.0;
  bool pace = false;
  int trickle_ms = 0;
  sim::ReplyMode mode = sim::ReplyMode::kAuto;
  sim::Fault fault = sim::Fault::kNone;
  bool no_plate = false;
  bool compact = false;
  bool late_tail = false;
  std::vector<std::pair<int, sim::BeamFault>> beam_faults;
  bool sensor = false;
  double sensor_offset = 0.0, sensor_slope = 0.219;

  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (a == "--help" || a == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    } else if (a == "--home") {
      const char* v = value();
      if (!v) return Usage("--home needs a folder");
      home = v;
    } else if (a == "--com") {
      const char* v = value();
      if (!v || !ParseInt(v, com) || com < 1 || com > 16) return Usage("--com needs 1..16");
    } else if (a == "--reply") {
      const char* v = value();
      std::string m = v ? v : "";
      if (m == "group") mode = sim::ReplyMode::kGroup;
      else if (m == "block") mode = sim::ReplyMode::kBlock;
      else if (m == "auto") mode = sim::ReplyMode::kAuto;
      else return Usage("--reply needs group, block or auto");
    } else if (a == "--pace") {
      pace = true;
    } else if (a == "--trickle") {
      const char* v = value();
      if (!v || !ParseInt(v, trickle_ms) || trickle_ms < 1 || trickle_ms > 1000)
        return Usage("--trickle needs milliseconds 1..1000");
    } else if (a == "--serial") {
      const char* v = value();
      if (!v || !ParseInt(v, serial) || serial < 0 || serial > 65535)
        return Usage("--serial needs a number 0..65535");
    } else if (a == "--temperature") {
      const char* v = value();
      if (!v) return Usage("--temperature needs a number");
      temperature = std::atof(v);
    } else if (a == "--fault") {
      const char* v = value();
      std::string f = v ? v : "";
      if (f == "silence") fault = sim::Fault::kSilence;
      else if (f == "short") fault = sim::Fault::kShortReply;
      else if (f == "long") fault = sim::Fault::kLongReply;
      else if (f == "parity") fault = sim::Fault::kBadParity;
      else if (f == "stray") fault = sim::Fault::kStrayBytes;
      else if (f == "late") fault = sim::Fault::kLateReply;
      else return Usage("--fault needs silence, short, long, parity, stray or late");
    } else if (a == "--no-plate") {
      no_plate = true;
    } else if (a == "--compact") {
      compact = true;
    } else if (a == "--late-tail") {
      late_tail = true;
    } else if (a == "--dark" || a == "--bright" || a == "--weak") {
      const char* v = value();
      std::vector<int> channels;
      if (!v || !sim::ParseChannelList(v, channels))
        return Usage(a + " needs channels 0..383, e.g. 37,100-103");
      const sim::BeamFault kind = a == "--dark"     ? sim::BeamFault::kDark
                                  : a == "--bright" ? sim::BeamFault::kStuckBright
                                                    : sim::BeamFault::kWeak;
      for (int ch : channels) beam_faults.emplace_back(ch, kind);
    } else if (a == "--sensor") {
      const char* v = value();
      char* end = nullptr;
      sensor_offset = v ? std::strtod(v, &end) : 0.0;
      if (!v || end == v || *end != ',') return Usage("--sensor needs OFFSET,SLOPE");
      const char* slope_text = end + 1;
      sensor_slope = std::strtod(slope_text, &end);
      if (end == slope_text || *end != '\0' || !(sensor_slope > 0))
        return Usage("--sensor needs OFFSET,SLOPE with a slope above 0");
      sensor = true;
    } else {
      return Usage("unknown option " + a);
    }
  }

  // The serving thread must not take the signals: block them before it starts.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  sim::SimServer server;
  server.SetReplyMode(mode);
  server.SetSerialNumber(serial);
  server.SetTemperature(temperature);
  if (pace) server.SetPacing(sim::kWireBytesPerSecond);
  if (trickle_ms > 0) server.SetPacing(1000 / trickle_ms);
  if (late_tail && fault != sim::Fault::kNone)
    return Usage("--late-tail and --fault exclude each other");
  if (fault != sim::Fault::kNone) server.SetFault(fault);
  if (late_tail) {
    server.SetStrayBytes(std::string(2, '\0'));
    server.SetFault(sim::Fault::kLateTail);
  }
  server.WithModel([&](sim::InstrumentModel& m) {
    if (no_plate) m.SetAnimalsPresent(false);
    if (compact) m.SetCompact(true);
    for (const auto& [channel, kind] : beam_faults) m.SetBeamFault(channel, kind);
    if (sensor) m.SetSensor(sensor_offset, sensor_slope);
  });
  std::string error;
  if (!server.Start(home, com, &error)) {
    std::fprintf(stderr, "quenlar-sim: %s\n", error.c_str());
    return 1;
  }
  std::printf("quenlar-sim: serving COM%d at %s\n", com, server.LinkPath().c_str());
  std::fflush(stdout);

  int sig = 0;
  sigwait(&signals, &sig);
  server.Stop();
  std::printf("quenlar-sim: stopped\n");
  return 0;
}
