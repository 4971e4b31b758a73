// Rewrites that no planted link, second writer or kill can spoil, and appends.
#include "platform/file_write.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadBytes;

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FileWrite, APlantedLinkAtATemporaryNameRedirectsNothing) {
  testsupport::TempProgramFolder home;
  const fs::path outside = home / "outside.txt";
  testsupport::WriteBytes(outside, "precious");
  testsupport::WriteBytes(home / "config.dat", "old");
  fs::create_symlink(outside, home / "config.dat.tmp~");
  ASSERT_EQ(platform::WriteFileAtomic(home / "config.dat", "new"), 0);
  EXPECT_EQ(ReadBytes(home / "config.dat"), "new");
  EXPECT_EQ(ReadBytes(outside), "precious");
  EXPECT_EQ(Names(home.path()),
            (std::vector<std::string>{"config.dat", "config.dat.tmp~", "outside.txt"}));
  EXPECT_NE(platform::WriteFileAtomic(home / "no" / "config.dat", "x"), 0);
  EXPECT_EQ(platform::WriteFileAtomic(home.path(), "x"), EISDIR);
}

TEST(FileWrite, TwoWritersNeverMixTheirBytes) {
  testsupport::TempProgramFolder home;
  const fs::path file = home / "setup.dat";
  const std::string a(200000, 'a'), b(100000, 'b');
  auto writer = [&](const std::string& bytes) {
    for (int i = 0; i < 30; ++i) EXPECT_EQ(platform::WriteFileAtomic(file, bytes), 0);
  };
  std::thread first(writer, a), second(writer, b);
  first.join();
  second.join();
  const std::string result = ReadBytes(file);
  EXPECT_TRUE(result == a || result == b);
  EXPECT_EQ(Names(home.path()), std::vector<std::string>{"setup.dat"});
}

TEST(FileWrite, StaleTemporariesGoAtStartAndNothingElse) {
  testsupport::TempProgramFolder home;
  for (const char* name :
       {"calvalue.dat.Ab3dE9.tmp~", "config.dat.tmp~", "keep.dat", "tmp~", "keep.tmp"})
    testsupport::WriteBytes(home / name, "x");
  fs::create_directory(home / "folder.tmp~");
  EXPECT_EQ(platform::RemoveStaleTemporaries(home.path()), 2);
  EXPECT_EQ(Names(home.path()),
            (std::vector<std::string>{"folder.tmp~", "keep.dat", "keep.tmp", "tmp~"}));
  EXPECT_EQ(platform::RemoveStaleTemporaries(home / "missing"), 0);
}

TEST(FileWrite, APreparedFileWaitsForItsCommitAndGoesWhenDropped) {
  testsupport::TempProgramFolder home;
  testsupport::WriteBytes(home / "counts.bin", "old");
  {
    platform::AtomicFileWriter dropped(home / "counts.bin");
    dropped.Write("lost");
    ASSERT_EQ(dropped.Prepare(), 0);
  }
  EXPECT_EQ(Names(home.path()), std::vector<std::string>{"counts.bin"});
  platform::AtomicFileWriter kept(home / "counts.bin");
  kept.Write("new");
  ASSERT_EQ(kept.Prepare(), 0);
  EXPECT_EQ(ReadBytes(home / "counts.bin"), "old");
  ASSERT_EQ(kept.Commit(), 0);
  EXPECT_EQ(ReadBytes(home / "counts.bin"), "new");
  EXPECT_EQ(Names(home.path()), std::vector<std::string>{"counts.bin"});
  EXPECT_NE(kept.Commit(), 0);
}

TEST(FileWrite, AppendsCreateAndExtend) {
  testsupport::TempProgramFolder home;
  std::size_t written = 99;
  ASSERT_EQ(platform::AppendFile(home / "counts.bin", "abc", true, written), 0);
  EXPECT_EQ(written, 3u);
  ASSERT_EQ(platform::AppendFile(home / "counts.bin", "de", false, written), 0);
  EXPECT_EQ(ReadBytes(home / "counts.bin"), "abcde");
  EXPECT_EQ(platform::AppendFile(home / "gone" / "counts.bin", "abc", true, written), ENOENT);
  EXPECT_EQ(written, 0u);
}

}  // namespace
