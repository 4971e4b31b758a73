#pragma once
// Wall time (dates, stamps, hour of day) and monotonic time (elapsed run time,
// time-outs) come from one replaceable clock, so tests drive a long run in
// milliseconds by advancing a manual clock.
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>

namespace platform {

// Broken-down local wall time, the fields the program formats into names and stamps.
struct WallTime {
  int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual WallTime Now() const = 0;
  // Milliseconds since an arbitrary fixed point; never goes backwards.
  virtual int64_t MonotonicMs() const = 0;
  virtual void Sleep(int64_t ms) = 0;
};

class SystemClock final : public Clock {
 public:
  WallTime Now() const override;
  int64_t MonotonicMs() const override;
  void Sleep(int64_t ms) override;
};

// Time stands still until a test advances it; Sleep advances it instead of waiting.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(WallTime start = {2026, 1, 1, 12, 0, 0}) : start_(start) {}
  WallTime Now() const override;
  int64_t MonotonicMs() const override { return now_ms_; }
  void Sleep(int64_t ms) override { Advance(ms); }
  void Advance(int64_t ms) { if (ms > 0) now_ms_ += ms; }
  void SetWall(WallTime w) { start_ = w; wall_base_ms_ = now_ms_; }

 private:
  WallTime start_;
  int64_t now_ms_ = 0;
  int64_t wall_base_ms_ = 0;
};

// The process-wide clock: the system clock unless a test installs another.
Clock& GetClock();
// Installs `clock` (not owned) as the process clock; nullptr restores the system clock.
void SetClock(Clock* clock);

// Shorthands through the process clock.
inline void Sleep(int64_t ms) { GetClock().Sleep(ms); }
inline int64_t MonotonicMs() { return GetClock().MonotonicMs(); }
inline WallTime Now() { return GetClock().Now(); }

}  // namespace platform
