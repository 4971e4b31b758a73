// Damaged run files through their readers and through whole reports of every layout,
// and damaged CSV text through the workbook converter's reader: no crash, no sanitizer
// report, and a report that is written holds no more bins than its records can fill.
#include <gtest/gtest.h>

#include <map>

#include "storage/run_files.h"
#include "platform/launcher.h"
#include "reports/report_engine.h"
#include "reports/run_folder.h"
#include "storage/run_loading.h"
#include "support/fuzz_bytes.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"
#include "xlsx/csv_reader.h"

namespace reports {
namespace {

namespace fs = std::filesystem;

std::string ValidCounts(int records) {
  std::string bytes;
  storage::CountsRecord r;
  for (int k = 0; k < records; ++k) {
    r.Elapsed_Minutes = k + 1;
    for (int c = 0; c < 385; ++c)
      r.Counts[static_cast<size_t>(c)] = static_cast<int16_t>((k * c) % 50);
    r.Counts[384] = 250;
    bytes += storage::EncodeCountsRecord(r);
  }
  return bytes;
}

TEST(Fuzz, RunFilesThroughTheirReadersAndEveryReportLayout) {
  testsupport::TempProgramFolder home;
  reports_test::WritePlateFile(home.path());
  const fs::path run = home / "p00001" / "20260101_1000";
  reports_test::WriteRunTexts(run);
  const std::map<std::string, std::string> valid = [&] {
    std::map<std::string, std::string> v;
    v["counts.bin"] = ValidCounts(40);
    storage::HistoRecord h;
    h.Elapsed_Minutes_Exact = 12.5;
    h.Sample_Seconds = 0.03;
    h.At(0, 3) = 7;
    v["histo0000.bin"] = storage::EncodeHistoRecord(h) + storage::EncodeHistoRecord(h);
    storage::RawBlockRecord raw;
    raw.At(16, 3) = 900;
    v["0.bin"] = storage::EncodeRawBlockRecord(raw);
    for (const char* text : {"setup.dat", "groups.dat", "chgroup.dat"})
      v[text] = testsupport::ReadBytes(run / text);
    return v;
  }();
  testsupport::FuzzBytes fuzz(20240612, std::string("\0\x01\x02\x7f\x80\xff", 6) + "0123,\"\r\n-");
  platform::RecordingLauncher launcher;
  platform::SetLauncher(&launcher);
  testsupport::ScriptedDialogs dialogs;
  dialogs.AllowAnyOk();
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    for (const auto& [name, bytes] : valid)
      testsupport::WriteBytes(run / name, round % 4 == 0 || name.find(".bin") != std::string::npos
                                              ? fuzz(bytes, 4000)
                                              : bytes);
    (void)storage::ReadCountsFile(run / "counts.bin");
    (void)storage::ReadHistoFile(run / "histo0000.bin");
    (void)storage::ReadRawFile(run / "0.bin", 500);
    storage::RawBlockRecord raw;
    (void)storage::ReadRunRawBlock(run, 0, 500, raw);
    storage::HistoRecord histo;
    (void)storage::ReadRunHistoRecord(run, 1, histo);
    CountsRecords loaded;
    const int32_t last = storage::LoadCountsFile(run / "counts.bin", loaded);
    ASSERT_GE(last, -2);
    if (last >= 0) {
      ASSERT_EQ(loaded.RecordTime.size(), static_cast<size_t>(last) + 2);
    }
    for (int option = 0; option <= 4; ++option) {
      ReportChoices choices;
      choices.input_folder = run.string();
      choices.bin_text = round % 2 ? "1" : "30";
      choices.option = static_cast<OutputOption>(option);
      choices.autoreport = true;
      fs::remove(run / "report.csv");
      ReportEngine engine;
      if (engine.Generate(choices) != ReportStatus::kWritten) continue;
      // Bounded by the records: an hour per record at most, so a few thousand lines.
      ASSERT_LT(fs::file_size(run / "report.csv"), 20'000'000u);
    }
  }
  platform::SetLauncher(nullptr);
}

TEST(Fuzz, DamagedCsvThroughTheWorkbookReader) {
  const std::string valid = reports_test::Lines(
      {"\"DATE:\";\"06/12/2026 21:30:00\"", "", "Group/Time[m];30;60",
       "\"000_Control\";1,5;2.000,25", "\"say \"\"hi\"\"\";-3e2;  7 ", "A1;\"x;y\";"});
  testsupport::FuzzBytes fuzz(99, "\";,.\r\n 0123456789eE-+\xC3\xA9");
  for (int round = 0; round < 400; ++round) {
    const std::string text = fuzz(valid);
    for (const char* sep : {";", ","}) {
      xlsx::CellTable table;
      const xlsx::NumberLocale locale =
          round % 2 ? xlsx::NumberLocale{',', '.'} : xlsx::NumberLocale{};
      const xlsx::CsvSheetRows rows(text, sep, locale);
      if (!xlsx::ParseCsv(text, sep, locale, &table).ok()) {
        ASSERT_FALSE(rows.status().ok());
        continue;
      }
      // The converter's row-at-a-time reader agrees with the table, cell for cell.
      ASSERT_EQ(rows.rows(), table.rows());
      ASSERT_EQ(rows.cols(), table.cols());
      size_t r = 0;
      rows.ForEachRow([&](const xlsx::CellValue* cells, size_t count) {
        ++r;
        ASSERT_EQ(count, table.RowLength(r));
        for (size_t k = 0; k < count; ++k) {
          const xlsx::CellValue v = table.At(r, k + 1);
          ASSERT_EQ(cells[k].kind, v.kind);
          ASSERT_EQ(cells[k].text, v.text);
        }
      });
      ASSERT_EQ(r, table.rows());
    }
  }
}

}  // namespace
}  // namespace reports
