#include "reports/report_writer.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <utility>

#include "platform/clock.h"
#include "platform/file_write.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/system.h"
#include "reports/report_layout.h"
#include "storage/run_description.h"
#include "xlsx/convert_csv.h"

namespace reports {

namespace {

void SpreadsheetExport(const std::string& csv, const std::string& xlsx_path,
                       const std::string& separator) {
  xlsx::Convertir_csv_xlsx(csv, xlsx_path, separator);
}

WorkbookConverter& Converter() {
  static WorkbookConverter converter = SpreadsheetExport;
  return converter;
}

std::string Join(const std::string& folder, const std::string& name) {
  return (std::filesystem::path(folder) / name).string();
}

bool CreateEmpty(const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  return static_cast<bool>(out);
}

std::string Stamp(const platform::WallTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

}  // namespace

void SetWorkbookConverter(WorkbookConverter converter) {
  Converter() = converter ? std::move(converter) : WorkbookConverter(SpreadsheetExport);
}

std::string ReportDateText(int year, int month, int day, int hour, int minute, int second) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d:%02d", day, month, year, hour, minute,
                second);
  return buf;
}

std::optional<std::string> CreateReportFile(const std::string& folder,
                                            const std::string& extension) {
  if (CreateEmpty(Join(folder, "report" + extension))) return std::string("report");
  // A report held open elsewhere must not stop a new one: try numbered names.
  for (int k = 1; k <= kMaxReportNames; ++k) {
    const std::string base = "report_" + std::to_string(k);
    if (CreateEmpty(Join(folder, base + extension))) return base;
  }
  return std::nullopt;
}

std::string ReportCopyName(const std::string& run_name) {
  std::string name;
  for (char c : run_name) {
    if (c == '/' || c == '\\') continue;
    name += c == ' ' ? '_' : c;
  }
  for (size_t p; (p = name.find("..")) != std::string::npos;) name.erase(p, 2);
  return name;
}

std::optional<std::string> WriteReport(int32_t L, int32_t B, bool basal,
                                       const ReportChoices& choices,
                                       const std::string& setting_text, const RunPlate& plate,
                                       const GroupStatistics& stats) {
  const std::string& folder = choices.input_folder;
  const std::string extension = choices.report_type == ReportType::kText ? ".txt" : ".csv";

  ReportLayout layout;
  layout.L = L;
  layout.B = B;
  layout.basal = basal;
  layout.option = choices.option;
  layout.std_error = choices.std_error;
  layout.std_dev = choices.std_dev;
  layout.well_count = choices.well_count;
  layout.separator = choices.separator;
  layout.decimal_symbol = choices.decimal_symbol != 0
                              ? choices.decimal_symbol
                              : platform::UserNumberConventions().decimal_point;
  const platform::WallTime now = platform::Now();
  layout.date_text = ReportDateText(now.year, now.month, now.day, now.hour, now.minute, now.second);
  layout.folder_text = folder;
  layout.subproject_name = storage::ReadSubprojectName(folder);
  layout.setting_text = setting_text;
  layout.basal_text = choices.basal_text;

  const std::optional<std::string> base = CreateReportFile(folder, extension);
  if (!base) return std::nullopt;
  const std::string path = Join(folder, *base + extension);
  // The report and its copy named after the run are written side by side as the text
  // is made; each reaches its name only when whole. A failed copy is not reported:
  // the report itself is there.
  platform::AtomicFileWriter report(path);
  const std::string copy_name = ReportCopyName(layout.subproject_name);
  std::optional<platform::AtomicFileWriter> copy;
  if (!copy_name.empty() && copy_name != *base) copy.emplace(Join(folder, copy_name + extension));
  WriteReportText(layout, plate, stats, [&](std::string_view piece) {
    report.Write(piece);
    if (copy) copy->Write(piece);
  });
  if (report.Commit() != 0) return std::nullopt;
  if (copy) copy->Commit();

  if (choices.autoreport) return path;
  // Without a program to open it (no desktop file opener) the user is told where it is.
  const auto open = [](const std::string& command, const std::string& file) {
    platform::ShellOrSay(command + file,
                         "No program could open the report. It is saved as:\r\n" + file);
  };
  switch (choices.report_type) {
    case ReportType::kCsv:
      open("explorer ", Join(folder, *base + ".csv"));
      break;
    case ReportType::kText:
      open("notepad ", Join(folder, *base + ".txt"));
      break;
    case ReportType::kXlsx: {
      const std::string workbook = Join(folder, *base + "_" + Stamp(platform::Now()) + ".xlsx");
      Converter()(Join(folder, *base + ".csv"), workbook, choices.separator);
      platform::Sleep(100);
      open("explorer ", workbook);
      break;
    }
  }
  return path;
}

}  // namespace reports
