#include "instrument-sim/sim_server.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <system_error>

namespace sim {

namespace {
constexpr int64_t kIdleWaitNs = 200'000'000;
// While the program's side is full, the next try waits for room (or this long).
constexpr int64_t kBlockedWaitNs = 20'000'000;
constexpr size_t kReceivedCap = 4u << 20;
}  // namespace

int LateTailMs(int n) {
  constexpr int kShortest = 2, kChoices = 19;  // 2..20 ms
  return kShortest + (n % kChoices) * 7 % kChoices;
}

// The model's clock runs from construction, so a temperature set before Start
// drifts from then on.
SimServer::SimServer() : start_ns_(ClockNs()) {}

SimServer::~SimServer() { Stop(); }

int64_t SimServer::ClockNs() const {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t SimServer::NowMs() const { return (ClockNs() - start_ns_) / 1'000'000; }

bool SimServer::Start(const std::filesystem::path& home, int com, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    CloseAll();
    return false;
  };
  // Not through `fail`: that would close the descriptors of the running server.
  if (running_ || thread_.joinable()) {
    if (error) *error = "already running";
    return false;
  }
  if (com < 1 || com > 255) return fail("COM number must be 1..255");
  if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0)
    return fail(std::string("openpty: ") + std::strerror(errno));
  termios t{};
  if (::tcgetattr(slave_, &t) == 0) {
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B115200);
    ::cfsetospeed(&t, B115200);
    ::tcsetattr(slave_, TCSANOW, &t);
  }
  char name[PATH_MAX] = {};
  if (::ttyname_r(slave_, name, sizeof name) != 0) return fail("ttyname failed");
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
  if (::pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) return fail("pipe failed");

  std::error_code ec;
  std::filesystem::create_directories(home / "ports", ec);
  std::filesystem::path link = home / "ports" / ("COM" + std::to_string(com));
  std::filesystem::remove(link, ec);
  std::filesystem::create_symlink(name, link, ec);
  if (ec) return fail("cannot link " + link.string() + ": " + ec.message());
  link_path_ = link;

  {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.clear();
    parse_buffer_.clear();
    pending_.clear();
    frame_count_ = 0;
    vanish_request_ = false;
    line_free_ns_ = 0;
    line_blocked_ = false;
  }
  stop_ = false;
  running_ = true;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void SimServer::Stop() {
  stop_ = true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (wake_[1] >= 0) {
      char c = 1;
      [[maybe_unused]] ssize_t n = ::write(wake_[1], &c, 1);
    }
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  CloseAll();
  running_ = false;
}

void SimServer::CloseAll() {
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
  for (int& fd : wake_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  if (!link_path_.empty()) {
    std::error_code ec;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(link_path_, ec)))
      std::filesystem::remove(link_path_, ec);
    link_path_.clear();
  }
}

void SimServer::SetReplyMode(ReplyMode mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  model_.SetReplyMode(mode);
}

void SimServer::SetSerialNumber(int serial_number) {
  std::lock_guard<std::mutex> lock(mutex_);
  model_.SetSerialNumber(serial_number);
}

void SimServer::SetFactoryRecord(const std::array<uint8_t, 8>& record) {
  std::lock_guard<std::mutex> lock(mutex_);
  model_.SetFactoryRecord(record);
}

void SimServer::SetTemperature(double celsius) {
  std::lock_guard<std::mutex> lock(mutex_);
  model_.SetTemperature(celsius, NowMs());
}

void SimServer::SetPacing(int bytes_per_second) {
  std::lock_guard<std::mutex> lock(mutex_);
  bytes_per_second_ = bytes_per_second > 0 ? bytes_per_second : 0;
}

void SimServer::SetStrayBytes(const std::string& bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  stray_ = bytes;
}

void SimServer::SetLateReplyMs(int ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  late_reply_ms_ = ms > 0 ? ms : 0;
}

void SimServer::WithModel(const std::function<void(InstrumentModel&)>& fn) {
  std::lock_guard<std::mutex> lock(mutex_);
  fn(model_);
}

void SimServer::SetIntercept(Intercept intercept) {
  std::lock_guard<std::mutex> lock(mutex_);
  intercept_ = std::move(intercept);
}

void SimServer::SetFault(Fault fault, int count) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (fault != Fault::kVanish) {
    fault_ = fault;
    fault_count_ = count;
    return;
  }
  if (!running_) return;
  vanish_request_ = true;
  if (wake_[1] >= 0) {
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_[1], &c, 1);
  }
  vanished_cv_.wait(lock, [this] { return !running_; });
}

std::string SimServer::Received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

void SimServer::ClearReceived() {
  std::lock_guard<std::mutex> lock(mutex_);
  received_.clear();
}

int SimServer::FrameCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return frame_count_;
}

