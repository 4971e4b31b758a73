#pragma once
// The XLSX workbook: a plain SpreadsheetML package of one worksheet, written as text
// from fixed fragments and packed, stored, into a ZIP archive that goes to its file
// as it is made.
//
// Entries, in this order, each part UTF-8 with a byte-order mark:
//   [Content_Types].xml, xl/worksheets/sheet1.xml, xl/sharedStrings.xml, xl/styles.xml,
//   xl/workbook.xml, xl/_rels/workbook.xml.rels, _rels/.rels, docProps/core.xml,
//   docProps/app.xml
// Worksheet: every row 1..R and every cell 1..K is written; an empty cell is <c r="A1"/>,
// a number <c r="A1"><v>0.5</v></c> ("." always), a text a shared-string index
// <c r="A1" t="s"><v>0</v></c>. Shared strings are the distinct texts in order of first
// appearance, escaped, with xml:space="preserve".
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "xlsx/cell_table.h"
#include "xlsx/number_text.h"
#include "xlsx/xlsx_status.h"
#include "xlsx/zip_writer.h"

namespace xlsx {

// The sheet's limits; a larger table is refused rather than written unreadable.
inline constexpr size_t kMaxSheetRows = 1048576;
inline constexpr size_t kMaxSheetColumns = 16384;

// Writes the workbook of `rows` to `out`. A text cell that passes the locale-aware
// numeric test (and has no leading zero) is written as a number. Every entry carries
// the DOS time and date of `when`.
XlsxResult WriteXlsx(const SheetRows& rows, const NumberLocale& locale,
                     const platform::WallTime& when, ZipOutput& out);
// The same in memory.
XlsxResult BuildXlsxBytes(const CellTable& table, const NumberLocale& locale,
                          const platform::WallTime& when, std::string* archive);
// The same to a file, through a temporary name, so a failure never leaves a half-written
// workbook at `target`: kWriteFailed with the platform's number and text.
XlsxResult WriteXlsxFile(const SheetRows& rows, const NumberLocale& locale,
                         const platform::WallTime& when, const std::string& target);

// Builds and writes the workbook; shows "Error al generar XLSX: <number> - <text>" on
// failure and returns what happened.
XlsxResult BuildXlsx(const CellTable& table, const std::string& target_path);

// Text escaped for XML character data: & < > " ' become entities; characters that XML
// 1.0 does not allow (controls other than tab, CR and LF; U+FFFE, U+FFFF) are dropped.
std::string XmlEscape(std::string_view text);
void AppendXmlEscaped(std::string_view text, std::string* out);

// Column letters: 1 A, 26 Z, 27 AA, 702 ZZ, 703 AAA; empty for 0 or less.
std::string ColumnLetter(int32_t n);

}  // namespace xlsx
