#include "reports/resampling.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/numeric.h"

namespace reports {

namespace {

// Bin that a record ending at minute t belongs to: a record whose time reaches the end
// of a bin is the last one of that bin.
int64_t EndingBin(int64_t t, int64_t bin) {
  if (t <= 0) return 0;
  return (t + bin - 1) / bin - 1;
}

void SpreadByOverlap(int32_t T, int32_t N, int32_t B, int32_t K, const CountsRecords& in,
                     Table2D<double>& acc, std::vector<double>& temp_acc) {
  const double r = static_cast<double>(T) / (static_cast<double>(N) + 1.0);
  const int64_t last_bin = static_cast<int64_t>(K) + 1;
  // Records lying whole inside one bin are summed as integers (exact and fast); only
  // the records that straddle a bin end are shared out as fractions.
  // 32-bit sums are flushed before 65535 records of at most 32767 counts can overflow them.
  Table2D<int32_t> whole(acc.rows(), kChannelCount, 0);
  std::vector<int32_t> whole_records(acc.rows(), 0);
  auto flush = [&](size_t b) {
    double* cell = acc.row(b);
    int32_t* sum = whole.row(b);
    for (int ch = 0; ch < kChannelCount; ++ch) {
      cell[ch] += sum[ch];
      sum[ch] = 0;
    }
    whole_records[b] = 0;
  };
  for (int32_t j = 0; j <= N; ++j) {
    const double a = j * r;
    const double e = (j + 1) * r;
    const int16_t* counts = in.RecordCounts.row(static_cast<size_t>(j));
    const int16_t temperature = in.RecordTemperature[static_cast<size_t>(j)];
    int64_t b = static_cast<int64_t>(std::floor(a / B));
    if (b <= last_bin && e <= static_cast<double>((b + 1) * B)) {
      int32_t* cell = whole.row(static_cast<size_t>(b));
      for (int ch = 0; ch < kChannelCount; ++ch) cell[ch] += counts[ch];
      if (++whole_records[static_cast<size_t>(b)] == 65535) flush(static_cast<size_t>(b));
      if (temperature > 0) temp_acc[static_cast<size_t>(b)] = temperature;
      continue;
    }
    for (; b <= last_bin; ++b) {
      const double lo = std::max(a, static_cast<double>(b * B));
      const double hi = std::min(e, static_cast<double>((b + 1) * B));
      if (hi <= lo) {
        if (lo >= e) break;
        continue;
      }
      const double share = (hi - lo) / r;
      double* cell = acc.row(static_cast<size_t>(b));
      for (int ch = 0; ch < kChannelCount; ++ch) cell[ch] += counts[ch] * share;
      if (temperature > 0) temp_acc[static_cast<size_t>(b)] = temperature;
    }
  }
  for (size_t b = 0; b < acc.rows(); ++b) flush(b);
}

void AddByRecordTime(int32_t N, int32_t B, int32_t K, const CountsRecords& in, Table2D<double>& acc,
                     std::vector<double>& temp_acc, std::vector<uint8_t>& filled) {
  const int64_t last_bin = static_cast<int64_t>(K) + 1;
  int64_t b = 0;
  for (int32_t j = 0; j <= N; ++j) {
    // The bin index follows the record's time, so a long gap leaves empty bins
    // instead of pulling later activity forward; it never moves back.
    b = std::max(b, EndingBin(in.RecordTime[static_cast<size_t>(j)], B));
    if (b > last_bin) break;
    filled[static_cast<size_t>(b)] = 1;
    const int16_t* counts = in.RecordCounts.row(static_cast<size_t>(j));
    double* cell = acc.row(static_cast<size_t>(b));
    for (int ch = 0; ch < kChannelCount; ++ch) cell[ch] += counts[ch];
    const int16_t temperature = in.RecordTemperature[static_cast<size_t>(j)];
    if (temperature > 0) temp_acc[static_cast<size_t>(b)] = temperature;
  }
}

}  // namespace

bool HasRecordingGap(const std::vector<int32_t>& times, int32_t N) {
  if (N < 1 || times.size() < static_cast<size_t>(N) + 1) return false;
  // Records shorter than a minute share minute stamps: the first interval is then 0,
  // which would switch the test off; one minute is the smallest interval it knows.
  const int64_t dt = std::max<int64_t>(1, static_cast<int64_t>(times[1]) - times[0]);
  for (int32_t i = 1; i <= N; ++i) {
    const int64_t d =
        static_cast<int64_t>(times[static_cast<size_t>(i)]) - times[static_cast<size_t>(i) - 1];
    if (d < 0) continue;
    if (d != 0 && d > 2 * dt) return true;
  }
  return false;
}

int32_t ResampleCounts(int32_t& T, int32_t N, int32_t B, const CountsRecords& in, BinRecords& out) {
  out = BinRecords{};
  const bool usable = B >= 1 && N >= 0 && T > 0 && in.RecordTime.size() > static_cast<size_t>(N) &&
                      in.RecordTemperature.size() > static_cast<size_t>(N) &&
                      in.RecordCounts.rows() > static_cast<size_t>(N) &&
                      in.RecordCounts.cols() >= static_cast<size_t>(kChannelCount);
  if (!usable || static_cast<int64_t>(T) > (static_cast<int64_t>(N) + 1) * kMaxMinutesPerRecord) {
    T = 0;
    return -1;
  }

  const int32_t K = platform::RoundToInt(static_cast<double>(T) / B);
  // Bin end minutes (b + 1) x B are 32-bit: a damaged counts.bin whose minutes lie near
  // that limit would otherwise wrap them.
  if (K > kMaxReportBins || static_cast<int64_t>(K) * B > INT32_MAX) {
    T = 0;
    return -1;
  }
  Table2D<double> acc(static_cast<size_t>(K) + 2, kChannelCount, 0.0);
  std::vector<double> temp_acc(static_cast<size_t>(K) + 2, 0.0);

  const bool gap = HasRecordingGap(in.RecordTime, N);
  const int32_t last = gap ? K : K + 1;
  if (gap) {
    // Bins of the interruption get no record: they are marked, not reported as zeros.
    out.BinHasRecords.assign(static_cast<size_t>(K) + 2, 0);
    AddByRecordTime(N, B, K, in, acc, temp_acc, out.BinHasRecords);
    out.BinHasRecords.resize(static_cast<size_t>(last) + 1);
  } else {
    SpreadByOverlap(T, N, B, K, in, acc, temp_acc);
  }

  out.RecordTime.assign(static_cast<size_t>(last) + 1, 0);
  out.RecordTemperature.assign(static_cast<size_t>(last) + 1, 0);
  out.RecordCounts = Table2D<int32_t>(static_cast<size_t>(last) + 1, kChannelEntries, 0);
  for (int32_t b = 0; b < K; ++b) {
    out.RecordTime[static_cast<size_t>(b)] = (b + 1) * B;
    out.RecordTemperature[static_cast<size_t>(b)] =
        platform::RoundToInt(temp_acc[static_cast<size_t>(b)]);
    const double* cell = acc.row(static_cast<size_t>(b));
    int32_t* dst = out.RecordCounts.row(static_cast<size_t>(b));
    for (int ch = 0; ch < kChannelCount; ++ch) dst[ch] = platform::RoundToInt(cell[ch]);
  }

  // Trailing partial bin: kept and scaled up when the run covers at least three
  // quarters of it, dropped otherwise.
  const int32_t bl = K - 1;
  const int64_t whole = static_cast<int64_t>(platform::Int(static_cast<double>(T) / B)) * B;
  const double pct = static_cast<double>(T - whole) * 100.0 / B;
  if (pct >= 75.0 && pct < 100.0 && bl >= 0) {
    const double f = 1.0 + (100.0 - pct) / 100.0;
    int32_t* dst = out.RecordCounts.row(static_cast<size_t>(bl));
    for (int ch = 0; ch < kChannelCount; ++ch) dst[ch] = platform::RoundToInt(dst[ch] * f);
    T = (bl + 1) * B;
  } else if (pct > 0.0 && pct < 75.0) {
    T = static_cast<int32_t>(whole);
  }
  return platform::RoundToInt(static_cast<double>(T) / B) - 1;
}

}  // namespace reports
