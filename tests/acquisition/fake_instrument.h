#pragma once
// An instrument answering in memory through a byte queue, as a serial line does:
// group polls with parity words, temperature queries and a log of every frame
// written. Faults per group: a short reply, a bad parity bit, stray bytes ahead of
// the reply (whose tail then stays in the queue, or arrives late: with the next
// frame or within a listening wait, or, as a USB adapter may hand it on, only with
// the next frame or when the test passes it on). `query` and `read` script other
// replies.
#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "acquisition/instrument_io.h"

namespace acqtest {

class FakeInstrument final : public acquisition::InstrumentIo {
 public:
  void Flush() override {
    frames.push_back("flush");
    input_.clear();
  }
  int DiscardInput(int wait_us) override {
    if (wait_us > 0 && !tails_after_listen) Arrive();
    const int n = int(input_.size());
    input_.clear();
    return n;
  }
  int Write(const std::string& bytes) override {
    frames.push_back(bytes);
    last_ = bytes;
    Arrive();
    if (!read && !silent && bytes.size() == 5 && uint8_t(bytes[2]) == 0x30)
      Answer(uint8_t(bytes[3]));
    return int(bytes.size());
  }
  int Read(std::string& data, int count) override {
    data.clear();
    if (read) {
      data = read(last_, count);
      if (int(data.size()) > count) data.resize(count);
      return int(data.size());
    }
    data = input_.substr(0, std::size_t(count));
    input_.erase(0, data.size());
    return int(data.size());
  }
  bool DeviceWrite(int reg, int value, int mode) override {
    frames.push_back(Frame(reg, value, mode));
    return false;
  }
  int DeviceQuery(int reg, int value, int mode) override {
    frames.push_back(Frame(reg, value, mode));
    ++queries;
    if (query) return query(reg, value, mode);
    if (silent) return -1;
    return reg == 0x21 ? temperature_raw : 0;
  }

  static std::string Frame(int reg, int value, int mode) {
    return std::string{char(0xFF), char(mode), char(reg), char(value), char(0xF0)};
  }
  // The 48 bytes answering group g, word 3m + b the level of channel 2g + 2m + 128b.
  std::string GroupReply(int g) const {
    std::string r;
    for (int m = 0; m < 8; ++m)
      for (int b = 0; b < 3; ++b) {
        const int level = level_of(2 * g + 2 * m + 128 * b, polls) & 0x0FFF;
        const bool odd = std::bitset<12>(unsigned(level)).count() % 2 == 1;
        r += char((level >> 8) | (odd ? 0x80 : 0));
        r += char(level & 0xFF);
      }
    return r;
  }
  // The values sent to the temperature/light register, in order.
  std::vector<int> TempLightCodes() const {
    std::vector<int> v;
    for (const auto& f : frames)
      if (f.size() == 5 && uint8_t(f[2]) == 0x10) v.push_back(uint8_t(f[3]));
    return v;
  }
  int Count(const std::string& frame) const {
    int n = 0;
    for (const auto& f : frames) n += f == frame;
    return n;
  }
  int CountFrames(int reg) const {
    int n = 0;
    for (const auto& f : frames) n += f.size() == 5 && uint8_t(f[2]) == reg;
    return n;
  }

  std::function<int(int channel, long poll)> level_of = [](int ch, long poll) {
    return 1500 + ch + int((poll / 24) % 7) * 40;
  };
  std::function<int(int reg, int value, int mode)> query;
  std::function<std::string(const std::string& frame, int count)> read;
  std::vector<std::string> frames;
  std::set<int> short_groups;
  std::set<int> bad_parity_groups;
  std::map<int, std::string> stray_groups;  // group -> bytes ahead of its reply
  bool late_tails = false;                  // a reply's bytes past the 48 read arrive only later
  bool tails_after_listen = false;          // ... and not within a listening wait
  void HandOnLateBytes() { Arrive(); }
  bool silent = false;
  int temperature_raw = 100;
  long polls = 0;
  int queries = 0;

 private:
  void Answer(int g) {
    ++polls;
    std::string reply = GroupReply(g);
    if (short_groups.count(g)) reply.resize(40);
    if (bad_parity_groups.count(g)) reply[8] = char(uint8_t(reply[8]) ^ 0x80);
    const auto stray = stray_groups.find(g);
    if (stray != stray_groups.end()) reply.insert(0, stray->second);
    const std::size_t now = late_tails ? std::min<std::size_t>(48, reply.size()) : reply.size();
    input_ += reply.substr(0, now);
    late_ += reply.substr(now);
  }
  void Arrive() {
    input_ += late_;
    late_.clear();
  }

  std::string last_, input_, late_;
};

}  // namespace acqtest
