#include "xlsx/workbook.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/dialogs.h"
#include "platform/file_write.h"
#include "xlsx/utf8.h"
#include "xlsx/zip_writer.h"

namespace xlsx {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
constexpr std::string_view kContentTypesHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

constexpr std::string_view kContentTypes =
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
    "<Override PartName=\"/xl/sharedStrings.xml\" "
    "ContentType=\"application/"
    "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
    "<Override PartName=\"/xl/styles.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
    "<Override PartName=\"/docProps/core.xml\" "
    "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
    "<Override PartName=\"/docProps/app.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
    "</Types>";

constexpr std::string_view kSheetOpen =
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<sheetData>\r\n";
constexpr std::string_view kSheetClose = "</sheetData></worksheet>";

constexpr std::string_view kSstOpen =
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"";

constexpr std::string_view kStyles =
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
    "<fills count=\"2\">"
    "<fill><patternFill patternType=\"none\"/></fill>"
    "<fill><patternFill patternType=\"gray125\"/></fill>"
    "</fills>"
    "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
    "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
    "</cellStyleXfs>"
    "<cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
    "</cellXfs>"
    "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
    "</styleSheet>";

constexpr std::string_view kWorkbook =
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<sheets><sheet name=\"Hoja1\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
    "</workbook>";

constexpr std::string_view kWorkbookRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/>"
    "<Relationship Id=\"rId3\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
    "Target=\"sharedStrings.xml\"/>"
    "</Relationships>";

constexpr std::string_view kPackageRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/>"
    "<Relationship Id=\"rId2\" "
    "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
    "core-properties\" "
    "Target=\"docProps/core.xml\"/>"
    "<Relationship Id=\"rId3\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "extended-properties\" "
    "Target=\"docProps/app.xml\"/>"
    "</Relationships>";

constexpr std::string_view kCore =
    "<cp:coreProperties "
    "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
    "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
    "xmlns:dcterms=\"http://purl.org/dc/terms/\" "
    "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
    "<dc:title>Activity report</dc:title>"
    "<dc:creator>Quenlar</dc:creator>"
    "</cp:coreProperties>";

constexpr std::string_view kApp =
    "<Properties "
    "xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
    "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
    "<Application>Quenlar</Application>"
    "</Properties>";

// Appends to a string through a raw pointer: the cell loop asks for room once per row
// and then writes without bounds checks or size updates per piece. Between Room and
// Close the string's size is its capacity, not its content.
class Sink {
 public:
  explicit Sink(std::string& s) : s_(s), len_(s.size()) {}
  char* Room(size_t n) {
    if (s_.size() - len_ < n) s_.resize(std::max({s_.capacity(), s_.size() * 2, len_ + n}));
    return s_.data() + len_;
  }
  void Done(char* end) { len_ = static_cast<size_t>(end - s_.data()); }
  size_t length() const { return len_; }
  void Close() { s_.resize(len_); }
  void Clear() { len_ = 0; }

  static char* Copy(char* p, std::string_view t) {
    std::memcpy(p, t.data(), t.size());
    return p + t.size();
  }

 private:
  std::string& s_;
  size_t len_;
};

char* PutUnsigned(char* p, uint64_t v) { return std::to_chars(p, p + 20, v).ptr; }

void PutDecimal(std::string& out, uint64_t v) {
  char buf[20];
  out.append(buf, PutUnsigned(buf, v));
}

void PutPart(StoredZipWriter& zip, std::string_view name, std::string_view head,
             std::string_view body) {
  zip.BeginEntry(name);
  zip.Append(kBom);
  zip.Append(head);
  zip.Append(body);
  zip.EndEntry();
}

// The distinct texts in order of first appearance, each kept once. A long report can
// hold a distinct text on every line, so the texts sit in large blocks and the index
// is an open-addressed table of numbers: a few bytes per text beyond the text itself.
class SharedStrings {
 public:
  uint32_t Index(std::string_view text) {
    ++count_;
    if (texts_.size() * 2 >= slots_.size()) Grow();
    const size_t mask = slots_.size() - 1;
    for (size_t at = Hash(text) & mask;; at = (at + 1) & mask) {
      const uint32_t slot = slots_[at];
      if (slot == 0) {
        texts_.push_back(Keep(text));
        slots_[at] = static_cast<uint32_t>(texts_.size());
        return static_cast<uint32_t>(texts_.size() - 1);
      }
      if (texts_[slot - 1] == text) return slot - 1;
    }
  }
  uint64_t count() const { return count_; }
  const std::vector<std::string_view>& texts() const { return texts_; }

