// The plate-format change: a pick arms the timer, the timer runs the change once, and
// the change replaces format, layout and groups only when the new layout loads.
#include <gtest/gtest.h>

#include "setup_fixture.h"

namespace setuptest {
namespace {

namespace fs = std::filesystem;

class PlateChange : public ControllerTest {
 protected:
  void SetUp() override {
    ControllerTest::SetUp();
    OpenProject(1, "Worms", [](storage::SharedState& s) {
      s.Group[10] = 2;
      s.Group_Name[2] = "Control";
    });
    Loaded();
    before_ = storage::Shared();
  }

  // Picks the format and lets the timer fire.
  void Pick(const std::string& code) {
    const auto& items = controller.controls().Combowell.items;
    const auto it = std::find(items.begin(), items.end(), code);
    ASSERT_NE(it, items.end()) << code;
    controller.Combowell_Click(static_cast<int>(it - items.begin()));
    controller.Timer1_Timer();
  }

  void ExpectUnchanged() {
    const auto& s = storage::Shared();
    EXPECT_EQ(s.Plate_format, "w96");
    EXPECT_EQ(s.Plate_Rows, before_.Plate_Rows);
    EXPECT_EQ(s.Channel_Well, before_.Channel_Well);
    EXPECT_EQ(s.Group, before_.Group);
    EXPECT_EQ(s.Group_Name[2], "Control");
    EXPECT_EQ(view.Count("ClearAllGroups"), 0);
    EXPECT_EQ(view.Count("FillGroupsAndPlate"), 1);
  }

  storage::SharedState before_;
};

TEST_F(PlateChange, AFileRemovedSinceTheListWasFilledIsASelectionError) {
  fs::remove(folder / "w96u.dat");
  dialogs.ExpectOk();
  Pick("w96u");
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Selection Error"});
  EXPECT_EQ(controller.controls().Combowell.text, "w96u");
  ExpectUnchanged();
}

TEST_F(PlateChange, NoRestoresTheBoxAndKeepsEverything) {
  dialogs.AnswerNo();
  Pick("w32_flytube");
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Load New Plate configuration?"});
  EXPECT_EQ(controller.controls().Combowell.text, "w96");
  ExpectUnchanged();
}

TEST_F(PlateChange, YesOnW96uClearsGroupsShowsTheAdapterAndReloads) {
  dialogs.AnswerYes().ExpectOk();
  Pick("w96u");
  EXPECT_EQ(dialogs.log(),
            (std::vector<std::string>{
                "Load New Plate configuration?",
                "96 Wells U shape bottom [1microbeam/well]\r\nUSE 'W96U' plate Adapter"}));
  const auto& s = storage::Shared();
  EXPECT_EQ(s.Plate_format, "w96u");
  EXPECT_EQ(s.Group[10], -1);
  EXPECT_EQ(s.Group_Name[2], "Free");
  EXPECT_EQ(view.Count("ClearAllGroups"), 1);
  EXPECT_EQ(view.Count("FillGroupsAndPlate"), 2);
  EXPECT_EQ(controller.controls().Combowell.text, "w96u");
  // Channels that the new file does not list are off the plate.
  const auto layout = storage::ReadPlateLayout("w96u");
  ASSERT_TRUE(layout);
  EXPECT_EQ(s.Channel_Well, layout->channel_well);
}

TEST_F(PlateChange, AMalformedLayoutLeavesFormatLayoutAndGroups) {
  testsupport::WriteBytes(folder / "w96u.dat", "\"Plate\",\"x\"\r\n8,abc\r\n");
  dialogs.AnswerYes().ExpectOk();
  Pick("w96u");
  ASSERT_EQ(dialogs.log().size(), 2u);
  EXPECT_EQ(dialogs.log()[1].rfind(
                "Plate configuration not loaded, nothing changed: Error [\\w96u.dat]", 0),
            0u)
      << dialogs.log()[1];
  EXPECT_EQ(controller.controls().Combowell.text, "w96");
  ExpectUnchanged();
}

TEST_F(PlateChange, OneChangePerConfirmedPick) {
  // Two picks before the timer fires: the last one counts, once.
  controller.Combowell_Click(0);
  controller.Combowell_Click(1);
  dialogs.AnswerYes();
  controller.Timer1_Timer();
  controller.Timer1_Timer();
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Load New Plate configuration?"});
  EXPECT_EQ(view.Count("ClearAllGroups"), 1);
  EXPECT_EQ(view.Count("DisarmPlateTimer"), 2);
  // Picking the current format again asks again.
  dialogs.AnswerYes();
  Pick("w96");
  EXPECT_EQ(view.Count("ClearAllGroups"), 2);
}

TEST_F(PlateChange, RefusedWhileARunExists) {
  storage::Shared().Acq_State = 1;
  dialogs.ExpectOk();
  Pick("w96u");
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{storage::kRunningRefusal});
  EXPECT_EQ(controller.controls().Combowell.text, "w96");
  storage::Shared().Acq_State = 0;
  ExpectUnchanged();
}

}  // namespace
}  // namespace setuptest
