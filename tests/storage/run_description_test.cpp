#include "storage/run_description.h"

#include "storage/file_io.h"
#include "storage_fixture.h"

namespace {

using storagetest::Crlf;

class RunDescription : public storagetest::StorageTest {
 protected:
  std::string Run() const { return folder_.path().string(); }
};

TEST_F(RunDescription, NameAndMultiLineCommentsRoundTrip) {
  ASSERT_TRUE(storage::WriteSubproject(Run(), "Run \"1\", dose", "first\nsecond\r\n\r\nthird"));
  EXPECT_EQ(Read("subproj.dat"), "\"Run 1, dose\"\r\n\"first\r\nsecond\r\n\r\nthird\"\r\n");
  EXPECT_EQ(storage::ReadSubprojectName(Run()), "Run 1, dose");
  EXPECT_EQ(storage::ReadSubprojectComments(Run()), "first\r\nsecond\r\nthird");
}

TEST_F(RunDescription, RenameAndCommentsKeepTheOtherFieldAndABackup) {
  const std::string before = Crlf({"\"Old\"", "\"line a", "line b\""});
  Write("subproj.dat", before);
  EXPECT_EQ(storage::RenameSubproject(Run(), "New"), "New");
  EXPECT_EQ(Read("subproj.bak"), before);
  EXPECT_EQ(Read("subproj.dat"), Crlf({"\"New\"", "\"line a", "line b\""}));
  EXPECT_EQ(storage::SetSubprojectComments(Run(), "c"), "OK");
  EXPECT_EQ(Read("subproj.dat"), Crlf({"\"New\"", "\"c\""}));

  std::filesystem::remove(Path("subproj.dat"));
  std::filesystem::remove(Path("subproj.bak"));
  EXPECT_EQ(storage::RenameSubproject(Run(), "X"), "X");
  EXPECT_EQ(storage::SetSubprojectComments(Run(), "c"), "OK");
  EXPECT_FALSE(std::filesystem::exists(Path("subproj.dat")));
  EXPECT_EQ(storage::ReadSubprojectName(Run()), "");
  EXPECT_EQ(storage::ReadSubprojectComments(Run()), "");
}

TEST_F(RunDescription, TagLookups) {
  Write("tags_id.dat", Crlf({"20240101_1000 [K1] [K3]", " 20240101_1100 [K3]", "nokey", "20240102_0900 [K3]",
                             "20240101_1000 [K2]"}));
  EXPECT_EQ(storage::GetTagText(Run(), "20240101_1000"), "[K1] [K3]");
  EXPECT_EQ(storage::GetTagText(Run(), "20240101_1100"), "");
  EXPECT_EQ(storage::GetTagText(Run(), "nokey"), "");
  EXPECT_EQ(storage::FindTagIds(Run(), "[K3]"), "20240101_1000 20240102_0900");
  // From position 2 on: the run name counts too, its first character does not.
  EXPECT_EQ(storage::FindTagIds(Run(), "024010"), "20240101_1000 20240102_0900 20240101_1000");
  EXPECT_EQ(storage::FindTagIds(Run(), "2024010"), "");
  EXPECT_EQ(storage::FindTagIds(Run(), "[K9]"), "");
  EXPECT_EQ(storage::GetTagText(Path("none"), "x"), "");
}

TEST_F(RunDescription, LineCountAndCheckedCopy) {
  EXPECT_EQ(storage::CountFileLines(Path("missing")), 0);
  Write("empty", "");
  EXPECT_EQ(storage::CountFileLines(Path("empty")), 0);
  Write("mixed", "a\r\nb\nc\rd");
  EXPECT_EQ(storage::CountFileLines(Path("mixed")), 4);
  Write("ended", "a\r\n\r\n");
  EXPECT_EQ(storage::CountFileLines(Path("ended")), 2);

  Write("dest", "old contents");
  EXPECT_EQ(storage::CopyFileChecked(Path("mixed"), Path("dest")), 1);
  EXPECT_EQ(Read("dest"), "a\r\nb\nc\rd");
  EXPECT_EQ(storage::CopyFileChecked(Path("missing"), Path("dest")), -1);
  EXPECT_EQ(Read("dest"), "a\r\nb\nc\rd");
  EXPECT_EQ(storage::CopyFileChecked(Path("mixed"), Path("no/such/folder/x")), -1);
}

}  // namespace
