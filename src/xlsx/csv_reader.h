#pragma once
// Reading the report writer's CSV file into a cell table.
//
// Splitting, character by character: outside quotes a double quote starts quoted mode
// (wherever it stands, so a field may be partly quoted), the separator ends a field, and
// CR, LF or CR LF ends a field and its row. Inside quotes "" is one quote, a lone quote
// ends quoted mode, and everything else (separators and line ends too) is kept. A text
// that ends with a line end gains no empty last row. Each field, trimmed of spaces, is
// a number when the locale-aware test accepts it, otherwise a text.
#include <functional>
#include <string>
#include <string_view>

#include "xlsx/cell_table.h"
#include "xlsx/number_text.h"
#include "xlsx/xlsx_status.h"

namespace xlsx {

// The whole file as bytes; kCsvUnreadable with the platform's text when it cannot be
// read, kTooLarge past 4 GiB.
XlsxResult ReadWholeFile(const std::string& path, std::string* content);

// The separator must be exactly one character, and neither a double quote nor a line end.
XlsxResult CheckSeparator(std::string_view separator);

// kBadEncoding, naming the line, when `text` is not valid UTF-8.
XlsxResult CheckUtf8(std::string_view text);

// Splits `text` (UTF-8, without byte-order mark): `field` receives each field's text
// (valid during the call), `row_end` the end of each row. kUnbalancedQuotes when a
// quoted part never closes, kNoRows when no row results.
XlsxResult SplitCsv(std::string_view text, std::string_view separator,
                    const std::function<void(std::string_view)>& field,
                    const std::function<void()>& row_end);

// Splits `text` into `table`, replacing its contents.
XlsxResult ParseCsv(std::string_view text, std::string_view separator, const NumberLocale& locale,
                    CellTable* table);

// The rows of a CSV text handed out one at a time, without a table of the whole text:
// the text is split once to count rows and columns, and again to hand the rows out.
class CsvSheetRows final : public SheetRows {
 public:
  CsvSheetRows(std::string_view text, std::string_view separator, const NumberLocale& locale);
  // kOk, or why the text cannot be split.
  const XlsxResult& status() const { return status_; }
  size_t rows() const override { return rows_; }
  size_t cols() const override { return cols_; }
  void ForEachRow(const RowVisitor& visit) const override;

 private:
  std::string_view text_;
  std::string separator_;
  NumberLocale locale_;
  XlsxResult status_;
  size_t rows_ = 0;
  size_t cols_ = 0;
};

// Appends the value of one field to the current row of `table`: the empty text, a
// number, or the field trimmed of spaces.
void CsvFieldValue(std::string_view field, const NumberLocale& locale, CellTable* table);

// The 1-based line holding byte `offset` of `text` (CR, LF and CR LF end lines).
size_t LineOfOffset(std::string_view text, size_t offset);

}  // namespace xlsx
