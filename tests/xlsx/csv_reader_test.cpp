#include "xlsx/csv_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using xlsx::CellKind;
using xlsx::CellTable;
using xlsx::NumberLocale;
using xlsx::XlsxStatus;

const NumberLocale kDot{'.', ','};
const NumberLocale kComma{',', '.'};

// The table as text: numbers as "#value", texts as they are, one line per row.
std::string Dump(const CellTable& t) {
  std::string out;
  for (size_t r = 1; r <= t.rows(); ++r) {
    for (size_t k = 1; k <= t.cols(); ++k) {
      const xlsx::CellValue v = t.At(r, k);
      if (k > 1) out += "|";
      if (v.kind == CellKind::kNumber) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "#%.17g", v.number);
        out += buf;
      } else {
        out += v.text;
      }
    }
    out += "\n";
  }
  return out;
}

std::string Parse(std::string_view text, std::string_view sep = ",",
                  const NumberLocale& locale = kDot) {
  CellTable t;
  const xlsx::XlsxResult r = xlsx::ParseCsv(text, sep, locale, &t);
  if (!r.ok()) return "error: " + r.description;
  return Dump(t);
}

TEST(ParseCsv, LineEndsAndRowCount) {
  EXPECT_EQ(Parse("a,b\r\nc,d\r\n"), "a|b\nc|d\n");         // a final line end adds no row
  EXPECT_EQ(Parse("a\r\rb\n\nc"), "a\n\nb\n\nc\n");         // lone CR, LF: each ends a line
  EXPECT_EQ(Parse("a\n\rb"), "a\n\nb\n");                   // LF CR is two line ends
  EXPECT_EQ(Parse("a,\n"), "a|\n");                         // a trailing separator: empty field
  EXPECT_EQ(Parse("\r\n"), "\n");                           // one empty row
  EXPECT_EQ(Parse("a\nb,c,d\ne,f"), "a||\nb|c|d\ne|f|\n");  // ragged rows padded
}

TEST(ParseCsv, Quotes) {
  EXPECT_EQ(Parse("\"a,b\",c"), "a,b|c\n");                    // separator inside quotes
  EXPECT_EQ(Parse("\"say \"\"hi\"\"\""), "say \"hi\"\n");      // doubled quote
  EXPECT_EQ(Parse("ab\"c,d\"e,f"), "abc,de|f\n");              // quote in mid-field
  EXPECT_EQ(Parse("\"two\r\nlines\",x"), "two\r\nlines|x\n");  // line end kept inside
  EXPECT_EQ(Parse("\"007\",\" 1.5 \""), "#7|#1.5\n");          // quoting keeps no text
  EXPECT_EQ(Parse("x\n\"\""), "x\n");                          // "" alone adds no row
  EXPECT_EQ(Parse("a\nb,\"oops\nc"), "error: Comillas sin cerrar en el archivo CSV (línea 2)");
  EXPECT_EQ(Parse("\"\""), "error: El archivo CSV no contiene ninguna fila");
}

TEST(ParseCsv, FieldValues) {
  EXPECT_EQ(Parse("  ,  12  , x y ,-3.25e2,+4,.5,5."), "|#12|x y|#-325|#4|#0.5|#5\n");
  // Not finite or not decimal: stays text.
  EXPECT_EQ(Parse("inf,nan,0x1A,&H1A,1e999,1e,--1,1-"), "inf|nan|0x1A|&H1A|1e999|1e|--1|1-\n");
  // Grouping in threes only; a lone comma in a dot locale is not a decimal point.
  EXPECT_EQ(Parse("\"1,234,567.5\",\"1,5\",\"12,34\""), "#1234567.5|1,5|12,34\n");
  // A decimal comma locale with ";" between fields.
  EXPECT_EQ(Parse("0,5;1.234,5;12;0.5;a,b", ";", kComma), "#0.5|#1234.5|#12|0.5|a,b\n");
}

TEST(ParseCsv, SeparatorIsOneCharacter) {
  EXPECT_EQ(Parse("a b  c", " "), "a|b||c\n");
  EXPECT_EQ(Parse("1\xC2\xA7"
                  "2\xC2\xA7x",
                  "\xC2\xA7"),
            "#1|#2|x\n");  // "§", two bytes
  EXPECT_EQ(Parse("a\xC2\xA9"
                  "b",
                  "\xC2\xA7"),
            "a\xC2\xA9"
            "b\n");  // same lead byte
  for (const char* bad : {"", ",,", "\"", "\n", "\r"})
    EXPECT_EQ(xlsx::CheckSeparator(bad).status, XlsxStatus::kBadSeparator) << bad;
}

TEST(CheckUtf8, NamesTheLineOfTheFirstBadByte) {
  EXPECT_TRUE(xlsx::CheckUtf8("Ñandú, 東京, \xF0\x9F\x98\x80").ok());
  for (const char* bad : {"\xFF", "\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"})
    EXPECT_EQ(xlsx::CheckUtf8(std::string("ok\r\nstill ok\n") + bad).description,
              "El archivo CSV no es texto UTF-8 válido (línea 3)");
}

}  // namespace
