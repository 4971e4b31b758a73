// The group model on tables the test owns: entries and their naming lag, channel
// lists, moving wells, clearing and renaming with the user's answers.
#include "setup/group_model.h"

#include <gtest/gtest.h>

#include "group_fixture.h"
#include "support/scripted_dialogs.h"

namespace {

using grouptest::OwnTables;
using grouptest::Texts;
using Answer = platform::Dialogs::Answer;

storage::PlateLayout W96f() { return storage::BuiltInPlateLayout("w96f"); }

TEST(GroupEntries, ListGroupsUpToTheHighestPlusOneAndNameUsedOnesOneRebuildLate) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, int>> put;  // channel, group
    size_t count;
    std::vector<std::string> first, second;  // the leading entries of two rebuilds
  };
  const Case cases[] = {
      {"nothing grouped", {}, 1, {"000_Free"}, {"000_Free"}},
      {"group 2",
       {{66, 2}},
       4,
       {"000_Free", "001_Free", "002_Free", "003_Free"},
       {"000_Free", "001_Free", "002_Group2", "003_Free"}},
      {"a channel off the plate counts",
       {{1, 0}},
       2,
       {"000_Free", "001_Free"},
       {"000_Group0", "001_Free"}},
      {"group 383 ends the list", {{0, 383}}, 384, {"000_Free"}, {"000_Free"}},
  };
  for (const Case& c : cases) {
    OwnTables t(W96f());
    for (auto [ch, g] : c.put) t.Put({ch}, g);
    auto model = t.Model();
    const auto first = model.BuildEntries();
    const auto second = model.BuildEntries();
    ASSERT_EQ(first.size(), c.count) << c.what;
    EXPECT_EQ(first.back().group, std::min<int>(static_cast<int>(c.count) - 1, 383)) << c.what;
    auto head = [](auto texts, size_t n) {
      texts.resize(std::min(n, texts.size()));
      return texts;
    };
    EXPECT_EQ(head(Texts(first, &setup::GroupEntry::text), c.first.size()), c.first) << c.what;
    EXPECT_EQ(head(Texts(second, &setup::GroupEntry::text), c.second.size()), c.second) << c.what;
  }
  OwnTables t(W96f());
  t.Put({0}, 383);
  const auto entries = t.Model().BuildEntries();
  EXPECT_EQ(entries.back().text, "383_Free");
  EXPECT_EQ(t.names[383], "Group383");
  EXPECT_EQ(setup::GroupModel::EntryIndexOf(entries, 383), 383);
  EXPECT_EQ(setup::GroupModel::EntryIndexOf(t.Model().BuildEntries(), 384), 0);
}

TEST(GroupEntries, RenameDuringTheLagOffersTheNameTheEntryShows) {
  OwnTables t(W96f());
  t.Put({66}, 2);
  auto model = t.Model();
  auto entries = model.BuildEntries();
  ASSERT_EQ(t.names[2], "Group2");
  testsupport::ScriptedDialogs dialogs;
  dialogs.AnswerInput("Control");
  EXPECT_TRUE(setup::AskRenameGroup(model, entries[2]));
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Enter New Group (002) Name"});
  EXPECT_EQ(dialogs.input_defaults(), std::vector<std::string>{"Free"});
  EXPECT_EQ(entries[2].text, "002_Control");
  EXPECT_EQ(t.names[2], "Control");
}

TEST(GroupEntries, RenameStoresACleanNameOrNothing) {
  struct Case {
    std::optional<std::string> answer;
    bool changed;
    const char* name;
  };
  const Case cases[] = {
      {"Control", true, "Control"},     {"", false, "Treated"},
      {std::nullopt, false, "Treated"}, {"a\"b,c\r\nd\te\x7f", true, "ab,cde"},
      {"\"\r\n\"", false, "Treated"},  // nothing left once cleaned
  };
  for (const Case& c : cases) {
    OwnTables t(W96f());
    t.names[4] = "Treated";
    setup::GroupEntry entry{4, "004_Treated"};
    auto model = t.Model();
    testsupport::ScriptedDialogs dialogs;
    if (c.answer)
      dialogs.AnswerInput(*c.answer);
    else
      dialogs.CancelInput();
    EXPECT_EQ(setup::AskRenameGroup(model, entry), c.changed) << c.name;
    EXPECT_EQ(t.names[4], c.name);
    EXPECT_EQ(entry.text, std::string("004_") + c.name);
  }
}

