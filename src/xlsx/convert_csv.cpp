#include "xlsx/convert_csv.h"

#include "platform/dialogs.h"
#include "xlsx/csv_reader.h"
#include "xlsx/workbook.h"

namespace xlsx {

XlsxResult ConvertCsvToXlsx(const std::string& csv_path, const std::string& xlsx_path,
                            const std::string& separator, const NumberLocale& locale,
                            const platform::WallTime& when) {
  std::string content;
  if (XlsxResult r = ReadWholeFile(csv_path, &content); !r.ok()) return r;
  if (content.empty()) return {XlsxStatus::kCsvEmpty, kErrEmptyCsv, "El archivo CSV está vacío"};
  if (XlsxResult r = CheckSeparator(separator); !r.ok()) return r;
  std::string_view text = content;
  // A byte-order mark is not part of the first field.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  if (XlsxResult r = CheckUtf8(text); !r.ok()) return r;

  // The rows go from the text to the workbook file one at a time: neither a table of
  // the whole text nor the archive is ever held in memory.
  const CsvSheetRows rows(text, separator, locale);
  if (!rows.status().ok()) return rows.status();
  return WriteXlsxFile(rows, locale, when, xlsx_path);
}

std::string ConversionMessage(const XlsxResult& result) {
  switch (result.status) {
    case XlsxStatus::kOk:
      return {};
    case XlsxStatus::kTooLarge:
    case XlsxStatus::kWriteFailed:
      return "Error al generar XLSX: " + std::to_string(result.number) + " - " + result.description;
    default:
      return "Error en Convertir_csv_xlsx: " + result.description;
  }
}

XlsxResult Convertir_csv_xlsx(const std::string& csv_path, const std::string& xlsx_path,
                              const std::string& separator) {
  const XlsxResult result =
      ConvertCsvToXlsx(csv_path, xlsx_path, separator, UserNumberLocale(), platform::Now());
  if (!result.ok()) platform::GetDialogs().MsgBox(ConversionMessage(result));
  return result;
}

}  // namespace xlsx
