// Converts the same large report-like CSV files to XLSX with our converter and with
// libxlsxwriter, and prints times, their ratio and the file sizes. The peer is given
// the table our CSV reader made, so both sides pay the same reading and splitting.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "xlsx/cell_table.h"
#include "xlsx/convert_csv.h"
#include "xlsx/csv_reader.h"

#ifdef QUENLAR_HAVE_XLSXWRITER
#include <xlsxwriter.h>
#endif

namespace fs = std::filesystem;

namespace {

const xlsx::NumberLocale kDot{'.', ','};
const platform::WallTime kWhen{2026, 1, 1, 12, 0, 0};
constexpr int kRepeats = 3;

// A report-like table: a header row of quoted group labels, then a time column and
// alternating whole counts and one-decimal values, with a text now and then.
std::string MakeCsv(int rows, int cols) {
  std::string csv;
  csv.reserve(static_cast<size_t>(rows) * cols * 7);
  uint32_t seed = 12345;
  const auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 8) % 100000; };
  for (int k = 0; k < cols; ++k) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s\"%03d_Group %d\"", k ? "," : "", k, k);
    csv += buf;
  }
  csv += "\r\n";
  for (int r = 1; r < rows; ++r) {
    csv += std::to_string(r * 5);
    for (int k = 1; k < cols; ++k) {
      char buf[32];
      const uint32_t v = next();
      if (k % 97 == 0)
        std::snprintf(buf, sizeof buf, ",CH%u", v % 384);
      else if (k % 2)
        std::snprintf(buf, sizeof buf, ",%u", v % 5000);
      else
        std::snprintf(buf, sizeof buf, ",%u.%u", v % 500, v % 10);
      csv += buf;
    }
    csv += "\r\n";
  }
  return csv;
}

double BestMs(const std::function<bool()>& run) {
  double best = 1e300;
  for (int i = 0; i < kRepeats; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    if (!run()) return -1;
    const auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  return best;
}

bool ReadTable(const std::string& csv_path, xlsx::CellTable* table) {
  std::string text;
  return xlsx::ReadWholeFile(csv_path, &text).ok() && xlsx::ParseCsv(text, ",", kDot, table).ok();
}

#ifdef QUENLAR_HAVE_XLSXWRITER
bool PeerConvert(const std::string& csv_path, const std::string& out, bool constant_memory) {
  xlsx::CellTable table;
  if (!ReadTable(csv_path, &table)) return false;
  lxw_workbook_options options = {};
  options.constant_memory = constant_memory ? LXW_TRUE : LXW_FALSE;
  lxw_workbook* wb = workbook_new_opt(out.c_str(), &options);
  if (wb == nullptr) return false;
  lxw_worksheet* ws = workbook_add_worksheet(wb, "Hoja1");
  std::string text;
  for (size_t r = 1; r <= table.rows(); ++r) {
    for (size_t k = 1; k <= table.cols(); ++k) {
      const xlsx::CellValue v = table.At(r, k);
      const auto row = static_cast<lxw_row_t>(r - 1);
      const auto col = static_cast<lxw_col_t>(k - 1);
      if (v.kind == xlsx::CellKind::kNumber) {
        worksheet_write_number(ws, row, col, v.number, nullptr);
      } else if (!v.text.empty()) {
        text.assign(v.text);
        worksheet_write_string(ws, row, col, text.c_str(), nullptr);
      }
    }
  }
  return workbook_close(wb) == LXW_NO_ERROR;
}
#endif

void RunCase(const fs::path& dir, int rows, int cols) {
  const std::string csv_path = (dir / "report.csv").string();
  { std::ofstream(csv_path, std::ios::binary) << MakeCsv(rows, cols); }
  const std::string ours_path = (dir / "ours.xlsx").string();
  std::printf("%d rows x %d columns (CSV %.1f MB)\n", rows, cols,
              fs::file_size(csv_path) / 1048576.0);

  const double read_ms = BestMs([&] {
    xlsx::CellTable table;
    return ReadTable(csv_path, &table);
  });
  const double ours_ms =
      BestMs([&] { return xlsx::ConvertCsvToXlsx(csv_path, ours_path, ",", kDot, kWhen).ok(); });
  std::printf("  reading and splitting alone: %8.1f ms\n", read_ms);
  std::printf("  ours:                        %8.1f ms  %10.1f KB\n", ours_ms,
              fs::file_size(ours_path) / 1024.0);
#ifdef QUENLAR_HAVE_XLSXWRITER
  for (const bool constant_memory : {false, true}) {
    const std::string peer_path = (dir / "peer.xlsx").string();
    const double peer_ms =
        BestMs([&] { return PeerConvert(csv_path, peer_path, constant_memory); });
    std::printf("  libxlsxwriter%s %8.1f ms  %10.1f KB   ours/peer time %.3f\n",
                constant_memory ? " (constant_memory):" : ":                   ", peer_ms,
                fs::file_size(peer_path) / 1024.0, ours_ms / peer_ms);
  }
#endif
}

long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string k = std::string(key) + ":";
  while (std::getline(in, line))
    if (line.compare(0, k.size(), k) == 0) return std::atol(line.c_str() + k.size());
  return -1;
}

// A report in the list layout: one line per channel and bin, as the workbook export
// meets the longest reports.
void MemoryCase(const fs::path& dir, int rows) {
  const std::string csv_path = (dir / "list.csv").string();
  {
    std::string csv;
    csv.reserve(static_cast<size_t>(rows) * 34);
    for (int r = 0; r < rows; ++r) {
      const int ch = r % 384;
      csv += std::to_string((r / 384 + 1) * 30) + " CH" + std::to_string(ch) + "," +
             static_cast<char>('A' + ch % 16) + std::to_string(ch / 16 + 1) + ".0,\"" +
             (ch % 13 < 10 ? "00" : "0") + std::to_string(ch % 13) + "_Group" +
             std::to_string(ch % 13) + "\"," + std::to_string((r % 997) * 31 % 300) + "\r\n";
    }
    std::ofstream(csv_path, std::ios::binary) << csv;
  }
  const double csv_mb = fs::file_size(csv_path) / 1048576.0;
  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = StatusKb("VmRSS");
  const auto t0 = std::chrono::steady_clock::now();
  const bool ok =
      xlsx::ConvertCsvToXlsx(csv_path, (dir / "list.xlsx").string(), ",", kDot, kWhen).ok();
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  const double added_mb = (StatusKb("VmHWM") - before) / 1024.0;
  std::printf(
      "%d rows (CSV %.1f MB): %s in %.1f ms, peak memory added %.1f MB = %.2f x the CSV "
      "(goal < 3 x)\n",
      rows, csv_mb, ok ? "converted" : "FAILED", ms, added_mb, added_mb / csv_mb);
}

}  // namespace

int main() {
  std::string templ = (fs::temp_directory_path() / "quenlar-bench-xlsx-XXXXXX").string();
  const char* made = mkdtemp(templ.data());
  if (made == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path dir(made);
#ifndef QUENLAR_HAVE_XLSXWRITER
  std::printf("libxlsxwriter not found: built without the peer, ours only\n");
#endif
  std::printf("best of %d runs each (read, split, build, write)\n", kRepeats);
  MemoryCase(dir, 400000);
  RunCase(dir, 2000, 400);
  RunCase(dir, 100000, 10);
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