 private:
  static size_t Hash(std::string_view text) { return std::hash<std::string_view>{}(text); }
  std::string_view Keep(std::string_view text) {
    constexpr size_t kBlock = 1 << 20;
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < text.size()) {
      blocks_.emplace_back();
      blocks_.back().reserve(std::max(kBlock, text.size()));
    }
    std::string& block = blocks_.back();  // never grows past its reserve: views stay valid
    const size_t at = block.size();
    block.append(text);
    return std::string_view(block).substr(at, text.size());
  }
  void Grow() {
    std::vector<uint32_t> slots(std::max<size_t>(64, slots_.size() * 2), 0);
    const size_t mask = slots.size() - 1;
    for (size_t i = 0; i < texts_.size(); ++i) {
      size_t at = Hash(texts_[i]) & mask;
      while (slots[at] != 0) at = (at + 1) & mask;
      slots[at] = static_cast<uint32_t>(i + 1);
    }
    slots_ = std::move(slots);
  }

  std::vector<std::string> blocks_;
  std::vector<std::string_view> texts_;
  std::vector<uint32_t> slots_;  // 0: free, else index + 1
  uint64_t count_ = 0;
};

// Writes sheet1.xml's body into the archive a block of rows at a time.
void WriteSheet(const SheetRows& rows, const NumberLocale& locale, SharedStrings* strings,
                StoredZipWriter& zip) {
  zip.Append(kBom);
  zip.Append(kHead);
  zip.Append(kSheetOpen);
  const size_t cols = rows.cols();
  // `<c r="` and the column letters, once per column.
  std::vector<std::string> prefix(cols + 1);
  size_t longest_prefix = 0;
  for (size_t k = 1; k <= cols; ++k) {
    prefix[k] = "<c r=\"" + ColumnLetter(static_cast<int32_t>(k));
    longest_prefix = std::max(longest_prefix, prefix[k].size());
  }
  // A cell is at most the prefix, the row number (7 digits), `" t="s"><v>`, a number
  // (kMaxNumberText) or an index, and `</v></c>`.
  const size_t cell_bound = longest_prefix + 8 + 11 + kMaxNumberText + 8;
  constexpr size_t kBlockBytes = 1 << 16;
  std::string block;
  Sink sink(block);
  size_t r = 0;
  rows.ForEachRow([&](const CellValue* cells, size_t stored) {
    ++r;
    char row_digits[20];
    const std::string_view row_text(row_digits,
                                    static_cast<size_t>(PutUnsigned(row_digits, r) - row_digits));
    char* p = sink.Room(32 + cols * cell_bound);
    p = Sink::Copy(p, "<row r=\"");
    p = Sink::Copy(p, row_text);
    p = Sink::Copy(p, "\">");
    for (size_t k = 1; k <= cols; ++k) {
      p = Sink::Copy(p, prefix[k]);
      p = Sink::Copy(p, row_text);
      const CellValue v = k <= stored ? cells[k - 1] : CellValue{};
      bool is_number = v.kind == CellKind::kNumber;
      double number = v.number;
      if (v.kind == CellKind::kText && !v.text.empty()) {
        // A text that reads as a number is written as one, unless it is a code with a
        // leading zero. (A number's own text form never has one.)
        if (const auto parsed = ParseLocaleNumber(TrimSpaces(v.text), locale);
            parsed && !HasLeadingZero(v.text)) {
          is_number = true;
          number = *parsed;
        }
      }
      if (is_number) {
        p = Sink::Copy(p, "\"><v>");
        p += FormatNumber(number, p);
        p = Sink::Copy(p, "</v></c>");
      } else if (v.kind == CellKind::kText && !v.text.empty()) {
        p = Sink::Copy(p, "\" t=\"s\"><v>");
        p = PutUnsigned(p, strings->Index(v.text));
        p = Sink::Copy(p, "</v></c>");
      } else {
        p = Sink::Copy(p, "\"/>");
      }
    }
    p = Sink::Copy(p, "</row>\r\n");
    sink.Done(p);
    if (sink.length() >= kBlockBytes) {
      zip.Append(std::string_view(block.data(), sink.length()));
      sink.Clear();
    }
  });
  zip.Append(std::string_view(block.data(), sink.length()));
  zip.Append(kSheetClose);
}

void WriteSharedStrings(const SharedStrings& strings, StoredZipWriter& zip) {
  std::string out;
  out.append(kBom);
  out.append(kHead);
  out.append(kSstOpen);
  PutDecimal(out, strings.count());
  out.append("\" uniqueCount=\"");
  PutDecimal(out, strings.texts().size());
  out.append("\">\r\n");
  for (std::string_view text : strings.texts()) {
    out.append("<si><t xml:space=\"preserve\">");
    AppendXmlEscaped(text, &out);
    out.append("</t></si>\r\n");
    if (out.size() >= (1 << 16)) {
      zip.Append(out);
      out.clear();
    }
  }
  out.append("</sst>");
  zip.Append(out);
}

// The workbook's bytes going to a file as they are made.
class FileZipOutput final : public ZipOutput {
 public:
  explicit FileZipOutput(platform::AtomicFileWriter& file) : file_(file) {}
  void Write(std::string_view bytes) override { file_.Write(bytes); }
  void WriteAt(uint64_t offset, std::string_view bytes) override { file_.WriteAt(offset, bytes); }
  uint64_t size() const override { return file_.size(); }

 private:
  platform::AtomicFileWriter& file_;
};

