#include "xlsx/zip_writer.h"

#include <gtest/gtest.h>

#include <random>

#include "support/temp_folder.h"
#include "xlsx/crc32.h"
#include "xlsx_test_util.h"

namespace {

using xlsxtest::Le32;

TEST(Crc32, CheckValueEmptyAndPiecewise) {
  EXPECT_EQ(xlsx::Crc32Bytes("123456789"), 0xCBF43926u);
  EXPECT_EQ(xlsx::Crc32Bytes(""), 0u);
  // Every length from 0 to 40 crosses the eight-byte steps at a different point.
  std::mt19937 gen(7);
  std::string data(40, '\0');
  for (char& c : data) c = static_cast<char>(gen());
  for (size_t len = 0; len <= data.size(); ++len) {
    const std::string_view piece(data.data(), len);
    EXPECT_EQ(xlsx::Crc32Bytes(piece), xlsxtest::BitwiseCrc32(piece)) << len;
    const size_t half = len / 3;
    EXPECT_EQ(xlsx::Crc32Update(xlsx::Crc32Update(0, piece.data(), half), piece.data() + half,
                                len - half),
              xlsx::Crc32Bytes(piece));
  }
}

TEST(DosStamp, FieldsLimitsAndSignedWords) {
  // 23:59:59 is 49021, stored in a signed 16-bit word; years clamp to 1980..2107.
  EXPECT_EQ(xlsx::DosTimeNow({2026, 1, 1, 23, 59, 59}), -16515);
  EXPECT_EQ(static_cast<uint16_t>(xlsx::DosDateNow({1975, 6, 30, 0, 0, 0})), 6 * 32 + 30);
  EXPECT_EQ(static_cast<uint16_t>(xlsx::DosDateNow({2200, 12, 31, 0, 0, 0})),
            127 * 512 + 12 * 32 + 31);
  EXPECT_EQ(xlsx::UIntToSignedInt(32768), -32768);
  EXPECT_EQ(xlsx::UIntToSignedInt(65535), -1);
}

// An empty entry, a UTF-8 name in a sub-folder and a plain entry, checked byte for byte
// against the record layouts.
TEST(StoredZipWriter, GoldenArchive) {
  const uint16_t time = 15 * 2048 + 9 * 32 + 13, date = 46 * 512 + 3 * 32 + 14;
  xlsx::StringZipOutput out;
  xlsx::StoredZipWriter zip(out, static_cast<int16_t>(time), static_cast<int16_t>(date));
  const std::vector<std::pair<std::string, std::string>> entries = {{"empty.txt", ""},
                                                                    {"d\xC3\xAD"
                                                                     "a/\xC3\xB1.xml",
                                                                     "<a/>"},
                                                                    {"b", "xyz"}};
  for (const auto& [name, data] : entries) ASSERT_TRUE(zip.AddEntry(name, data));
  ASSERT_TRUE(zip.Finish());
  EXPECT_EQ(out.bytes, xlsxtest::StoredArchive(entries, time, date));
  // The name length counts bytes: "día/ñ.xml" is 9 characters, 11 bytes; the directory
  // follows the three local records.
  EXPECT_EQ(out.bytes.find(Le32(0x02014B50)), 3 * 30 + (9 + 11 + 1) + (0 + 4 + 3));
}

TEST(StoredZipWriter, NoEntriesGivesOnlyTheEndRecord) {
  xlsx::StringZipOutput out;
  xlsx::StoredZipWriter zip(out, 0, 0);
  ASSERT_TRUE(zip.Finish());
  EXPECT_EQ(out.bytes, Le32(0x06054B50) + std::string(18, '\0'));
}

// Python's zipfile reads the archive and checks every CRC; zlib.crc32 agrees with ours
// on a larger random file.
TEST(StoredZipWriter, PythonZipfileAndZlibAgree) {
  if (xlsxtest::Run(xlsxtest::Python() + " -c 'import zipfile, zlib'").exit_code != 0)
    GTEST_SKIP() << "no python3 with zipfile and zlib on this machine";
  testsupport::TempProgramFolder folder;
  std::mt19937 gen(11);
  std::string blob(300001, '\0');
  for (char& c : blob) c = static_cast<char>(gen());
  xlsx::StringZipOutput out;
  xlsx::StoredZipWriter zip(out, xlsx::DosTimeNow({2026, 2, 3, 4, 5, 6}),
                            xlsx::DosDateNow({2026, 2, 3, 4, 5, 6}));
  ASSERT_TRUE(zip.AddEntry("blob.bin", blob));
  ASSERT_TRUE(zip.AddEntry("\xC3\xA1rbol/texto.txt", "hola"));
  ASSERT_TRUE(zip.AddEntry("vacío", ""));
  ASSERT_TRUE(zip.Finish());
  testsupport::WriteBytes(folder / "a.zip", out.bytes);
  testsupport::WriteBytes(folder / "blob.bin", blob);

  const std::string script =
      "import sys, zipfile, zlib\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "assert z.testzip() is None\n"
      "for i in z.infolist():\n"
      "    print(i.filename, i.compress_type, i.file_size, i.date_time)\n"
      "print('%08x' % zlib.crc32(open(sys.argv[2], 'rb').read()))\n";
  testsupport::WriteBytes(folder / "check.py", script);
  const auto r = xlsxtest::Run("PYTHONIOENCODING=utf-8 " + xlsxtest::Python() + " " +
                               (folder / "check.py").string() + " " + (folder / "a.zip").string() +
                               " " + (folder / "blob.bin").string());
  ASSERT_EQ(r.exit_code, 0) << r.output;
  char crc_hex[16];
  std::snprintf(crc_hex, sizeof crc_hex, "%08x", xlsx::Crc32Bytes(blob));
  EXPECT_EQ(r.output,
            "blob.bin 0 300001 (2026, 2, 3, 4, 5, 6)\n"
            "\xC3\xA1rbol/texto.txt 0 4 (2026, 2, 3, 4, 5, 6)\n"
            "vac\xC3\xADo 0 0 (2026, 2, 3, 4, 5, 6)\n" +
                std::string(crc_hex) + "\n");
}

}  // namespace
