#include "platform/serial_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <system_error>

#include "platform/program_folder.h"
#include "platform/waiting.h"

namespace platform {

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

speed_t BaudConstant(int baud) {
  switch (baud) {
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    default:
      return 0;
  }
}

int BaudNumber(speed_t speed) {
  switch (speed) {
    case B1200:
      return 1200;
    case B2400:
      return 2400;
    case B4800:
      return 4800;
    case B9600:
      return 9600;
    case B19200:
      return 19200;
    case B38400:
      return 38400;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    case B230400:
      return 230400;
    default:
      return 0;
  }
}

// "COMn" with n a decimal 1..255; 0 otherwise.
int ComNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 6) return 0;
  if ((name[0] != 'C' && name[0] != 'c') || (name[1] != 'O' && name[1] != 'o') ||
      (name[2] != 'M' && name[2] != 'm'))
    return 0;
  int n = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    n = n * 10 + (name[i] - '0');
  }
  return n >= 1 && n <= 255 ? n : 0;
}

// The latency timer of a USB serial adapter's driver (ftdi_sio and its kin), in ms.
std::filesystem::path LatencyTimerFile(const std::filesystem::path& device,
                                       const std::filesystem::path& sysfs) {
  std::error_code ec;
  const auto real = std::filesystem::canonical(device, ec);
  if (ec) return {};
  return sysfs / "class" / "tty" / real.filename() / "device" / "latency_timer";
}

std::atomic<uint64_t> g_drains{0};

}  // namespace

uint64_t SerialDrainCount() { return g_drains.load(); }

bool RequestLowLatency(int fd, const std::filesystem::path& device,
                       const std::filesystem::path& sysfs) {
  bool granted = false;
  serial_struct ss{};
  if (::ioctl(fd, TIOCGSERIAL, &ss) == 0) {
    ss.flags |= ASYNC_LOW_LATENCY;
    granted = ::ioctl(fd, TIOCSSERIAL, &ss) == 0;
  }
  // Where the system lets the user set the adapter's timer, 1 ms; writing needs rights
  // that a user usually gives through a udev rule (see the README).
  const auto timer = LatencyTimerFile(device, sysfs);
  std::ifstream in(timer);
  int ms = 0;
  if (in >> ms && ms > 1) {
    std::ofstream out(timer);
    out << 1;
    out.flush();
    granted = granted || out.good();
  } else if (in && ms == 1) {
    granted = true;
  }
  return granted;
}

std::filesystem::path ResolveSerialDevice(const std::string& name) {
  int n = ComNumber(name);
  if (n == 0) return std::filesystem::path(name);
  std::filesystem::path ports = ProgramFolder() / "ports";
  std::string com = "COM" + std::to_string(n);
  std::error_code ec;
  if (std::filesystem::is_directory(ports, ec)) return ports / com;
  return std::filesystem::path("/dev/ttyS" + std::to_string(n - 1));
}

std::string SerialErrorText(int code) {
  if (code == 0) return "The operation completed successfully.\r\n";
  return std::string(std::strerror(code)) + ".\r\n";
}

SerialPort::~SerialPort() { Close(); }

bool SerialPort::Busy() const { return waiting_ || InsideWait(); }

int SerialPort::Open(const std::filesystem::path& device) {
  if (fd_ >= 0) return EBUSY;
  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  // The lock keeps a second open out even for a privileged user, whom TIOCEXCL lets pass.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int code = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(fd);
    return code;
  }
  if (::isatty(fd)) {
    ::ioctl(fd, TIOCEXCL);
    RequestLowLatency(fd, device);
  }
  fd_ = fd;
  return 0;
}

int SerialPort::Close() {
  if (fd_ < 0) return 0;
  // The pseudo-terminal outlives us when its other side keeps it open: leave it
  // openable for the next user.
  if (::isatty(fd_)) ::ioctl(fd_, TIOCNXCL);
  int rc = ::close(fd_);
  fd_ = -1;
  return rc == 0 ? 0 : errno;
}

int SerialPort::Purge() {
  if (fd_ < 0) return EBADF;
  if (Busy()) return EBUSY;
  return ::tcflush(fd_, TCIOFLUSH) == 0 ? 0 : errno;
}

int SerialPort::DiscardInput(int wait_us, int& discarded) {
  discarded = 0;
  if (fd_ < 0) return EBADF;
  if (Busy()) return EBUSY;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(wait_us);
  uint8_t buffer[256];
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n > 0) {
      discarded += static_cast<int>(n);
      continue;
    }
    if (n == 0) return EIO;  // the other side is gone
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return errno;
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return 0;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timespec ts{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    pollfd p{fd_, POLLIN, 0};
    const int rc = ::ppoll(&p, 1, &ts, nullptr);
    if (rc < 0 && errno != EINTR) return errno;
    if (rc == 0) return 0;
    if (rc > 0 && !(p.revents & POLLIN) && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return EIO;
  }
}

int SerialPort::Drain() {
  if (fd_ < 0) return EBADF;
  if (Busy()) return EBUSY;
  ++g_drains;
  while (::tcdrain(fd_) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

int SerialPort::GetLineSettings(SerialLineSettings& settings) const {
  if (fd_ < 0) return EBADF;
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) return errno;
  settings.baud = BaudNumber(cfgetospeed(&t));
  switch (t.c_cflag & CSIZE) {
    case CS5:
      settings.data_bits = 5;
      break;
    case CS6:
      settings.data_bits = 6;
      break;
    case CS7:
      settings.data_bits = 7;
      break;
    default:
      settings.data_bits = 8;
      break;
  }
  settings.parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 'O' : 'E') : 'N';
  settings.stop_bits = (t.c_cflag & CSTOPB) ? 2 : 1;
  return 0;
}

