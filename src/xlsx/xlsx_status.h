#pragma once
// What a conversion step reports: a code the caller tests, and the number and Spanish
// description that the user sees in the message box.
#include <string>

namespace xlsx {

enum class XlsxStatus {
  kOk,
  kCsvEmpty,          // the CSV file holds no byte
  kCsvUnreadable,     // the CSV file cannot be opened or read, or is 4 GiB or more
  kBadSeparator,      // the separator is not one character (or is a quote or line end)
  kBadEncoding,       // the CSV text is not valid UTF-8
  kUnbalancedQuotes,  // a quoted part is never closed
  kNoRows,            // the text yields no row at all
  kTooLarge,          // past the sheet's limits or the ZIP format's field widths
  kWriteFailed,       // the workbook file cannot be written or renamed into place
};

struct XlsxResult {
  XlsxStatus status = XlsxStatus::kOk;
  int number = 0;           // the platform's error number, or our own refusal's number
  std::string description;  // Spanish for our own refusals, the platform's text otherwise

  bool ok() const { return status == XlsxStatus::kOk; }
};

// Our own refusals are numbered above the application error base, as the empty-file
// error 2001 is.
inline constexpr int kObjectErrorBase = static_cast<int>(0x80040000u - 0x100000000ll);
inline constexpr int kErrEmptyCsv = kObjectErrorBase + 2001;
inline constexpr int kErrBadSeparator = kObjectErrorBase + 2002;
inline constexpr int kErrBadEncoding = kObjectErrorBase + 2003;
inline constexpr int kErrUnbalancedQuotes = kObjectErrorBase + 2004;
inline constexpr int kErrNoRows = kObjectErrorBase + 2005;
inline constexpr int kErrTooLarge = kObjectErrorBase + 2006;

}  // namespace xlsx
