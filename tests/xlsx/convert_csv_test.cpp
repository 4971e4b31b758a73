#include "xlsx/convert_csv.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"
#include "xlsx/csv_reader.h"
#include "xlsx/workbook.h"
#include "xlsx_test_util.h"

namespace {

namespace fs = std::filesystem;
using xlsx::XlsxStatus;

const xlsx::NumberLocale kDot{'.', ','};
const xlsx::NumberLocale kComma{',', '.'};
const platform::WallTime kWhen{2026, 3, 14, 15, 9, 27};

// The files of a folder, sorted, as "name" lines.
std::string Listing(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  std::string out;
  for (const auto& n : names) out += n + "\n";
  return out;
}

struct BadInput {
  std::string name, csv, separator;
  XlsxStatus status;
  std::string message;
};

// Every refusal leaves nothing behind and tells the caller what went wrong.
TEST(ConvertCsvToXlsx, BadInputWritesNothing) {
  testsupport::TempProgramFolder folder;
  const BadInput cases[] = {
      {"empty", "", ",", XlsxStatus::kCsvEmpty,
       "Error en Convertir_csv_xlsx: El archivo CSV está vacío"},
      {"quotes", "a,b\r\n\"c,d\r\n", ",", XlsxStatus::kUnbalancedQuotes,
       "Error en Convertir_csv_xlsx: Comillas sin cerrar en el archivo CSV (línea 2)"},
      {"latin1",
       "Temperatura\r\n\xB0"
       "C\r\n",
       ",", XlsxStatus::kBadEncoding,
       "Error en Convertir_csv_xlsx: El archivo CSV no es texto UTF-8 válido (línea 2)"},
      {"separator", "a;b\r\n", ";;", XlsxStatus::kBadSeparator,
       "Error en Convertir_csv_xlsx: El separador debe ser un solo carácter (no comillas ni "
       "salto de línea)"},
      {"onlyquotes", "\"\"", ",", XlsxStatus::kNoRows,
       "Error en Convertir_csv_xlsx: El archivo CSV no contiene ninguna fila"},
  };
  for (const BadInput& c : cases) {
    testsupport::WriteBytes(folder / (c.name + ".csv"), c.csv);
    const std::string target = (folder / (c.name + ".xlsx")).string();
    const xlsx::XlsxResult r = xlsx::ConvertCsvToXlsx((folder / (c.name + ".csv")).string(), target,
                                                      c.separator, kDot, kWhen);
    EXPECT_EQ(r.status, c.status) << c.name;
    EXPECT_EQ(xlsx::ConversionMessage(r), c.message) << c.name;
  }
  const auto missing = xlsx::ConvertCsvToXlsx((folder / "none.csv").string(),
                                              (folder / "none.xlsx").string(), ",", kDot, kWhen);
  EXPECT_EQ(xlsx::ConversionMessage(missing),
            "Error en Convertir_csv_xlsx: No such file or directory");
  EXPECT_EQ(Listing(folder.path()),
            "empty.csv\nlatin1.csv\nonlyquotes.csv\nquotes.csv\nseparator.csv\n");
}

// The workbook streamed to its file (its headers patched on the disk, past the write
// buffer) has exactly the bytes of the one built in memory from the table.
TEST(ConvertCsvToXlsx, StreamedFileEqualsTheArchiveBuiltInMemory) {
  testsupport::TempProgramFolder folder;
  std::string csv;
  for (int r = 0; r < 20000; ++r)
    csv += std::to_string(r * 5) + " CH" + std::to_string(r % 384) + ";\"00" +
           std::to_string(r % 7) + "_G\";" + std::to_string(r % 300) + ",5\r\n";
  testsupport::WriteBytes(folder / "r.csv", csv);
  const auto r = xlsx::ConvertCsvToXlsx((folder / "r.csv").string(), (folder / "r.xlsx").string(),
                                        ";", kComma, kWhen);
  ASSERT_TRUE(r.ok()) << r.description;
  xlsx::CellTable table;
  ASSERT_TRUE(xlsx::ParseCsv(csv, ";", kComma, &table).ok());
  std::string archive;
  ASSERT_TRUE(xlsx::BuildXlsxBytes(table, kComma, kWhen, &archive).ok());
  EXPECT_GT(archive.size(), 1u << 20);
  EXPECT_TRUE(testsupport::ReadBytes(folder / "r.xlsx") == archive);
}

TEST(ConvertCsvToXlsx, UnwritableTargetLeavesNoFileAndKeepsTheOldOne) {
  testsupport::TempProgramFolder folder;
  testsupport::WriteBytes(folder / "r.csv", "a,1\r\n");
  const auto gone = xlsx::ConvertCsvToXlsx((folder / "r.csv").string(),
                                           (folder / "no" / "r.xlsx").string(), ",", kDot, kWhen);
  EXPECT_EQ(xlsx::ConversionMessage(gone), "Error al generar XLSX: 2 - No such file or directory");
  // A folder where the workbook should go: the temporary file is removed again.
  fs::create_directory(folder / "busy.xlsx");
  testsupport::WriteBytes(folder / "busy.xlsx" / "keep", "old");
  const auto busy = xlsx::ConvertCsvToXlsx((folder / "r.csv").string(),
                                           (folder / "busy.xlsx").string(), ",", kDot, kWhen);
  EXPECT_EQ(busy.status, XlsxStatus::kWriteFailed);
  EXPECT_EQ(Listing(folder.path()), "busy.xlsx\nr.csv\n");
  EXPECT_EQ(testsupport::ReadBytes(folder / "busy.xlsx" / "keep"), "old");
}

TEST(Convertir_csv_xlsx, ShowsTheFailureAndReportsIt) {
  testsupport::TempProgramFolder folder;
  testsupport::ScriptedDialogs dialogs;
  dialogs.ExpectOk();
  testsupport::WriteBytes(folder / "report.csv", "");
  const auto r = xlsx::Convertir_csv_xlsx((folder / "report.csv").string(),
                                          (folder / "report.xlsx").string(), ",");
  EXPECT_FALSE(r.ok());
  ASSERT_EQ(dialogs.log().size(), 1u);
  EXPECT_EQ(dialogs.log()[0], "Error en Convertir_csv_xlsx: El archivo CSV está vacío");

  testsupport::WriteBytes(folder / "report.csv", "a,b\r\n");
  EXPECT_TRUE(xlsx::Convertir_csv_xlsx((folder / "report.csv").string(),
                                       (folder / "report.xlsx").string(), ",")
                  .ok());
  EXPECT_EQ(dialogs.log().size(), 1u);
  EXPECT_EQ(testsupport::ReadBytes(folder / "report.xlsx").substr(0, 4), "PK\x03\x04");
}

// openpyxl, an independent reader, gets back every number and text, cell by cell.
TEST(ConvertCsvToXlsx, OpenpyxlReadsBackEveryCell) {
  if (xlsxtest::Run("/usr/bin/python3 -c 'import openpyxl' 2>/dev/null").exit_code != 0)
    GTEST_SKIP() << "/usr/bin/python3 cannot import openpyxl (apt install python3-openpyxl)";
  testsupport::TempProgramFolder folder;
  const std::string csv =
      "\"003_Control\";\"Ñandú, día\";Größe µm;\"a;b\"\r\n"
      "1;2,5;-0,125;1.234.567,5\r\n"
      "007;\"say \"\"hi\"\"\";\"<&>'\"\"\";1E3\r\n"
      "\"two\nlines\";  padded  ;inf;\r\n"
      "solo\r\n";
  testsupport::WriteBytes(folder / "report.csv", csv);
  const auto r = xlsx::ConvertCsvToXlsx((folder / "report.csv").string(),
                                        (folder / "report.xlsx").string(), ";", kComma, kWhen);
  ASSERT_TRUE(r.ok()) << r.description;
  const std::string script =
      "import sys, json, zipfile, openpyxl\n"
      "assert zipfile.ZipFile(sys.argv[1]).testzip() is None\n"
      "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
      "print(ws.title)\n"
      "for row in ws.iter_rows(values_only=True):\n"
      "    print(json.dumps(row, ensure_ascii=False))\n";
  testsupport::WriteBytes(folder / "read.py", script);
  const auto out =
      xlsxtest::Run("PYTHONIOENCODING=utf-8 /usr/bin/python3 " + (folder / "read.py").string() +
                    " " + (folder / "report.xlsx").string());
  ASSERT_EQ(out.exit_code, 0) << out.output;
  EXPECT_EQ(out.output,
            "Hoja1\n"
            "[\"003_Control\", \"Ñandú, día\", \"Größe µm\", \"a;b\"]\n"
            "[1, 2.5, -0.125, 1234567.5]\n"
            "[7, \"say \\\"hi\\\"\", \"<&>'\\\"\", 1000]\n"
            "[\"two\\nlines\", \"padded\", \"inf\", null]\n"
            "[\"solo\", null, null, null]\n");
}

}  // namespace