int SerialPort::SetLineSettings(const SerialLineSettings& settings) {
  if (fd_ < 0) return EBADF;
  if (Busy()) return EBUSY;
  speed_t speed = BaudConstant(settings.baud);
  if (speed == 0) return EINVAL;
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) return errno;
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  switch (settings.data_bits) {
    case 5:
      t.c_cflag |= CS5;
      break;
    case 6:
      t.c_cflag |= CS6;
      break;
    case 7:
      t.c_cflag |= CS7;
      break;
    case 8:
      t.c_cflag |= CS8;
      break;
    default:
      return EINVAL;
  }
  if (settings.parity == 'E')
    t.c_cflag |= PARENB;
  else if (settings.parity == 'O')
    t.c_cflag |= PARENB | PARODD;
  else if (settings.parity != 'N')
    return EINVAL;
  if (settings.stop_bits == 2)
    t.c_cflag |= CSTOPB;
  else if (settings.stop_bits != 1)
    return EINVAL;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) return errno;
  return ::tcsetattr(fd_, TCSANOW, &t) == 0 ? 0 : errno;
}

int SerialPort::Read(uint8_t* buffer, int count, int& received) {
  received = 0;
  if (fd_ < 0) return EBADF;
  if (Busy()) return EBUSY;
  if (count <= 0) return 0;
  const bool sliced = WaitHookActive();
  const int64_t start = NowMs();
  const int64_t total = static_cast<int64_t>(timeouts_.read_total_multiplier_ms) * count +
                        timeouts_.read_total_constant_ms;
  int64_t last_byte = 0;
  bool after_hook = false;
  while (received < count) {
    // The windows run at their pace whatever the bytes do: a reply that trickles in
    // must not hold them until it is whole.
    if (sliced && MsUntilWaitHookDue() == 0) {
      waiting_ = true;
      const bool keep = KeepWaiting();
      waiting_ = false;
      if (fd_ < 0) return EBADF;  // closed by what ran meanwhile
      if (!keep) break;
      after_hook = true;
    }
    const int64_t now = NowMs();
    bool limited = false;  // without a time-out the read waits for the count
    int64_t wait = 0;
    if (total > 0) {
      limited = true;
      wait = start + total - now;
    }
    if (received > 0 && timeouts_.read_interval_ms > 0) {
      const int64_t gap = last_byte + timeouts_.read_interval_ms - now;
      wait = limited ? std::min(wait, gap) : gap;
      limited = true;
    }
    if (limited && wait <= 0) {
      // What arrived while the windows ran is still taken, as at any time-out.
      if (!after_hook) break;
      wait = 0;
    }
    after_hook = false;
    int64_t slice = limited ? wait : -1;
    if (sliced) {
      const int64_t due = std::max<int64_t>(0, MsUntilWaitHookDue());
      slice = limited ? std::min(wait, due) : due;
    }
    pollfd p{fd_, POLLIN, 0};
    int rc = ::poll(&p, 1, static_cast<int>(slice));
    if (rc < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (rc == 0) {
      if (!sliced || (limited && slice >= wait)) break;
      continue;  // the hook is due
    }
    if (p.revents & POLLIN) {
      ssize_t n = ::read(fd_, buffer + received, static_cast<size_t>(count - received));
      if (n > 0) {
        received += static_cast<int>(n);
        last_byte = NowMs();
        continue;
      }
      if (n == 0) return EIO;  // the other side is gone
      if (errno == EAGAIN || errno == EINTR) continue;
      return errno;
    }
    if (p.revents & POLLNVAL) return EBADF;
    if (p.revents & (POLLHUP | POLLERR)) return EIO;
  }
  return 0;
}

int SerialPort::Write(const uint8_t* data, int count, int& written) {
  written = 0;
  if (fd_ < 0) return EBADF;
  if (Busy()) return EBUSY;
  const int64_t start = NowMs();
  const int64_t total = static_cast<int64_t>(timeouts_.write_total_multiplier_ms) * count +
                        timeouts_.write_total_constant_ms;
  while (written < count) {
    ssize_t n = ::write(fd_, data + written, static_cast<size_t>(count - written));
    if (n > 0) {
      written += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return errno;
    int64_t wait = total > 0 ? start + total - NowMs() : -1;
    if (total > 0 && wait <= 0) return 0;  // timed out: a short write, not a failure
    pollfd p{fd_, POLLOUT, 0};
    int rc = ::poll(&p, 1, static_cast<int>(wait));
    if (rc < 0 && errno != EINTR) return errno;
    if (rc > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p.revents & POLLOUT))
      return EIO;
  }
  return 0;
}

int SerialPort::SetLine(SerialLine line, bool state) {
  if (fd_ < 0) return EBADF;
  if (Busy()) return EBUSY;
  int rc;
  if (line == SerialLine::kBreak) {
    rc = ::ioctl(fd_, state ? TIOCSBRK : TIOCCBRK);
  } else {
    int bits = line == SerialLine::kDtr ? TIOCM_DTR : TIOCM_RTS;
    rc = ::ioctl(fd_, state ? TIOCMBIS : TIOCMBIC, &bits);
  }
  return rc == 0 ? 0 : errno;
}

}  // namespace platform