XlsxResult Failure(XlsxStatus status, int number, std::string description) {
  return {status, number, std::move(description)};
}

}  // namespace

std::string ColumnLetter(int32_t n) {
  std::string letters;
  while (n > 0) {
    --n;
    letters.insert(letters.begin(), static_cast<char>('A' + n % 26));
    n /= 26;
  }
  return letters;
}

void AppendXmlEscaped(std::string_view text, std::string* out) {
  // 1: replaced by an entity or dropped; 2: the first byte of a multi-byte character.
  static const std::array<uint8_t, 256> kClass = [] {
    std::array<uint8_t, 256> c{};
    for (int b = 0; b < 0x20; ++b) c[b] = 1;
    c['\t'] = c['\n'] = c['\r'] = 0;
    c['&'] = c['<'] = c['>'] = c['"'] = c['\''] = 1;
    for (int b = 0x80; b < 0x100; ++b) c[b] = 2;
    return c;
  }();
  size_t run = 0, i = 0;
  const size_t n = text.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (kClass[b] == 0) {
      ++i;
      continue;
    }
    if (kClass[b] == 2) {
      const size_t len = Utf8SequenceLength(text, i);
      // U+FFFE and U+FFFF are not XML characters; a broken sequence would make the part
      // unreadable. Both are dropped.
      const bool keep =
          len > 0 && !(len == 3 && b == 0xEF && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
                       static_cast<unsigned char>(text[i + 2]) >= 0xBE);
      if (keep) {
        i += len;
        continue;
      }
      out->append(text.data() + run, i - run);
      i += len > 0 ? len : 1;
      run = i;
      continue;
    }
    out->append(text.data() + run, i - run);
    switch (b) {
      case '&':
        out->append("&amp;");
        break;
      case '<':
        out->append("&lt;");
        break;
      case '>':
        out->append("&gt;");
        break;
      case '"':
        out->append("&quot;");
        break;
      case '\'':
        out->append("&apos;");
        break;
      default:
        break;  // a control character XML does not allow
    }
    run = ++i;
  }
  out->append(text.data() + run, n - run);
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendXmlEscaped(text, &out);
  return out;
}

XlsxResult WriteXlsx(const SheetRows& rows, const NumberLocale& locale,
                     const platform::WallTime& when, ZipOutput& out) {
  if (rows.rows() > kMaxSheetRows || rows.cols() > kMaxSheetColumns)
    return Failure(XlsxStatus::kTooLarge, kErrTooLarge,
                   "La tabla supera los límites de la hoja (1048576 filas, 16384 columnas): " +
                       std::to_string(rows.rows()) + " filas, " + std::to_string(rows.cols()) +
                       " columnas");

  StoredZipWriter zip(out, DosTimeNow(when), DosDateNow(when));
  PutPart(zip, "[Content_Types].xml", kContentTypesHead, kContentTypes);

  SharedStrings strings;
  zip.BeginEntry("xl/worksheets/sheet1.xml");
  WriteSheet(rows, locale, &strings, zip);
  zip.EndEntry();

  zip.BeginEntry("xl/sharedStrings.xml");
  WriteSharedStrings(strings, zip);
  zip.EndEntry();

  const std::pair<std::string_view, std::string_view> fixed[] = {
      {"xl/styles.xml", kStyles},
      {"xl/workbook.xml", kWorkbook},
      {"xl/_rels/workbook.xml.rels", kWorkbookRels},
      {"_rels/.rels", kPackageRels},
      {"docProps/core.xml", kCore},
      {"docProps/app.xml", kApp},
  };
  for (const auto& [name, body] : fixed) PutPart(zip, name, kHead, body);
  if (!zip.Finish())
    return Failure(XlsxStatus::kTooLarge, kErrTooLarge,
                   "El libro supera el tamaño máximo de un archivo ZIP (4 GiB)");
  return {};
}

XlsxResult BuildXlsxBytes(const CellTable& table, const NumberLocale& locale,
                          const platform::WallTime& when, std::string* archive) {
  archive->clear();
  StringZipOutput out;
  XlsxResult result = WriteXlsx(table, locale, when, out);
  if (result.ok()) *archive = std::move(out.bytes);
  return result;
}

XlsxResult WriteXlsxFile(const SheetRows& rows, const NumberLocale& locale,
                         const platform::WallTime& when, const std::string& target) {
  platform::AtomicFileWriter file(target);
  FileZipOutput out(file);
  XlsxResult result = WriteXlsx(rows, locale, when, out);
  if (!result.ok()) return result;  // the temporary is dropped with the writer
  if (const int err = file.Commit(); err != 0)
    return Failure(XlsxStatus::kWriteFailed, err, std::strerror(err));
  return {};
}

XlsxResult BuildXlsx(const CellTable& table, const std::string& target_path) {
  const XlsxResult result = WriteXlsxFile(table, UserNumberLocale(), platform::Now(), target_path);
  if (!result.ok())
    platform::GetDialogs().MsgBox("Error al generar XLSX: " + std::to_string(result.number) +
                                  " - " + result.description);
  return result;
}

}  // namespace xlsx
