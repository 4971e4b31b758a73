#pragma once
// CSV report to XLSX workbook: what the report window calls when the user asks for
// Excel output.
#include <string>

#include "platform/clock.h"
#include "xlsx/number_text.h"
#include "xlsx/xlsx_status.h"

namespace xlsx {

// Reads the CSV file whole, splits it by `separator` into numbers and texts and writes
// the workbook at `xlsx_path` (through a temporary name, so a failure leaves no
// half-written workbook). Shows nothing.
XlsxResult ConvertCsvToXlsx(const std::string& csv_path, const std::string& xlsx_path,
                            const std::string& separator, const NumberLocale& locale,
                            const platform::WallTime& when);

// The message box text of a failed conversion: "Error en Convertir_csv_xlsx: <text>" for
// reading and splitting, "Error al generar XLSX: <number> - <text>" for building and
// writing. Empty for success.
std::string ConversionMessage(const XlsxResult& result);

// ConvertCsvToXlsx in the user's locale, stamped with the current time; a failure is
// shown in a message box. The result tells the caller whether the workbook exists.
XlsxResult Convertir_csv_xlsx(const std::string& csv_path, const std::string& xlsx_path,
                              const std::string& separator);

}  // namespace xlsx
