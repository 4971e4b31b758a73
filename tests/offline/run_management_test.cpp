#include "offline/run_management.h"

#include "offline/run_catalogue.h"
#include "offline_fixture.h"
#include "storage/run_description.h"

namespace offline_test {
namespace {

using offline::TagEdit;
using Status = offline::TagEdit::Status;
using Lines = std::vector<std::string>;

TEST(Tags, AddTagOverTheLinesOfTheFile) {
  struct Case {
    const char* what;
    Lines before;
    std::string run, tag;
    Status status;
    Lines after;
  };
  const std::string r = "20240315_0930";
  const std::vector<Case> cases = {
      {"first tag", {}, r, "[K1]", Status::kChanged, {r + " [K1]"}},
      {"[K2] twice", {r + " [K2]"}, r, "[K2]", Status::kChanged, {r + " [K2]"}},
      {"[K1] then [K3]", {r + " [K1]"}, r, "[K3]", Status::kChanged, {r + " [K1] [K3]"}},
      {"clear",
       {r + " [K1] [K3]", "20240316_0930 [K1]"},
       r,
       "",
       Status::kChanged,
       {r, "20240316_0930 [K1]"}},
      {"clear a bare line", {r}, r, "", Status::kChanged, {r}},
      {"clear without a line",
       {"20240316_0930 [K1]"},
       r,
       "",
       Status::kUnchanged,
       {"20240316_0930 [K1]"}},
      {"a cleared line takes a tag", {r}, r, "[K4]", Status::kChanged, {r + " [K4]"}},
      {"a station suffix is another run",
       {r + "_s2 [K1]"},
       r,
       "[K1]",
       Status::kChanged,
       {r + "_s2 [K1]", r + " [K1]"}},
      {"a line starting with a blank has no key",
       {" " + r + " [K1]"},
       r,
       "[K2]",
       Status::kChanged,
       {" " + r + " [K1]", r + " [K2]"}},
      {"every line of the key",
       {r + " [K1]", r},
       r,
       "[K2]",
       Status::kChanged,
       {r + " [K1] [K2]", r + " [K2]"}},
      // Its line would carry the key r: r would take the tags, the copy none.
      {"a blank in the name", {r + " [K1]"}, r + " copy", "[K2]", Status::kNoKey, {r + " [K1]"}},
      {"a line break in the name", {}, r + "\nx", "[K1]", Status::kNoKey, {}},
  };
  for (const Case& c : cases) {
    const TagEdit e = offline::AddTag(c.before, c.run, c.tag);
    EXPECT_EQ(e.status, c.status) << c.what;
    EXPECT_EQ(e.lines, c.after) << c.what;
  }
}

TEST(Tags, AThousandLinesAtMost) {
  Lines full;
  for (int i = 0; i < 1000; ++i)
    full.push_back("2024010" + std::to_string(i % 10) + "_" + std::to_string(1000 + i) + " [K1]");
  EXPECT_EQ(offline::AddTag(full, "20250101_0000", "[K1]").status, Status::kTooMany);
  EXPECT_EQ(offline::AddTag(full, full[5].substr(0, 13), "[K2]").status, Status::kChanged);
  Lines over = full;
  over.push_back("20250101_0000 [K1]");
  const TagEdit e = offline::AddTag(over, full[5].substr(0, 13), "[K2]");
  EXPECT_EQ(e.status, Status::kTooMany);
  EXPECT_EQ(e.lines, over);
  EXPECT_EQ(offline::KineticTag(0), "");
  EXPECT_EQ(offline::KineticTag(3), "[K3]");
  EXPECT_EQ(offline::KineticTag(5), "");
}

class RunFiles : public OfflineTest {};

TEST_F(RunFiles, TagFileIsRewrittenOnlyWhenChanged) {
  const fs::path p = MakeProject(1, "One");
  const fs::path file = p / "tags_id.dat";
  EXPECT_EQ(offline::TagRun(p, "20240315_0930", ""), offline::TagFileResult::kUnchanged);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(offline::TagRun(p, "20240315_0930", "[K1]"), offline::TagFileResult::kWritten);
  EXPECT_EQ(offline::TagRun(p, "20240316_0930", "[K2]"), offline::TagFileResult::kWritten);
  EXPECT_EQ(testsupport::ReadBytes(file), "20240315_0930 [K1]\r\n20240316_0930 [K2]\r\n");
  // Lines a text editor ended with LF come back with CR LF.
  testsupport::WriteBytes(file, "20240315_0930 [K1]\n");
  offline::TagRun(p, "20240316_0930", "");  // no line: the file stays as it was
  EXPECT_EQ(testsupport::ReadBytes(file), "20240315_0930 [K1]\n");
  offline::TagRun(p, "20240315_0930", "");
  EXPECT_EQ(testsupport::ReadBytes(file), "20240315_0930\r\n");
  // A tag file that is not a file: nothing is written.
  fs::remove(file);
  fs::create_directory(file);
  EXPECT_EQ(offline::TagRun(p, "20240315_0930", "[K1]"), offline::TagFileResult::kFailed);
  EXPECT_TRUE(fs::is_directory(file));
}

TEST_F(RunFiles, TaggedRunsWhoseFolderIsGoneAreSkipped) {
  const fs::path p = MakeProject(1, "One");
  MakeRun(p, "20240315_0930", "a", {{0, {}}});
  MakeRun(p, "20240317_0930", "c", {{0, {}}});
  testsupport::WriteBytes(p / "tags_id.dat",
                          "20240315_0930 [K1]\r\n20240316_0930 [K1]\r\n../p00002 [K1]\r\n"
                          "20240317_0930 [K1]\r\n");
  // The archived 16th is left out; a name that is no run folder stays to be reported.
  EXPECT_EQ(offline::LiveTaggedRuns(p, "[K1]"), "20240315_0930 ../p00002 20240317_0930");
}

TEST(RunLines, TheRunFolderIsRebuiltWhateverTheNameHolds) {
  struct Case {
    std::string folder, name, tags;
  };
  const std::vector<Case> cases = {
      {"20240315_0930", "Dose 1", ""},
      {"20240315_0930_s2", "Dose 1", "[K1] [K3]"},
      {"20240315_0930", "v1.2: ACQ 10:45 > 3", "[K2]"},
      {"20241231_2359_s4", "ACQ.ACQ::..", ""},
  };
  for (const Case& c : cases) {
    for (bool has_tags : {false, true}) {
      const std::string line = offline::RunLineText(c.folder, c.name, has_tags, c.tags);
      EXPECT_EQ(offline::ParseRunLine(line), c.folder) << line;
    }
  }
}

TEST_F(RunFiles, ArchivingRenamesTheFolderAndKeepsItsFiles) {
  const platform::WallTime june_first{2024, 6, 1, 9, 15, 42};
  EXPECT_EQ(offline::ArchivedName("20240315_0930", june_first), "20240315_0930removed202406010942");
  const fs::path p = MakeProject(1, "One");
  const fs::path run = MakeRun(p, "20240315_0930", "Dose 1", {{0, {{0, 3}}}});
  const fs::path other = MakeRun(p, "20240316_0930", "Dose 2", {{0, {{0, 3}}}});
  const std::string counts = testsupport::ReadBytes(run / "counts.bin");

  // The run being recorded (running or paused) stays where it is.
  storage::Shared().Run_Folder_Path = run.string();
  for (int16_t state : {1, 2}) {
    storage::Shared().Acq_State = state;
    EXPECT_EQ(offline::ArchiveRun(run, june_first), offline::ArchiveResult::kRunning);
    EXPECT_FALSE(offline::IsRunBeingRecorded(other));
  }
  storage::Shared().Acq_State = 0;

  EXPECT_EQ(offline::ArchiveRun(run, june_first), offline::ArchiveResult::kArchived);
  const fs::path archived = p / "20240315_0930removed202406010942";
  EXPECT_EQ(testsupport::ReadBytes(archived / "counts.bin"), counts);
  EXPECT_EQ(offline::ListedRuns(p, 0), (std::vector<std::string>{"20240316_0930"}));
  // Gone, or a name already taken: nothing moves.
  EXPECT_EQ(offline::ArchiveRun(run, june_first), offline::ArchiveResult::kFailed);
  fs::create_directory(p / "20240316_0930removed202406010942");
  EXPECT_EQ(offline::ArchiveRun(other, june_first), offline::ArchiveResult::kFailed);
  EXPECT_TRUE(fs::exists(other / "counts.bin"));
}

TEST_F(RunFiles, RenamesCleanTheTypedName) {
  const fs::path p = MakeProject(1, "One");
  const fs::path run = MakeRun(p, "20240315_0930", "Dose 1", {{0, {}}});
  testsupport::WriteBytes(run / "subproj.dat", "\"Dose 1\"\r\n\"kept\"\r\n");
  EXPECT_EQ(offline::RenameRun(run, "New \"one\"\t\r\n"), offline::RenameResult::kRenamed);
  EXPECT_EQ(testsupport::ReadBytes(run / "subproj.dat"), "\"New one\"\r\n\"kept\"\r\n");
  EXPECT_EQ(offline::RenameRun(run, "\"\""), offline::RenameResult::kUnchanged);
  // A run without subproj.dat gets one; a folder that is gone gets nothing.
  const fs::path bare = MakeRun(p, "20240316_0930", "", {{0, {}}});
  EXPECT_EQ(offline::RenameRun(bare, "Named"), offline::RenameResult::kRenamed);
  EXPECT_EQ(storage::ReadSubprojectName(bare.string()), "Named");
  EXPECT_EQ(offline::RenameRun(p / "20240317_0930", "x"), offline::RenameResult::kFailed);
  EXPECT_FALSE(fs::exists(p / "20240317_0930"));

  EXPECT_EQ(offline::RenameProjectFolder(p, "Dose\tresponse"), offline::RenameResult::kRenamed);
  EXPECT_EQ(offline::ProjectText(p), "p00001_Doseresponse");
}

TEST_F(RunFiles, BasalChoicesAreTheListedRunsStamps) {
  const fs::path p = MakeProject(1, "One");
  MakeRun(p, "20240315_0930", "a", {{0, {}}});
  MakeRun(p, "20240315_0930_s2", "b", {{0, {}}});
  MakeRun(p, "20240316_0930", "no counts", {});
  MakeRun(p, "20240317_0930removed202406010942", "archived", {{0, {}}});
  MakeRun(p, "20240318_0930", "c", {{0, {}}});
  EXPECT_EQ(offline::BasalChoices(p, 0),
            (Lines{"-", "20240315_0930", "20240315_0930", "20240318_0930"}));
  EXPECT_EQ(offline::BasalChoices(p, 1),
            (Lines{"-", "20240318_0930", "20240315_0930", "20240315_0930"}));
  EXPECT_EQ(offline::BasalChoices(p / "none", 1), (Lines{"-"}));
}

}  // namespace
}  // namespace offline_test
