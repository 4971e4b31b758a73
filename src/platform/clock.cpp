#include "platform/clock.h"

#include <thread>

namespace platform {

WallTime SystemClock::Now() const {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

int64_t SystemClock::MonotonicMs() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SystemClock::Sleep(int64_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

WallTime ManualClock::Now() const {
  // Let mktime carry the elapsed seconds across minutes, hours, days and months.
  std::tm tm{};
  tm.tm_year = start_.year - 1900;
  tm.tm_mon = start_.month - 1;
  tm.tm_mday = start_.day;
  tm.tm_hour = start_.hour;
  tm.tm_min = start_.minute;
  tm.tm_sec = start_.second + static_cast<int>((now_ms_ - wall_base_ms_) / 1000);
  tm.tm_isdst = -1;
  {
    const std::time_t t = timegm(&tm);
    std::tm out{};
    gmtime_r(&t, &out);
    return {out.tm_year + 1900, out.tm_mon + 1, out.tm_mday, out.tm_hour, out.tm_min, out.tm_sec};
  }
}

namespace {
SystemClock g_system_clock;
Clock* g_clock = &g_system_clock;
}  // namespace

Clock& GetClock() { return *g_clock; }
void SetClock(Clock* clock) { g_clock = clock ? clock : &g_system_clock; }

}  // namespace platform
