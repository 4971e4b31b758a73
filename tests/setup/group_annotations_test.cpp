// The annotation panel's model: column geometry, scrolling, modes, Fill and SET Global.
#include "setup/group_annotations.h"

#include <gtest/gtest.h>

namespace {

using F = setup::AnnotationField;

class Annotations : public ::testing::Test {
 protected:
  Annotations() { storage::ResetSharedState(); }
  ~Annotations() override { storage::ResetSharedState(); }
  storage::SharedState& S() { return storage::Shared(); }
};

TEST_F(Annotations, CompoundTakesTheWidthOfEveryHiddenColumn) {
  struct Case {
    bool strain, organisms, buffer;  // global?
    std::vector<double> lefts;       // compound, concentration, strain, organisms, buffer
    double compound_width;
  };
  const Case cases[] = {
      {true, true, true, {0.10, 0.64, 0.69, 0.69, 0.69}, 0.54},
      {false, false, false, {0.10, 0.29, 0.34, 0.49, 0.54}, 0.19},
      {false, true, true, {0.10, 0.49, 0.54, 0.69, 0.69}, 0.39},
      {true, false, true, {0.10, 0.59, 0.64, 0.64, 0.69}, 0.49},
  };
  for (const Case& c : cases) {
    setup::AnnotationPanel panel(S());
    panel.SetGlobalMode(F::kStrain, c.strain);
    panel.SetGlobalMode(F::kOrganisms, c.organisms);
    panel.SetGlobalMode(F::kBuffer, c.buffer);
    const auto cols = panel.Columns();
    const double lefts[] = {cols.compound.left, cols.concentration.left, cols.strain.left,
                            cols.organisms.left, cols.buffer.left};
    for (size_t i = 0; i < 5; ++i) EXPECT_NEAR(lefts[i], c.lefts[i], 1e-12) << i;
    EXPECT_NEAR(cols.compound.width, c.compound_width, 1e-12);
    EXPECT_EQ(cols.strain.visible, !c.strain);
    EXPECT_EQ(cols.organisms.visible, !c.organisms);
    EXPECT_EQ(cols.buffer.visible, !c.buffer);
    EXPECT_NEAR(cols.buffer.left + (c.buffer ? 0 : cols.buffer.width), 0.69, 1e-12);
  }
}

TEST_F(Annotations, ScrollsBetweenGroupZeroAndGroup378) {
  setup::AnnotationPanel panel(S());
  EXPECT_FALSE(panel.Up());
  EXPECT_EQ(panel.Offset(), 0);
  int steps = 0;
  while (panel.Down()) ++steps;
  EXPECT_EQ(steps, 378);
  EXPECT_EQ(panel.GroupOfRow(5), 383);
  EXPECT_TRUE(panel.Up());
  EXPECT_EQ(panel.Offset(), 377);
}

TEST_F(Annotations, TypingStoresTheShownGroupsEntry) {
  setup::AnnotationPanel panel(S());
  for (int i = 0; i < 10; ++i) panel.Down();
  panel.SetEntry(F::kCompound, 2, "DMSO");
  panel.SetEntry(F::kConcentration, 2, "1%");
  EXPECT_EQ(S().Group_Compound[12], "DMSO");
  EXPECT_EQ(S().Group_Concentration[12], "1%");
  EXPECT_EQ(panel.Entry(F::kCompound, 2), "DMSO");
  panel.SetGlobalValue(F::kStrain, "CB4856");  // every global box stores what is typed
  panel.SetGlobalValue(F::kOrganisms, "20");
  EXPECT_EQ(S().Global_Strain, "CB4856");
  EXPECT_EQ(S().Global_Organisms, "20");
}

TEST_F(Annotations, ModesAndTheirDefaults) {
  setup::AnnotationPanel panel(S());
  panel.ApplyDefaults();
  EXPECT_EQ(S().Global_Strain, "N2");
  EXPECT_EQ(S().Global_Buffer, "M9");
  EXPECT_EQ(S().Global_Organisms, "35");
  S().Global_Buffer = "PBS";
  panel.SetGlobalMode(F::kBuffer, false);
  EXPECT_EQ(S().Global_Buffer, "");
  panel.ApplyDefaults();
  EXPECT_EQ(S().Global_Buffer, "");  // per group: no default
  panel.SetGlobalMode(F::kBuffer, true);
  EXPECT_EQ(S().Global_Buffer, "M9");  // the default, not the former value
}

TEST_F(Annotations, FillAndSetGlobal) {
  struct Case {
    const char* what;
    bool fill;  // else SET Global
    const char* tool;
    const char* value;
    bool strain_global_before;
    // after: the strain and compound entries of a used and a free group, the global
    // strain and its mode
    const char* used_strain;
    const char* used_compound;
    const char* free_compound;
    const char* global_strain;
    bool strain_global_after;
  };
  const Case cases[] = {
      {"fill compound", true, "Compound", "DMSO", true, "", "DMSO", "", "N2", true},
      {"fill compound, empty value", true, "Compound", "", true, "", "", "", "N2", true},
      {"fill strain while global", true, "Strain", "CB", true, "CB", "x", "", "", false},
      {"fill strain per group", true, "Strain", "CB", false, "CB", "x", "", "", false},
      {"fill an unknown field", true, "Colour", "red", true, "", "x", "", "N2", true},
      {"set global strain", false, "Strain", "CB", false, "", "x", "", "CB", true},
      {"set global strain, empty", false, "Strain", "", false, "", "x", "", "N2", true},
      {"set global compound", false, "Compound", "CB", false, "", "x", "", "", false},
      {"set global conc", false, "[Conc]", "CB", true, "", "x", "", "N2", true},
  };
  for (const Case& c : cases) {
    storage::ResetSharedState();
    S().Group_Name[3] = "Group3";
    S().Group_Compound[3] = "x";
    setup::AnnotationPanel panel(S());
    panel.SetGlobalMode(F::kStrain, c.strain_global_before);
    panel.ApplyDefaults();
    if (c.fill)
      panel.Fill(c.tool, c.value, S().Group_Name);
    else
      panel.SetGlobal(c.tool, c.value);
    panel.ApplyDefaults();  // the grid's redraw
    EXPECT_EQ(S().Group_Strain[3], c.used_strain) << c.what;
    EXPECT_EQ(S().Group_Compound[3], c.used_compound) << c.what;
    EXPECT_EQ(S().Group_Compound[20], c.free_compound) << c.what;  // named "Free"
    EXPECT_EQ(S().Global_Strain, c.global_strain) << c.what;
    EXPECT_EQ(panel.IsGlobal(F::kStrain), c.strain_global_after) << c.what;
  }
}

}  // namespace
