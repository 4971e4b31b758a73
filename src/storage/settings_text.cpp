#include "storage/settings_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/numeric.h"
#include "storage/file_io.h"

namespace storage {
namespace {

// Windows-1252 bytes 0x80..0x9F; 0 marks the five undefined ones (kept as U+FFFD).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsValidUtf8(const std::string& s) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) { ++i; continue; }
    size_t len;
    unsigned min;
    unsigned cp;
    if ((c & 0xE0) == 0xC0) { len = 2; min = 0x80; cp = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { len = 3; min = 0x800; cp = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { len = 4; min = 0x10000; cp = c & 0x07; }
    else return false;
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

void AppendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string DecodeText(std::string bytes) {
  if (IsValidUtf8(bytes)) return bytes;
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) out += ch;
    else if (c < 0xA0) AppendUtf8(out, kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : 0xFFFD);
    else AppendUtf8(out, c);
  }
  return out;
}

// ---------------------------------------------------------------- reading

SettingsReader::SettingsReader(std::string text) : text_(std::move(text)) {}

std::optional<SettingsReader> SettingsReader::Open(const std::filesystem::path& file) {
  auto bytes = ReadTextFile(file);
  if (!bytes) return std::nullopt;
  return SettingsReader(DecodeText(std::move(*bytes)));
}

bool SettingsReader::AtLineBreak() const {
  return pos_ < text_.size() && (text_[pos_] == '\r' || text_[pos_] == '\n');
}

void SettingsReader::ConsumeLineBreak() {
  if (pos_ < text_.size() && text_[pos_] == '\r') {
    ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
  } else if (pos_ < text_.size() && text_[pos_] == '\n') {
    ++pos_;
  }
}

void SettingsReader::SkipBlanks() {
  while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
}

bool SettingsReader::Eof() {
  size_t p = pos_;
  while (p < text_.size() &&
         (text_[p] == ' ' || text_[p] == '\t' || text_[p] == '\r' || text_[p] == '\n'))
    ++p;
  return p >= text_.size();
}

SettingsReader::Field SettingsReader::ReadField() {
  SkipBlanks();
  if (after_comma_ && (AtLineBreak() || pos_ >= text_.size())) {
    // "a," at the end of a line: one empty value before the line ends.
    after_comma_ = false;
    ConsumeLineBreak();
    return {};
  }
  after_comma_ = false;
  // Blank lines between values carry nothing.
  while (AtLineBreak()) {
    ConsumeLineBreak();
    SkipBlanks();
  }
  if (pos_ >= text_.size()) throw FormatError("Input past end of file");

  Field f;
  if (text_[pos_] == '"') {
    f.quoted = true;
    const size_t close = text_.find('"', pos_ + 1);
    const size_t end = close == std::string::npos ? text_.size() : close;
    f.text = text_.substr(pos_ + 1, end - pos_ - 1);
    pos_ = close == std::string::npos ? text_.size() : close + 1;
    // Anything between the closing quote and the delimiter is dropped.
    while (pos_ < text_.size() && text_[pos_] != ',' && !AtLineBreak()) ++pos_;
  } else {
    const size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] != ',' && !AtLineBreak()) ++pos_;
    f.text = std::string(Trim(std::string_view(text_).substr(start, pos_ - start)));
  }
  if (pos_ < text_.size() && text_[pos_] == ',') {
    ++pos_;
    after_comma_ = true;
  } else {
    ConsumeLineBreak();
  }
  return f;
}

std::string SettingsReader::ReadString() { return ReadField().text; }

int16_t SettingsReader::ReadInt16() { return ParseInt16(ReadField().text); }

double SettingsReader::ReadDouble() { return ParseDouble(ReadField().text); }

double ParseDouble(std::string_view text) {
  std::string_view t = Trim(text);
  if (t.empty()) return 0.0;
  if (t.front() == '+') t.remove_prefix(1);
  double v = 0.0;
  const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (ec != std::errc() || ptr != t.data() + t.size() || !std::isfinite(v))
    throw FormatError("Type mismatch");
  return v;
}

int16_t ParseInt16(std::string_view text) {
  const double v = platform::RoundHalfEven(ParseDouble(text));
  if (!(v >= -32768.0 && v <= 32767.0)) throw FormatError("Overflow");
  return static_cast<int16_t>(v);
}

// ---------------------------------------------------------------- writing

std::string FormatNumber(double v) {
  if (!std::isfinite(v)) return "0";
  if (v == 0.0) return "0";
  char buf[64];
  // Up to 15 significant digits, fixed notation, then trailing zeros dropped.
  std::snprintf(buf, sizeof buf, "%.15g", v);
  std::string s = buf;
  if (s.find_first_of("eE") != std::string::npos) {
    std::snprintf(buf, sizeof buf, "%.10f", v);
    s = buf;
  }
  if (s.find('.') != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

std::string CleanQuotedText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (const char c : s)
    if (c != '"' && c != '\r' && c != '\n') out += c;
  return out;
}

std::string CleanTypedName(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (c != '"' && u >= 0x20 && u != 0x7F) out += c;
  }
  return out;
}

void SettingsWriter::Separate() {
  if (line_has_value_) out_ += ',';
  line_has_value_ = true;
}

SettingsWriter& SettingsWriter::Str(std::string_view s) {
  Separate();
  out_ += '"';
  // A quote inside would end the value early on reading: it cannot be stored.
  for (const char c : s)
    if (c != '"') out_ += c;
  out_ += '"';
  return *this;
}

SettingsWriter& SettingsWriter::Int(long long v) {
  Separate();
  out_ += std::to_string(v);
  return *this;
}

SettingsWriter& SettingsWriter::Num(double v) {
  Separate();
  out_ += FormatNumber(v);
  return *this;
}

SettingsWriter& SettingsWriter::Raw(std::string_view s) {
  out_ += s;
  line_has_value_ = true;
  return *this;
}

SettingsWriter& SettingsWriter::EndLine() {
  out_ += "\r\n";
  line_has_value_ = false;
  return *this;
}

}  // namespace storage
