#include "xlsx/csv_reader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "xlsx/utf8.h"

namespace xlsx {
namespace {

XlsxResult Fail(XlsxStatus status, int number, std::string description) {
  return {status, number, std::move(description)};
}

XlsxResult PlatformFailure(int err) {
  if (err == 0) err = EIO;
  return Fail(XlsxStatus::kCsvUnreadable, err, std::strerror(err));
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

XlsxResult ReadWholeFile(const std::string& path, std::string* content) {
  content->clear();
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
  if (!f) return PlatformFailure(errno);
  // Read in large pieces rather than trusting a size taken beforehand: the file may be
  // a pipe, a folder (which fails here) or still growing. The size it has now is room
  // enough for the usual case, so the text is not copied as it grows.
  constexpr size_t kChunk = 1 << 20;
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (!ec && size < 0xFFFFFFFFu) content->reserve(static_cast<size_t>(size) + kChunk);
  for (;;) {
    const size_t old = content->size();
    if (old >= 0xFFFFFFFFu)
      return Fail(XlsxStatus::kCsvUnreadable, kErrTooLarge, "El archivo CSV es demasiado grande");
    content->resize(old + kChunk);
    errno = 0;
    const size_t got = std::fread(content->data() + old, 1, kChunk, f.get());
    content->resize(old + got);
    if (got < kChunk) {
      if (std::ferror(f.get())) {
        const int err = errno;
        content->clear();
        return PlatformFailure(err);
      }
      break;
    }
  }
  if (content->size() > 0xFFFFFFFFu) {
    content->clear();
    return Fail(XlsxStatus::kCsvUnreadable, kErrTooLarge, "El archivo CSV es demasiado grande");
  }
  return {};
}

XlsxResult CheckSeparator(std::string_view separator) {
  const bool one_char = !separator.empty() && Utf8SequenceLength(separator, 0) == separator.size();
  if (!one_char || separator == "\"" || separator == "\r" || separator == "\n")
    return Fail(XlsxStatus::kBadSeparator, kErrBadSeparator,
                "El separador debe ser un solo carácter (no comillas ni salto de línea)");
  return {};
}

XlsxResult CheckUtf8(std::string_view text) {
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    // Plain ASCII is by far the common case: step over it eight bytes at a time.
    while (i + 8 <= n) {
      uint64_t w;
      std::memcpy(&w, text.data() + i, 8);
      if (w & 0x8080808080808080ull) break;
      i += 8;
    }
    if (i >= n) break;
    const size_t len = Utf8SequenceLength(text, i);
    if (len == 0)
      return Fail(XlsxStatus::kBadEncoding, kErrBadEncoding,
                  "El archivo CSV no es texto UTF-8 válido (línea " +
                      std::to_string(LineOfOffset(text, i)) + ")");
    i += len;
  }
  return {};
}

size_t LineOfOffset(std::string_view text, size_t offset) {
  size_t line = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
    } else if (text[i] == '\r') {
      ++line;
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
  }
  return line;
}

void CsvFieldValue(std::string_view field, const NumberLocale& locale, CellTable* table) {
  const std::string_view trimmed = TrimSpaces(field);
  if (trimmed.empty()) {
    table->AddText({});
  } else if (const auto number = ParseLocaleNumber(trimmed, locale)) {
    table->AddNumber(*number);
  } else {
    table->AddText(trimmed);
  }
}

XlsxResult SplitCsv(std::string_view text, std::string_view separator,
                    const std::function<void(std::string_view)>& field,
                    const std::function<void()>& row_end) {
  if (XlsxResult e = CheckSeparator(separator); !e.ok()) return e;
  std::array<bool, 256> special{};
  special['"'] = special['\r'] = special['\n'] = true;
  special[static_cast<unsigned char>(separator[0])] = true;
  const char sep0 = separator[0];
  const size_t sep_len = separator.size();

  const size_t n = text.size();
  std::string scratch;    // the field so far, once a quoted part made it differ from the text
  bool building = false;  // the field is in scratch, not a plain slice of the text
  bool row_open = false;  // the current row has at least one field
  size_t run_start = 0;   // start of the field's current unquoted run
  size_t rows = 0;

  const auto finish_field = [&](size_t end) {
    row_open = true;
    if (building) {
      scratch.append(text.data() + run_start, end - run_start);
      field(scratch);
      scratch.clear();
      building = false;
    } else {
      field(text.substr(run_start, end - run_start));
    }
  };
  const auto finish_row = [&] {
    row_end();
    row_open = false;
    ++rows;
  };

  size_t i = 0;
  while (i < n) {
    const char c = text[i];
    if (!special[static_cast<unsigned char>(c)]) {
      ++i;
      continue;
    }
    if (c == '"') {
      const size_t open_at = i;
      scratch.append(text.data() + run_start, i - run_start);
      building = true;
      ++i;
      for (;;) {
        const void* q = i < n ? std::memchr(text.data() + i, '"', n - i) : nullptr;
        if (q == nullptr)
          return Fail(XlsxStatus::kUnbalancedQuotes, kErrUnbalancedQuotes,
                      "Comillas sin cerrar en el archivo CSV (línea " +
                          std::to_string(LineOfOffset(text, open_at)) + ")");
        const size_t at = static_cast<const char*>(q) - text.data();
        scratch.append(text.data() + i, at - i);
        if (at + 1 < n && text[at + 1] == '"') {
          scratch.push_back('"');
          i = at + 2;
          continue;
        }
        i = at + 1;
        break;
      }
      run_start = i;
    } else if (c == '\r' || c == '\n') {
      finish_field(i);
      finish_row();
      i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
      run_start = i;
    } else if (c == sep0 && (sep_len == 1 || text.substr(i, sep_len) == separator)) {
      finish_field(i);
      i += sep_len;
      run_start = i;
    } else {
      ++i;  // the lead byte of the separator starting another character
    }
  }
  const bool field_empty = building ? scratch.empty() && run_start == n : run_start == n;
  if (row_open || !field_empty) {
    finish_field(n);
    finish_row();
  }
  if (rows == 0)
    return Fail(XlsxStatus::kNoRows, kErrNoRows, "El archivo CSV no contiene ninguna fila");
  return {};
}

XlsxResult ParseCsv(std::string_view text, std::string_view separator, const NumberLocale& locale,
                    CellTable* table) {
  *table = CellTable();
  // A guess from the text's size keeps the buffers from growing step by step.
  table->Reserve(text.size() / 4 + 16, text.size() / 4 + 16);
  bool row_started = false;
  return SplitCsv(
      text, separator,
      [&](std::string_view raw) {
        if (!row_started) table->BeginRow();
        row_started = true;
        CsvFieldValue(raw, locale, table);
      },
      [&] { row_started = false; });
}

CsvSheetRows::CsvSheetRows(std::string_view text, std::string_view separator,
                           const NumberLocale& locale)
    : text_(text), separator_(separator), locale_(locale) {
  size_t fields = 0;
  status_ = SplitCsv(
      text, separator, [&](std::string_view) { ++fields; },
      [&] {
        ++rows_;
        cols_ = std::max(cols_, fields);
        fields = 0;
      });
}

void CsvSheetRows::ForEachRow(const RowVisitor& visit) const {
  std::vector<CellValue> cells;
  std::string texts;  // this row's texts, trimmed
  std::vector<std::pair<size_t, size_t>> spans;
  SplitCsv(
      text_, separator_,
      [&](std::string_view raw) {
        const std::string_view trimmed = TrimSpaces(raw);
        CellValue v;
        if (!trimmed.empty()) {
          if (const auto number = ParseLocaleNumber(trimmed, locale_)) {
            v.kind = CellKind::kNumber;
            v.number = *number;
          }
        }
        spans.emplace_back(texts.size(), v.kind == CellKind::kText ? trimmed.size() : 0);
        if (v.kind == CellKind::kText) texts.append(trimmed);
        cells.push_back(v);
      },
      [&] {
        for (size_t k = 0; k < cells.size(); ++k)
          if (cells[k].kind == CellKind::kText)
            cells[k].text = std::string_view(texts).substr(spans[k].first, spans[k].second);
        visit(cells.data(), cells.size());
        cells.clear();
        spans.clear();
        texts.clear();
      });
}

}  // namespace xlsx