void SimServer::Serve() {
  uint8_t buffer[4096];
  while (!stop_) {
    int64_t wait_ns = kIdleWaitNs;
    short master_events = POLLIN;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (vanish_request_) {
        CloseAll();
        running_ = false;
        vanished_cv_.notify_all();
        return;
      }
      if (!pending_.empty()) wait_ns = std::max<int64_t>(0, pending_.front().due_ns - ClockNs());
      // A reply that is due but does not fit waits for room instead of retrying at once.
      if (line_blocked_) {
        wait_ns = std::max(wait_ns, kBlockedWaitNs);
        master_events |= POLLOUT;
      }
    }
    pollfd fds[2] = {{master_, master_events, 0}, {wake_[0], POLLIN, 0}};
    timespec ts{static_cast<time_t>(wait_ns / 1'000'000'000), static_cast<long>(wait_ns % 1'000'000'000)};
    int rc = ::ppoll(fds, 2, &ts, nullptr);
    if (rc < 0 && errno != EINTR) break;
    if (rc > 0 && (fds[1].revents & POLLIN)) {
      char drain[64];
      while (::read(wake_[0], drain, sizeof drain) > 0) {
      }
    }
    if (rc > 0 && (fds[0].revents & POLLIN)) {
      ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        received_.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
        // A simulator serving for days keeps only the recent traffic.
        if (received_.size() > kReceivedCap) received_.erase(0, received_.size() - kReceivedCap / 2);
        parse_buffer_.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
        TakeFrames(ClockNs());
      }
    } else if (rc > 0 && (fds[0].revents & (POLLHUP | POLLERR))) {
      // We hold the slave open, so this is transient; do not spin on it.
      ::usleep(1000);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    SendDue(ClockNs());
  }
}

void SimServer::TakeFrames(int64_t now_ns) {
  while (!parse_buffer_.empty()) {
    if (static_cast<uint8_t>(parse_buffer_[0]) != 0xFF) {
      parse_buffer_.erase(0, 1);
      continue;
    }
    if (parse_buffer_.size() < 5) break;
    if (static_cast<uint8_t>(parse_buffer_[4]) != 0xF0) {
      parse_buffer_.erase(0, 1);
      continue;
    }
    std::array<uint8_t, 5> frame;
    for (size_t i = 0; i < 5; ++i) frame[i] = static_cast<uint8_t>(parse_buffer_[i]);
    parse_buffer_.erase(0, 5);
    ++frame_count_;
    std::vector<ReplyPiece> pieces;
    std::string scripted;
    if (intercept_ && intercept_(frame, scripted)) {
      if (!scripted.empty()) pieces.push_back({0, std::move(scripted)});
    } else {
      pieces = model_.HandleFrame(frame, (now_ns - start_ns_) / 1'000'000);
    }
    bool is_group = frame[1] < 0x80 && frame[2] == 0x30 && pieces.size() == 1 &&
                    pieces[0].bytes.size() == 48;
    if (!pieces.empty()) Schedule(std::move(pieces), is_group, now_ns);
  }
}

void SimServer::Schedule(std::vector<ReplyPiece> pieces, bool is_group, int64_t now_ns) {
  bool applies = fault_ != Fault::kNone && fault_count_ != 0 &&
                 (fault_ != Fault::kBadParity || is_group);
  if (applies) {
    switch (fault_) {
      case Fault::kSilence:
        pieces.clear();
        break;
      case Fault::kShortReply:
        if (!pieces.back().bytes.empty()) pieces.back().bytes.pop_back();
        break;
      case Fault::kLongReply:
        pieces.back().bytes.push_back('\0');
        break;
      case Fault::kBadParity:
        pieces[0].bytes[0] = static_cast<char>(pieces[0].bytes[0] ^ 0x80);
        break;
      case Fault::kStrayBytes:
        pieces[0].bytes.insert(0, stray_);
        break;
      case Fault::kLateReply:
        pieces[0].delay_ms += late_reply_ms_;
        break;
      case Fault::kLateTail: {
        pieces[0].bytes.insert(0, stray_);
        std::string& last = pieces.back().bytes;
        const size_t late = std::min(stray_.size(), last.size());
        ReplyPiece tail{LateTailMs(late_tails_++), last.substr(last.size() - late)};
        last.resize(last.size() - late);
        pieces.push_back(std::move(tail));
        break;
      }
      default:
        break;
    }
    if (fault_count_ > 0 && --fault_count_ == 0) fault_ = Fault::kNone;
  }
  if (bytes_per_second_ == 0) {
    int64_t due = now_ns;
    for (auto& p : pieces) {
      due += static_cast<int64_t>(p.delay_ms) * 1'000'000;
      if (!p.bytes.empty()) pending_.push_back({due, std::move(p.bytes)});
    }
    return;
  }
  // On the real line the reply starts once the frame has fully arrived and the line
  // is free, and each byte takes its own time.
  const int64_t per_byte = 1'000'000'000 / bytes_per_second_;
  int64_t t = std::max(now_ns + 5 * per_byte, line_free_ns_);
  for (auto& p : pieces) {
    t += static_cast<int64_t>(p.delay_ms) * 1'000'000;
    for (char c : p.bytes) {
      t += per_byte;
      pending_.push_back({t, std::string(1, c)});
    }
  }
  line_free_ns_ = t;
}

void SimServer::SendDue(int64_t now_ns) {
  std::string out;
  size_t taken = 0;
  for (const auto& p : pending_) {
    if (p.due_ns > now_ns) break;
    out += p.bytes;
    ++taken;
  }
  line_blocked_ = false;
  if (out.empty() || master_ < 0) return;
  ssize_t n = ::write(master_, out.data(), out.size());
  // The program is not reading and its queue is full: try again when there is room.
  line_blocked_ = n < 0 || static_cast<size_t>(n) < out.size();
  if (n < 0) return;
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(taken));
  if (static_cast<size_t>(n) < out.size()) pending_.push_front({now_ns, out.substr(static_cast<size_t>(n))});
}

}  // namespace sim
