// Group sets: the names a plate offers, and the blocks a set gives each well.
#include "setup/group_sets.h"

#include <gtest/gtest.h>

#include "group_fixture.h"

namespace {

using grouptest::OwnTables;

TEST(GroupSetNames, ColumnsFirstThenRows) {
  struct Case {
    int rows, cols;
    size_t count;
    std::vector<std::string> head;
    const char* last;
    int preselected;
  };
  const Case cases[] = {
      {8,
       12,
       24,
       {"01x01 [RowsxColumn]", "02x01 [RowsxColumn]", "04x01 [RowsxColumn]", "08x01 [RowsxColumn]",
        "01x02 [RowsxColumn]"},
       "08x12 [RowsxColumn]",
       2},
      {16, 24, 35, {"01x01 [RowsxColumn]"}, "16x12 [RowsxColumn]", 2},
      {2,
       3,
       4,
       {"01x01 [RowsxColumn]", "02x01 [RowsxColumn]", "01x03 [RowsxColumn]", "02x03 [RowsxColumn]"},
       "02x03 [RowsxColumn]",
       2},
      {2, 1, 2, {"01x01 [RowsxColumn]", "02x01 [RowsxColumn]"}, "02x01 [RowsxColumn]", 0},
      {17, 1, 1, {"01x01 [RowsxColumn]"}, "01x01 [RowsxColumn]", 0},  // no block is 17 rows tall
      {0, 12, 0, {}, "", -1},
  };
  for (const Case& c : cases) {
    auto names = setup::GroupSetNames(c.rows, c.cols);
    ASSERT_EQ(names.size(), c.count) << c.rows << "x" << c.cols;
    const int pre = setup::PreselectedGroupSet(names.size());
    EXPECT_EQ(pre, c.preselected);
    if (names.empty()) continue;
    EXPECT_EQ(names.back(), c.last);
    names.resize(c.head.size());
    EXPECT_EQ(names, c.head);
  }
  EXPECT_EQ(setup::GroupSetNames(8, 12)[2], "04x01 [RowsxColumn]");
}

TEST(GroupSetNames, ParseBlockSizes) {
  struct Case {
    const char* name;
    int rows, cols;  // 0: refused
  };
  for (const Case& c :
       {Case{"02x03 [RowsxColumn]", 2, 3}, Case{"16x12", 16, 12}, Case{"00x03", 0, 0},
        Case{"02x", 0, 0}, Case{"ab", 0, 0}, Case{"", 0, 0}, Case{"-2x03", 0, 0}}) {
    const auto b = setup::ParseGroupSetName(c.name);
    EXPECT_EQ(b ? b->rows : 0, c.rows) << c.name;
    EXPECT_EQ(b ? b->cols : 0, c.cols) << c.name;
  }
}

// The group of each well's beam-0 channel, by well label.
int GroupOfWell(const OwnTables& t, int well) {
  return t.group[static_cast<size_t>(t.View().ClaimedChannel(well, 0))];
}

TEST(ApplyGroupSet, BlocksAreNumberedDownTheColumnsOfBlocks) {
  struct Case {
    const char* plate;
    int rr, cc;
    int disabled;                            // a channel made unusable first, -1 none
    std::vector<std::pair<int, int>> wells;  // well, group (-1 free)
    int named_last;                          // the highest group with a name of its own
  };
  const Case cases[] = {
      // 02x03 on 8 x 12: A1/B3 group 0, C1 1, G1/H3 3, A4 4, H12 15.
      {"w96u", 2, 3, -1, {{0, 0}, {17, 0}, {2, 1}, {6, 3}, {23, 3}, {24, 4}, {95, 15}}, 15},
      {"w96u", 4, 1, -1, {{0, 0}, {3, 0}, {4, 1}, {8, 2}, {95, 23}}, 23},
      // A disabled beam-0 channel in well 0 leaves the other blocks their groups.
      {"w96u", 2, 3, 0, {{0, -1}, {1, 0}, {2, 1}, {24, 4}, {95, 15}}, 15},
      {"w96f", 2, 3, 0, {{0, -1}, {1, 0}, {2, 1}, {24, 4}, {95, 15}}, 15},
  };
  for (const Case& c : cases) {
    OwnTables t(storage::BuiltInPlateLayout(c.plate));
    if (c.disabled >= 0) t.enabled[static_cast<size_t>(c.disabled)] = 0;
    t.Put({5}, 200);
    t.names[200] = "Old";
    ASSERT_TRUE(t.Model().ApplyGroupSet(c.rr, c.cc));
    for (auto [well, g] : c.wells)
      EXPECT_EQ(GroupOfWell(t, well), g) << c.plate << " well " << well;
    EXPECT_EQ(t.names[static_cast<size_t>(c.named_last)], "Group" + std::to_string(c.named_last));
    EXPECT_EQ(t.names[static_cast<size_t>(c.named_last + 1)], "Free");
    EXPECT_EQ(t.names[200], "Free");
  }
  // With two beams a well, the second beam of well 0 still joins group 0.
  OwnTables t(storage::BuiltInPlateLayout("w96f"));
  t.enabled[0] = 0;
  t.Model().ApplyGroupSet(2, 3);
  EXPECT_EQ(t.group[16], 0);
  EXPECT_EQ(t.group[0], -1);
}

TEST(ApplyGroupSet, OneByOneGivesEveryWellItsOwnGroup) {
  OwnTables t(storage::BuiltInPlateLayout("w96f"));
  t.Model().ApplyGroupSet(1, 1);
  for (int w = 0; w < 96; ++w) {
    EXPECT_EQ(GroupOfWell(t, w), w);
    EXPECT_EQ(t.group[static_cast<size_t>(t.View().ClaimedChannel(w, 1))], w);
  }
  EXPECT_EQ(t.names[96], "Free");
}

TEST(ApplyGroupSet, BlocksThatDoNotTileThePlateChangeNothing) {
  OwnTables t(storage::BuiltInPlateLayout("w96u"));
  t.Put({0}, 3);
  for (auto [rr, cc] : {std::pair{3, 1}, {1, 5}, {0, 1}, {1, -2}}) {
    EXPECT_FALSE(t.Model().ApplyGroupSet(rr, cc)) << rr << "x" << cc;
    EXPECT_EQ(t.group[0], 3);
  }
}

}  // namespace