TEST(ChannelLists, LabelsInChannelOrderOfUsableChannels) {
  OwnTables t(W96f());
  t.Put({82, 66, 1, 2}, 3);  // 1 is off the plate, 2 is disabled
  t.enabled[2] = 0;
  t.enabled[4] = 0;
  auto model = t.Model();
  const auto group = model.GroupChannels(3);
  EXPECT_EQ(Texts(group, &setup::ChannelEntry::label), (std::vector<std::string>{"B3.0", "B3.1"}));
  EXPECT_EQ(group[0].channel, 66);
  const auto free = model.FreeChannels();
  ASSERT_EQ(free.size(), 192u - 4u);
  EXPECT_EQ(free[0].label, "A1.0");
  EXPECT_EQ(free[1].label, "D1.0");  // channel 6: 2 is grouped, 4 disabled
  EXPECT_EQ(free.back().label, "H12.1");
  EXPECT_EQ(storage::ChannelLabel(model.Plate(), 50), "B2.1");
  EXPECT_TRUE(model.GroupChannels(-1).empty());
  EXPECT_TRUE(model.GroupChannels(384).empty());
  t.Put({70}, 999);  // a group number past the tables is free
  EXPECT_EQ(t.Model().FreeChannels().size(), 192u - 4u);
}

// Wells of 1, 2, 1 and 3 beams: the one-beam wells' empty slots hold channel 0.
TEST(MoveWell, TouchesOnlyTheWellsOwnChannels) {
  struct Case {
    int channel, group;
    std::vector<int> before, after;  // channels of group 5
  };
  const Case cases[] = {
      {3, 5, {}, {3}},        // well 2: channel 0 in its empty slots stays free
      {5, 5, {}, {4, 5, 6}},  // channel 6 is disabled and moves with its well
      {0, 5, {}, {0}},
      {1, 5, {3}, {1, 2, 3}},
      {3, -1, {0, 1, 2, 3, 4, 5, 6}, {0, 1, 2, 4, 5, 6}},
      {7, 5, {}, {}},    // not on the plate
      {4, 384, {}, {}},  // not a group
  };
  for (const Case& c : cases) {
    OwnTables t(grouptest::CustomLayout(2, 2, {1, 2, 1, 3}));
    t.enabled[6] = 0;
    for (int ch : c.before) t.Put({ch}, 5);
    t.Model().MoveWell(c.channel, c.group);
    EXPECT_EQ(t.ChannelsOf(5), c.after) << c.channel << " -> " << c.group;
    EXPECT_EQ(t.ChannelsOf(384), std::vector<int>{});
  }
}

TEST(MoveWell, SelectionAfterTheMove) {
  struct Case {
    int selected, count, expected;
  };
  for (const Case& c : {Case{0, 5, -1}, Case{2, 3, 2}, Case{3, 3, 2}, Case{3, 2, 1}, Case{1, 0, -1},
                        Case{4, 9, 4}}) {
    EXPECT_EQ(setup::SelectionAfterMove(c.selected, c.count), c.expected)
        << c.selected << "/" << c.count;
  }
}

TEST(ClearGroup, OnlyYesFreesEveryChannelOfTheGroup) {
  struct Case {
    Answer answer;
    std::vector<int> left;
    const char* name;
  };
  for (const Case& c :
       {Case{Answer::kNo, {0, 2, 16}, "Treated"}, Case{Answer::kCancel, {0, 2, 16}, "Treated"},
        Case{Answer::kYes, {}, "Free"}}) {
    OwnTables t(W96f());
    t.Put({0, 16, 2}, 4);
    t.Put({66}, 5);
    t.enabled[16] = 0;
    t.names[4] = "Treated";
    auto model = t.Model();
    testsupport::ScriptedDialogs dialogs;
    dialogs.Answer3(c.answer);
    EXPECT_EQ(setup::AskClearGroup(model, {4, "004_Treated"}), c.answer == Answer::kYes);
    EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Clear Group #004?"});
    EXPECT_EQ(t.ChannelsOf(4), c.left);
    EXPECT_EQ(t.names[4], c.name);
    EXPECT_EQ(t.ChannelsOf(5), std::vector<int>{66});
  }
}

TEST(ClearGroup, ClearAllAsksAndFreesEverything) {
  for (const bool yes : {false, true}) {
    OwnTables t(W96f());
    t.Put({0, 1, 383}, 7);
    t.names[7] = "Seven";
    t.names[384] = "spare";
    auto model = t.Model();
    testsupport::ScriptedDialogs dialogs;
    yes ? dialogs.AnswerYes() : dialogs.AnswerNo();
    EXPECT_EQ(setup::AskClearAllGroups(model), yes);
    EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Do you like to Clear Group lists?"});
    EXPECT_EQ(t.ChannelsOf(7).size(), yes ? 0u : 3u);
    EXPECT_EQ(t.names[7], yes ? "Free" : "Seven");
    EXPECT_EQ(t.names[384], "spare");
  }
}

TEST(GroupModelTables, TooShortTablesGiveAModelThatSeesNothing) {
  OwnTables t(W96f());
  t.Put({0}, 1);
  std::vector<int16_t> short_group(10, 1);
  setup::GroupModel model(t.View(), t.enabled, {short_group, t.names});
  EXPECT_TRUE(model.FreeChannels().empty());
  EXPECT_EQ(Texts(model.BuildEntries(), &setup::GroupEntry::text),
            std::vector<std::string>{"000_Free"});
  model.ClearAll();
  model.MoveWell(0, 2);
  EXPECT_EQ(short_group, std::vector<int16_t>(10, 1));
}

}  // namespace
