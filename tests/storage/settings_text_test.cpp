#include <gtest/gtest.h>

#include "storage/settings_text.h"

namespace {

using storage::FormatError;
using storage::SettingsReader;
using storage::SettingsWriter;

TEST(SettingsText, QuotedValuesHoldCommasAndLineBreaksAndAnyLineEndWorks) {
  SettingsReader r("\"a, b\",7\r\n\"two\r\nlines\",-3\r4\n\"x\"");
  EXPECT_EQ(r.ReadString(), "a, b");
  EXPECT_EQ(r.ReadInt16(), 7);
  EXPECT_EQ(r.ReadString(), "two\r\nlines");
  EXPECT_EQ(r.ReadInt16(), -3);
  EXPECT_EQ(r.ReadInt16(), 4);
  EXPECT_FALSE(r.Eof());
  EXPECT_EQ(r.ReadString(), "x");
  EXPECT_TRUE(r.Eof());
  EXPECT_THROW(r.ReadString(), FormatError);
}

TEST(SettingsText, EmptyNumericFieldsReadZeroAndBadNumbersAreErrors) {
  SettingsReader r("1,,3,\r\n 2.5 ,3.5,1.875\r\n");
  EXPECT_EQ(r.ReadInt16(), 1);
  EXPECT_EQ(r.ReadInt16(), 0);
  EXPECT_EQ(r.ReadInt16(), 3);
  EXPECT_EQ(r.ReadInt16(), 0);  // the empty value after the last comma
  EXPECT_EQ(r.ReadInt16(), 2);  // halves to even
  EXPECT_EQ(r.ReadInt16(), 4);
  EXPECT_DOUBLE_EQ(r.ReadDouble(), 1.875);
  EXPECT_TRUE(r.Eof());

  EXPECT_THROW(SettingsReader("abc").ReadInt16(), FormatError);
  EXPECT_THROW(SettingsReader("12x").ReadInt16(), FormatError);
  EXPECT_THROW(SettingsReader("32768").ReadInt16(), FormatError);
  EXPECT_EQ(SettingsReader("-32768").ReadInt16(), -32768);
  EXPECT_THROW(SettingsReader("nan").ReadDouble(), FormatError);
  EXPECT_THROW(SettingsReader("1e400").ReadDouble(), FormatError);
}

TEST(SettingsText, WriterQuotesStringsAndWritesBareNumbersWithPoint) {
  SettingsWriter w;
  w.Str("Config: <a>").EndLine();
  w.Int(3).Str("na\"me").Num(1.875).Num(3.0).Num(-0.25).EndLine();
  EXPECT_EQ(w.Bytes(), "\"Config: <a>\"\r\n3,\"name\",1.875,3,-0.25\r\n");
}

TEST(SettingsText, WindowsTextIsDecodedAndUtf8Kept) {
  EXPECT_EQ(storage::DecodeText("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(storage::DecodeText("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(storage::CleanQuotedText("a\"b\r\nc"), "abc");
}

}  // namespace
