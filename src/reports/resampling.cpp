#include "reports/resampling.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/numeric.h"

namespace reports {

namespace {

// The two ways a run's records are held, seen alike: counts of record j (channels
// 0..383 at least), its temperature and its time.
struct LoadedRecords {
  const CountsRecords& in;
  size_t Entries() const {
    return std::min({in.RecordTime.size(), in.RecordTemperature.size(),
                     in.RecordCounts.cols() >= static_cast<size_t>(kChannelCount)
                         ? in.RecordCounts.rows()
                         : size_t{0}});
  }
  const int16_t* Counts(size_t j) const { return in.RecordCounts.row(j); }
  int16_t Temperature(size_t j) const { return in.RecordTemperature[j]; }
  const std::vector<int32_t>& Times() const { return in.RecordTime; }
};

struct StoredRecords {
  const storage::StoredCountsRecords& in;
  size_t Entries() const {
    return std::min(in.RecordTime.size(), in.records);
  }
  const int16_t* Counts(size_t j) const { return in.Counts(j); }
  int16_t Temperature(size_t j) const { return in.Temperature(j); }
  const std::vector<int32_t>& Times() const { return in.RecordTime; }
};

// Adds a record's counts to a bin's whole sums: exact integer sums, on the widest
// vectors the processor has (a week of records is read in full).
__attribute__((target_clones("avx2", "default"))) void AddCounts(int32_t* sum,
                                                                  const int16_t* counts) {
  for (int ch = 0; ch < kChannelCount; ++ch) sum[ch] += counts[ch];
}

// Bin that a record ending at minute t belongs to: a record whose time reaches the end
// of a bin is the last one of that bin.
int64_t EndingBin(int64_t t, int64_t bin) {
  if (t <= 0) return 0;
  return (t + bin - 1) / bin - 1;
}

template <typename Records>
void SpreadByOverlap(int32_t T, int32_t N, int32_t B, int32_t K, const Records& in,
                     Table2D<double>& acc, std::vector<double>& temp_acc) {
  const double r = static_cast<double>(T) / (static_cast<double>(N) + 1.0);
  const int64_t last_bin = static_cast<int64_t>(K) + 1;
  // Records lying whole inside one bin are summed as integers (exact and fast); only
  // the records that straddle a bin end are shared out as fractions. The whole sum of a
  // bin joins its fractions once no later record can reach the bin (records come in
  // time order), or before 65535 records of at most 32767 counts could overflow it.
  std::vector<int32_t> whole(kChannelCount, 0);
  int64_t whole_bin = -1;
  int32_t whole_records = 0;
  auto flush = [&] {
    if (whole_bin < 0) return;
    double* cell = acc.row(static_cast<size_t>(whole_bin));
    for (int ch = 0; ch < kChannelCount; ++ch) cell[ch] += whole[static_cast<size_t>(ch)];
    std::fill(whole.begin(), whole.end(), 0);
    whole_records = 0;
  };
  for (int32_t j = 0; j <= N; ++j) {
    const double a = j * r;
    const double e = (j + 1) * r;
    const int16_t* counts = in.Counts(static_cast<size_t>(j));
    const int16_t temperature = in.Temperature(static_cast<size_t>(j));
    int64_t b = static_cast<int64_t>(std::floor(a / B));
    if (b <= last_bin && e <= static_cast<double>((b + 1) * B)) {
      if (b != whole_bin) {
        flush();
        whole_bin = b;
      }
      AddCounts(whole.data(), counts);
      if (++whole_records == 65535) flush();
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
  flush();
}

template <typename Records>
void AddByRecordTime(int32_t N, int32_t B, int32_t K, const Records& in, Table2D<double>& acc,
                     std::vector<double>& temp_acc, std::vector<uint8_t>& filled) {
  const int64_t last_bin = static_cast<int64_t>(K) + 1;
  int64_t b = 0;
  for (int32_t j = 0; j <= N; ++j) {
    // The bin index follows the record's time, so a long gap leaves empty bins
    // instead of pulling later activity forward; it never moves back.
    b = std::max(b, EndingBin(in.Times()[static_cast<size_t>(j)], B));
    if (b > last_bin) break;
    filled[static_cast<size_t>(b)] = 1;
    const int16_t* counts = in.Counts(static_cast<size_t>(j));
    double* cell = acc.row(static_cast<size_t>(b));
    for (int ch = 0; ch < kChannelCount; ++ch) cell[ch] += counts[ch];
    const int16_t temperature = in.Temperature(static_cast<size_t>(j));
    if (temperature > 0) temp_acc[static_cast<size_t>(b)] = temperature;
  }
}

template <typename Records>
int32_t Resample(int32_t& T, int32_t N, int32_t B, const Records& in, BinRecords& out);

// The trailing partial-bin rule for a run ending at minute T in K bins of B minutes: the
// end kept, and the factor the last bin's counts are scaled by (1 when they are not).
struct KeptEnd {
  int32_t T;
  double scale;
};
KeptEnd TrailingBin(int32_t T, int32_t B, int32_t K) {
  const int64_t whole = static_cast<int64_t>(platform::Int(static_cast<double>(T) / B)) * B;
  const double pct = static_cast<double>(T - whole) * 100.0 / B;
  if (pct >= 75.0 && pct < 100.0 && K >= 1) return {K * B, 1.0 + (100.0 - pct) / 100.0};
  if (pct > 0.0 && pct < 75.0) return {static_cast<int32_t>(whole), 1.0};
  return {T, 1.0};
}

}  // namespace

int32_t LastReportBin(int32_t& T, int32_t N, int32_t B) {
  const bool usable = B >= 1 && N >= 0 && T > 0;
  const int32_t K = usable ? platform::RoundToInt(static_cast<double>(T) / B) : 0;
  // Bin end minutes (b + 1) x B are 32-bit: a damaged counts.bin whose minutes lie near
  // that limit would otherwise wrap them.
  if (!usable || static_cast<int64_t>(T) > (static_cast<int64_t>(N) + 1) * kMaxMinutesPerRecord ||
      K > kMaxReportBins || static_cast<int64_t>(K) * B > INT32_MAX) {
    T = 0;
    return -1;
  }
  T = TrailingBin(T, B, K).T;
  return platform::RoundToInt(static_cast<double>(T) / B) - 1;
}

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
  return Resample(T, N, B, LoadedRecords{in}, out);
}

int32_t ResampleCounts(int32_t& T, int32_t N, int32_t B, const storage::StoredCountsRecords& in,
                       BinRecords& out) {
  return Resample(T, N, B, StoredRecords{in}, out);
}

namespace {

template <typename Records>
int32_t Resample(int32_t& T, int32_t N, int32_t B, const Records& in, BinRecords& out) {
  out = BinRecords{};
  int32_t kept_end = T;
  const int32_t result = LastReportBin(kept_end, N, B);
  if (result < 0 || in.Entries() <= static_cast<size_t>(N)) {
    T = 0;
    return -1;
  }

  const int32_t K = platform::RoundToInt(static_cast<double>(T) / B);
  Table2D<double> acc(static_cast<size_t>(K) + 2, kChannelCount, 0.0);
  std::vector<double> temp_acc(static_cast<size_t>(K) + 2, 0.0);

  const bool gap = HasRecordingGap(in.Times(), N);
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
    platform::RoundToInts(acc.row(static_cast<size_t>(b)),
                          out.RecordCounts.row(static_cast<size_t>(b)), kChannelCount);
  }

  // Trailing partial bin: kept and scaled up when the run covers at least three
  // quarters of it, dropped otherwise.
  const KeptEnd end = TrailingBin(T, B, K);
  if (end.scale != 1.0) {
    int32_t* dst = out.RecordCounts.row(static_cast<size_t>(K) - 1);
    for (int ch = 0; ch < kChannelCount; ++ch) dst[ch] = platform::RoundToInt(dst[ch] * end.scale);
  }
  T = end.T;
  return result;
}

}  // namespace

}  // namespace reports
