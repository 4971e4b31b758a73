#pragma once
// One serial device on POSIX termios, with the behaviour the instrument link was
// built around on Windows: exclusive open, raw 8N1, reads bounded by an interval
// and a total time-out. A write returns once the bytes are queued; Drain waits until
// they have left (on a USB adapter that costs a round trip, so only a frame that
// gets no reply is drained).
//
// Every call returns 0 or an errno-style code; nothing throws and nothing is shown.
#include <cstdint>
#include <filesystem>
#include <string>

namespace platform {

// Asks the driver of an open serial line for low latency: the serial flag, and on an
// adapter with a latency timer that the user may set (under `sysfs`), 1 ms. False when
// neither was granted (a pseudo-terminal, a driver without the flag, no rights).
bool RequestLowLatency(int fd, const std::filesystem::path& device,
                       const std::filesystem::path& sysfs = "/sys");

// Drains made by this process's serial ports so far: each one costs a USB adapter a
// round trip, so only frames that get no reply are drained.
uint64_t SerialDrainCount();

// Resolves a port name: "COMn" is the link ports/COMn in the program folder. When
// the program folder has no ports folder it is /dev/ttyS<n-1>; a program folder with
// a ports folder names its ports there only, so a test or the demo never reaches
// the machine's own serial lines. Any other name is taken as a device path.
std::filesystem::path ResolveSerialDevice(const std::string& name);

// The system's message for an error code, ended by a line break as a system
// message is, so that text appended to it starts on a new line.
std::string SerialErrorText(int code);

struct SerialLineSettings {
  int baud = 115200;
  int data_bits = 8;  // 5..8
  char parity = 'N';  // N, E, O
  int stop_bits = 1;  // 1 or 2
};

// Read and write time-outs in the Windows sense (0 = not used).
struct SerialTimeouts {
  int read_interval_ms = 100;        // gap after a byte that ends a read
  int read_total_multiplier_ms = 0;  // per byte asked
  int read_total_constant_ms = 200;
  int write_total_multiplier_ms = 1000;  // per byte written
  int write_total_constant_ms = 0;
};

enum class SerialLine { kBreak, kDtr, kRts };

class SerialPort {
 public:
  SerialPort() = default;
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens the device for reading and writing, exclusively (TIOCEXCL and flock):
  // a second open of the same device, from this process or another, fails with EBUSY.
  // It asks the driver for low latency (a USB adapter otherwise holds a short reply
  // up to its 16 ms latency timer); a refusal is ignored.
  int Open(const std::filesystem::path& device);
  bool IsOpen() const { return fd_ >= 0; }
  int Close();

  // Drops what is queued in both directions.
  int Purge();
  // Reads and drops what has arrived, then goes on dropping what arrives within
  // `wait_us`; `discarded` counts the bytes. Nothing is written or dropped outbound.
  int DiscardInput(int wait_us, int& discarded);
  // Waits until every byte written has left.
  int Drain();
  void SetTimeouts(const SerialTimeouts& timeouts) { timeouts_ = timeouts; }
  // Reads the line settings of the open device.
  int GetLineSettings(SerialLineSettings& settings) const;
  // Raw mode with the given speed and framing; no flow control.
  int SetLineSettings(const SerialLineSettings& settings);

  // Reads up to `count` bytes into `buffer`, returning when all came, when the
  // interval time-out passed after a byte, or when the total time-out passed.
  // `received` holds the bytes read even when an error is returned. Under a wait
  // hook (platform/waiting.h) it runs the hook whenever it is due, also while bytes
  // come, and ends early when the hook says stop. While any wait hook runs, every call
  // but Close finds the port busy (EBUSY); a Close from there ends the read with EBADF.
  int Read(uint8_t* buffer, int count, int& received);
  // A read is letting the wait hook run.
  bool Waiting() const { return waiting_; }
  // Writes all bytes (queued, not drained); on the write time-out `written` is
  // below `count` and 0 is returned, as a Windows write does.
  int Write(const uint8_t* data, int count, int& written);
  // Raises or clears a modem line or the break state. Pseudo-terminals have no
  // modem lines: the call fails there with the system's code.
  int SetLine(SerialLine line, bool state);

 private:
  // A read is letting the wait hook run, or another one runs: the exchange under way
  // is not the caller's.
  bool Busy() const;
  int fd_ = -1;
  SerialTimeouts timeouts_;
  bool waiting_ = false;
};

}  // namespace platform
