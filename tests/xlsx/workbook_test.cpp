#include "xlsx/workbook.h"

#include <gtest/gtest.h>

#include "xlsx/cell_table.h"
#include "xlsx_test_util.h"

namespace {

using xlsxtest::Le32;

const xlsx::NumberLocale kDot{'.', ','};
const platform::WallTime kWhen{2026, 3, 14, 15, 9, 27};

const std::string kBom = "\xEF\xBB\xBF";
const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
const std::string kOx = "http://schemas.openxmlformats.org";

std::string Sheet(const std::string& rows) {
  return kBom + kHead + "<worksheet xmlns=\"" + kOx + "/spreadsheetml/2006/main\" xmlns:r=\"" +
         kOx + "/officeDocument/2006/relationships\"><sheetData>\r\n" + rows +
         "</sheetData></worksheet>";
}

std::string Sst(int count, int unique, const std::string& items) {
  return kBom + kHead + "<sst xmlns=\"" + kOx + "/spreadsheetml/2006/main\" count=\"" +
         std::to_string(count) + "\" uniqueCount=\"" + std::to_string(unique) + "\">\r\n" + items +
         "</sst>";
}

std::string Rel(const std::string& id, const std::string& type, const std::string& target) {
  return "<Relationship Id=\"" + id + "\" Type=\"" + type + "\" Target=\"" + target + "\"/>";
}

std::string Override(const std::string& part, const std::string& type) {
  return "<Override PartName=\"" + part + "\" ContentType=\"application/vnd.openxmlformats-" +
         type + "\"/>";
}

// The archive of one table, or "" when the build failed.
std::string Build(const xlsx::CellTable& table, xlsx::XlsxResult* result = nullptr) {
  std::string bytes;
  const xlsx::XlsxResult r = xlsx::BuildXlsxBytes(table, kDot, kWhen, &bytes);
  if (result) *result = r;
  return bytes;
}

// The data of one entry of an archive we wrote (sizes are in the local headers).
std::string Entry(const std::string& zip, const std::string& name) {
  size_t at = 0;
  while (at + 30 <= zip.size() && zip.compare(at, 4, Le32(0x04034B50)) == 0) {
    const auto u16 = [&](size_t o) { return uint8_t(zip[o]) | uint8_t(zip[o + 1]) << 8; };
    const size_t size = u16(at + 18) | size_t(u16(at + 20)) << 16, len = u16(at + 26);
    if (zip.compare(at + 30, len, name) == 0) return zip.substr(at + 30 + len, size);
    at += 30 + len + size;
  }
  return "(missing)";
}

TEST(ColumnLetter, Table) {
  const std::pair<int, const char*> cases[] = {
      {1, "A"},    {26, "Z"},    {27, "AA"},     {52, "AZ"}, {53, "BA"},
      {702, "ZZ"}, {703, "AAA"}, {16384, "XFD"}, {0, ""},    {-3, ""}};
  for (const auto& [n, letters] : cases) EXPECT_EQ(xlsx::ColumnLetter(n), letters) << n;
}

TEST(XmlEscape, EntitiesOnceAndForbiddenCharactersDropped) {
  EXPECT_EQ(xlsx::XmlEscape("a&<>\"'b &amp;"), "a&amp;&lt;&gt;&quot;&apos;b &amp;amp;");
  EXPECT_EQ(xlsx::XmlEscape(std::string("t\tc\x01\x1F\r\nz\0y", 11)), "t\tc\r\nzy");
  EXPECT_EQ(xlsx::XmlEscape("Ñ\xEF\xBF\xBF\xEF\xBF\xBD\xFFx"), "Ñ\xEF\xBF\xBDx");
}

// A 3 x 2 table: repeated text, non-ASCII text, numbers, a short row. Every part and
// every ZIP record is checked byte for byte against the layouts.
TEST(BuildXlsxBytes, GoldenSmallTable) {
  xlsx::CellTable t;
  t.BeginRow();
  t.AddText("Group");
  t.AddText("Ñandú <1>");
  t.BeginRow();
  t.AddNumber(12);
  t.AddNumber(0.5);
  t.BeginRow();
  t.AddText("Group");
  const std::string archive = Build(t);

  const std::string ct =
      kBom + "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Types xmlns=\"" + kOx +
      "/package/2006/content-types\">"
      "<Default Extension=\"rels\" ContentType=\"application/"
      "vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>" +
      Override("/xl/workbook.xml", "officedocument.spreadsheetml.sheet.main+xml") +
      Override("/xl/worksheets/sheet1.xml", "officedocument.spreadsheetml.worksheet+xml") +
      Override("/xl/sharedStrings.xml", "officedocument.spreadsheetml.sharedStrings+xml") +
      Override("/xl/styles.xml", "officedocument.spreadsheetml.styles+xml") +
      Override("/docProps/core.xml", "package.core-properties+xml") +
      Override("/docProps/app.xml", "officedocument.extended-properties+xml") + "</Types>";
  const std::string sheet = Sheet(
      "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c></row>\r\n"
      "<row r=\"2\"><c r=\"A2\"><v>12</v></c><c r=\"B2\"><v>0.5</v></c></row>\r\n"
      "<row r=\"3\"><c r=\"A3\" t=\"s\"><v>0</v></c><c r=\"B3\"/></row>\r\n");
  const std::string sst = Sst(3, 2,
                              "<si><t xml:space=\"preserve\">Group</t></si>\r\n"
                              "<si><t xml:space=\"preserve\">Ñandú &lt;1&gt;</t></si>\r\n");
  const std::string main_ns = "\"" + kOx + "/spreadsheetml/2006/main\"";
  const std::string styles =
      kBom + kHead + "<styleSheet xmlns=" + main_ns +
      "><fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
      "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
      "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
      "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border>"
      "</borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
      "borderId=\"0\"/></cellStyleXfs><cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" "
      "fillId=\"0\" borderId=\"0\" xfId=\"0\"/></cellXfs><cellStyles count=\"1\">"
      "<cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles></styleSheet>";
  const std::string workbook = kBom + kHead + "<workbook xmlns=" + main_ns + " xmlns:r=\"" + kOx +
                               "/officeDocument/2006/relationships\">" +
                               "<sheets><sheet name=\"Hoja1\" sheetId=\"1\" r:id=\"rId1\"/>"
                               "</sheets></workbook>";
  const std::string rels_open =
      kBom + kHead + "<Relationships xmlns=\"" + kOx + "/package/2006/relationships\">";
  const std::string rt = kOx + "/officeDocument/2006/relationships/";
  const std::string wb_rels = rels_open + Rel("rId1", rt + "worksheet", "worksheets/sheet1.xml") +
                              Rel("rId2", rt + "styles", "styles.xml") +
                              Rel("rId3", rt + "sharedStrings", "sharedStrings.xml") +
                              "</Relationships>";
  const std::string pkg_rels =
      rels_open + Rel("rId1", rt + "officeDocument", "xl/workbook.xml") +
      Rel("rId2", kOx + "/package/2006/relationships/metadata/core-properties",
          "docProps/core.xml") +
      Rel("rId3", rt + "extended-properties", "docProps/app.xml") + "</Relationships>";
  const std::string core =
      kBom + kHead + "<cp:coreProperties xmlns:cp=\"" + kOx +
      "/package/2006/metadata/core-properties\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
      "xmlns:dcterms=\"http://purl.org/dc/terms/\" "
      "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
      "<dc:title>Activity report</dc:title><dc:creator>Quenlar</dc:creator>"
      "</cp:coreProperties>";
  const std::string app = kBom + kHead + "<Properties xmlns=\"" + kOx +
                          "/officeDocument/2006/extended-properties\" xmlns:vt=\"" + kOx +
                          "/officeDocument/2006/docPropsVTypes\"><Application>Quenlar"
                          "</Application></Properties>";

  const std::vector<std::pair<std::string, std::string>> parts = {
      {"[Content_Types].xml", ct},   {"xl/worksheets/sheet1.xml", sheet},
      {"xl/sharedStrings.xml", sst}, {"xl/styles.xml", styles},
      {"xl/workbook.xml", workbook}, {"xl/_rels/workbook.xml.rels", wb_rels},
      {"_rels/.rels", pkg_rels},     {"docProps/core.xml", core},
      {"docProps/app.xml", app}};
  for (const auto& [name, data] : parts) EXPECT_EQ(Entry(archive, name), data) << name;
  EXPECT_EQ(archive,
            xlsxtest::StoredArchive(parts, 15 * 2048 + 9 * 32 + 13, 46 * 512 + 3 * 32 + 14));
}

TEST(BuildXlsxBytes, EmptyTextCellAndNoStrings) {
  xlsx::CellTable t;
  t.BeginRow();
  t.AddText("");
  const std::string archive = Build(t);
  EXPECT_EQ(Entry(archive, "xl/worksheets/sheet1.xml"),
            Sheet("<row r=\"1\"><c r=\"A1\"/></row>\r\n"));
  EXPECT_EQ(Entry(archive, "xl/sharedStrings.xml"), Sst(0, 0, ""));
}

TEST(BuildXlsxBytes, NumericTextsLeadingZerosSpacesAndNothing) {
  xlsx::CellTable t;
  t.BeginRow();
  for (const char* s : {"007", "0", "0.5", " 12 ", " pad "}) t.AddText(s);
  t.AddNothing();
  t.AddNumber(-0.0);
  t.AddNumber(1e20);
  const std::string sheet = Entry(Build(t), "xl/worksheets/sheet1.xml");
  EXPECT_EQ(sheet, Sheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
                         "<c r=\"B1\"><v>0</v></c><c r=\"C1\"><v>0.5</v></c>"
                         "<c r=\"D1\"><v>12</v></c><c r=\"E1\" t=\"s\"><v>1</v></c>"
                         "<c r=\"F1\"/><c r=\"G1\"><v>0</v></c><c r=\"H1\"><v>1e+20</v></c>"
                         "</row>\r\n"));
}

TEST(BuildXlsxBytes, WideTableReferencesAndSheetLimits) {
  xlsx::CellTable t;
  for (int r = 1; r <= 3; ++r) t.BeginRow();
  for (int k = 1; k <= 27; ++k) t.AddNumber(k);
  const std::string sheet = Entry(Build(t), "xl/worksheets/sheet1.xml");
  EXPECT_NE(sheet.find("<c r=\"AA3\"><v>27</v></c></row>"), std::string::npos);
  EXPECT_NE(sheet.find("<row r=\"1\"><c r=\"A1\"/>"), std::string::npos);

  xlsx::CellTable wide;
  wide.BeginRow();
  for (size_t k = 0; k <= xlsx::kMaxSheetColumns; ++k) wide.AddNumber(1);
  xlsx::XlsxResult r;
  EXPECT_EQ(Build(wide, &r), "");
  EXPECT_EQ(r.status, xlsx::XlsxStatus::kTooLarge);
  EXPECT_EQ(r.description,
            "La tabla supera los límites de la hoja (1048576 filas, 16384 columnas): "
            "1 filas, 16385 columnas");
}

}  // namespace
