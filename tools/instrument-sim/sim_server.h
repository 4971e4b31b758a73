#pragma once
// The simulated instrument on a pseudo-terminal: a background thread reads the
// program's frames from the master side, answers through InstrumentModel and, on
// demand, paces the reply at the wire's speed or misbehaves. The slave side is
// linked as <home>/ports/COMn, where the program's serial layer looks for "COMn".
//
// Every method may be called from any thread while the server runs.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "instrument-sim/instrument_model.h"

namespace sim {

enum class Fault {
  kNone,
  kSilence,     // frames are swallowed: no reply at all
  kShortReply,  // each reply loses its last byte
  kLongReply,   // each reply gets one byte too many at its end
  kBadParity,   // each group reply has a word whose parity bit is wrong
  kStrayBytes,  // stray bytes (SetStrayBytes; three by default) go out ahead of each reply
  kLateReply,   // each reply goes out only after SetLateReplyMs, when the program gave up on it
  kVanish,      // the port disappears at once: pseudo-terminal closed, link removed
  kLateTail,    // the stray bytes go out ahead of each reply and as many of its last bytes
                // LateTailMs later, as a USB adapter may hand them on
};

// How late the n-th late tail (n = 0, 1, ...) follows the rest of its reply: each of
// 2..20 ms in turn.
int LateTailMs(int n);

// Bytes per second of 115200 baud with 10 bits a byte.
inline constexpr int kWireBytesPerSecond = 11520;

class SimServer {
 public:
  SimServer();
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // Opens the pseudo-terminal, links it as <home>/ports/COM<com> (making ports/)
  // and starts serving. False with a reason in `error` when that cannot be done.
  bool Start(const std::filesystem::path& home, int com, std::string* error = nullptr);
  // Stops serving, closes the pseudo-terminal and removes the link.
  void Stop();
  bool Running() const { return running_; }
  std::filesystem::path LinkPath() const { return link_path_; }

  void SetReplyMode(ReplyMode mode);
  void SetSerialNumber(int serial_number);
  void SetFactoryRecord(const std::array<uint8_t, 8>& record);
  void SetTemperature(double celsius);
  // 0 sends replies at once; kWireBytesPerSecond shows the real line's timing.
  void SetPacing(int bytes_per_second);
  // The fault hits the next `count` replies it applies to; -1 until cleared (kNone).
  // kVanish takes effect before the call returns.
  void SetFault(Fault fault, int count = -1);
  // The bytes kStrayBytes puts ahead of a reply (an even count shifts whole words).
  void SetStrayBytes(const std::string& bytes);
  // How late kLateReply sends a reply (1500 ms by default: past a read's give-up).
  void SetLateReplyMs(int ms);
  // Anything else of the instrument, under the server's lock.
  void WithModel(const std::function<void(InstrumentModel&)>& fn);
  // Scripts answers: for each frame the function may set the reply itself (empty
  // for none) and return true; returning false lets the instrument answer. Runs on
  // the serving thread. An empty function removes it.
  using Intercept = std::function<bool(const std::array<uint8_t, 5>& frame, std::string& reply)>;
  void SetIntercept(Intercept intercept);

  // Every byte the program sent since the start or the last ClearReceived (the
  // last few megabytes of it).
  std::string Received() const;
  void ClearReceived();
  // Frames answered or acted on since the start.
  int FrameCount() const;
  // Milliseconds on the model's clock.
  int64_t NowMs() const;

 private:
  struct Pending {
    int64_t due_ns;
    std::string bytes;
  };
  void Serve();
  void TakeFrames(int64_t now_ns);
  void Schedule(std::vector<ReplyPiece> pieces, bool is_group, int64_t now_ns);
  void SendDue(int64_t now_ns);
  void CloseAll();
  int64_t ClockNs() const;

  mutable std::mutex mutex_;
  std::condition_variable vanished_cv_;
  InstrumentModel model_;
  Intercept intercept_;
  Fault fault_ = Fault::kNone;
  int fault_count_ = -1;
  int bytes_per_second_ = 0;
  std::string stray_ = "\x5A\xA5\x3C";
  int late_reply_ms_ = 1500;
  int late_tails_ = 0;
  std::string received_;
  std::string parse_buffer_;
  std::deque<Pending> pending_;
  int64_t line_free_ns_ = 0;  // when the last scheduled byte has left
  bool line_blocked_ = false; // the last write did not fit into the program's queue
  int frame_count_ = 0;
  bool vanish_request_ = false;

  int master_ = -1;
  int slave_ = -1;
  int wake_[2] = {-1, -1};
  std::filesystem::path link_path_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> running_{false};
  int64_t start_ns_;
};

}  // namespace sim
