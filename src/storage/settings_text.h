#pragma once
// The settings text form shared by every settings file: values of one write
// separated by commas, strings in double quotes, numbers bare with "." as the
// decimal point, each write ended by CR LF. Reading goes value by value; a quoted
// string is one value even when it holds commas or line breaks. CR, LF and CR LF
// all end a line on reading. An empty numeric field reads as 0; text that is not a
// number, reading past the end and a 16-bit overflow raise FormatError, which the
// loaders turn into their defaults.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace storage {

class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Text of a file as the program handles it: valid UTF-8 is kept, anything else is
// taken as Windows-1252 and converted to UTF-8.
std::string DecodeText(std::string bytes);

class SettingsReader {
 public:
  explicit SettingsReader(std::string text);
  // The decoded file; nullopt when it cannot be opened.
  static std::optional<SettingsReader> Open(const std::filesystem::path& file);

  // True when nothing but blanks and line breaks is left.
  bool Eof();
  // One value as text: the content of a quoted string, or an unquoted field trimmed.
  std::string ReadString();
  // One value as a 16-bit integer: fractions round half to even, "" gives 0.
  int16_t ReadInt16();
  // One value as a double ("" gives 0).
  double ReadDouble();
  // Reads one value and drops it (a header line is one quoted value).
  void SkipField() { (void)ReadString(); }

 private:
  struct Field {
    std::string text;
    bool quoted = false;
  };
  Field ReadField();
  bool AtLineBreak() const;
  void ConsumeLineBreak();
  void SkipBlanks();

  std::string text_;
  size_t pos_ = 0;
  bool after_comma_ = false;  // the last value ended with a comma: an empty value may follow
};

// Number parsing of the text form, shared by the line-based readers.
int16_t ParseInt16(std::string_view text);  // throws FormatError
double ParseDouble(std::string_view text);  // throws FormatError

// Builds the bytes of a settings file one write at a time.
class SettingsWriter {
 public:
  SettingsWriter& Str(std::string_view s);  // quoted; inner quotes are dropped
  SettingsWriter& Int(long long v);
  SettingsWriter& Num(double v);            // shortest form with ".", "3" for 3.0
  SettingsWriter& Raw(std::string_view s);  // a line written as plain text
  SettingsWriter& EndLine();                // CR LF
  const std::string& Bytes() const { return out_; }

 private:
  void Separate();
  std::string out_;
  bool line_has_value_ = false;
};

// A number as the text form writes it: no exponent, no trailing zeros, "." point.
std::string FormatNumber(double v);

// A name typed by the user, made fit for a quoted field: double quotes and line
// breaks removed.
std::string CleanQuotedText(std::string_view s);

// A name the user types for a project or a group, made fit to be stored: double
// quotes and every control character (line breaks, tabs, ...) removed.
std::string CleanTypedName(std::string_view s);

}  // namespace storage
