// The setup window's load, its settings handlers and its exits, driven without a
// window.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "setup/setting_rules.h"
#include "setup_fixture.h"

namespace setuptest {
namespace {

using setup::Check;
using setup::List;
using setup::Text;

using Load = ControllerTest;

TEST_F(Load, StepsRunInOrderAndFillTheControls) {
  OpenProject(7, "Worms", [](storage::SharedState& s) {
    s.Aq_lapse = 45;
    s.Aq_mode = 2;
    s.Save_real = 0;
  });
  const auto& c = Loaded().controls();
  EXPECT_EQ(view.calls, (std::vector<std::string>{"PrepareGroupList", "ShowAnnotationPanel",
                                                  "HideStationOptions", "ResetPlateSelection",
                                                  "FillGroupSets", "FillGroupsAndPlate"}));
  EXPECT_EQ(c.txtprj.text, "7_Worms");
  EXPECT_EQ(c.Txtfolder.text, (folder / "p00007").string());
  EXPECT_EQ(c.Txtlapse.text, "45");
  EXPECT_EQ(c.Combo_aqmode.index, 2);
  EXPECT_EQ(c.Combo_aqmode.text, "2_Fast(0.31)");
  EXPECT_EQ(c.Combosavereal.text, "NO");
  EXPECT_EQ(c.Combowell.items, (std::vector<std::string>{"w32_flytube", "w96", "w96u"}));
  EXPECT_EQ(c.Combowell.text, "w96");
  EXPECT_FALSE(c.lbl_snr.enabled);
  EXPECT_FALSE(c.frm_project_visible);
  EXPECT_FALSE(c.Frame_advanced_visible);
  EXPECT_TRUE(dialogs.log().empty());
}

TEST_F(Load, ForcesMethodOneCalibrationAndCountsButKeepsStoredSnrAndMethod) {
  OpenProject(1, "Fish", [](storage::SharedState& s) {
    s.DSP_Method = 0;
    s.Menu1 = 0;
    s.Save_counts = 0;
    s.MnAt(1, 0) = 1;   // Zebrafish
    s.MnAt(1, 3) = 35;  // its box accepts 3.5: the load keeps it
  });
  const auto& c = Loaded().controls();
  const auto& s = storage::Shared();
  EXPECT_EQ(s.DSP_Method, 1);
  EXPECT_EQ(c.ComboDSP.index, 1);
  EXPECT_EQ(s.Menu1, 1);
  EXPECT_EQ(c.chkcalib.value, 1);
  EXPECT_FALSE(c.chkcalib.enabled);
  EXPECT_EQ(s.Save_counts, 1);
  EXPECT_EQ(c.Combosavecount.text, "YES");
  EXPECT_EQ(s.MnAt(1, 3), 35);
  EXPECT_EQ(c.lbl_snr.text, "3.5");
  EXPECT_EQ(c.Cmb_organism.index, 1);
  EXPECT_NE(std::find(main.calls.begin(), main.calls.end(), "CalibrationTools 1"),
            main.calls.end());
}

TEST_F(Load, StoredValuesTheOrganismRefusesTakeItsDefaults) {
  OpenProject(1, "Flies", [](storage::SharedState& s) {
    s.MnAt(1, 0) = 3;
    s.MnAt(1, 3) = 18;  // outside 0.5..0.9
    s.DSP_Method = 9;   // no such method
  });
  Loaded();
  const auto& s = storage::Shared();
  EXPECT_EQ(s.MnAt(1, 3), 8);
  EXPECT_EQ(s.DSP_Method, 3);
  EXPECT_EQ(controller.controls().lbl_snr.text, "0.8");
}

TEST_F(Load, ValuesPastTheListsSelectNothingAndStay) {
  OpenProject(1, "Odd", [](storage::SharedState& s) {
    s.Aq_mode = 9;
    s.Save_real = 4;
    s.MnAt(1, 0) = 8;
    s.MnAt(1, 3) = 0;
    s.Aq_lapse = 0;
  });
  const auto& c = Loaded().controls();
  const auto& s = storage::Shared();
  EXPECT_EQ(c.Combo_aqmode.index, -1);
  EXPECT_EQ(s.Aq_mode, 9);
  EXPECT_EQ(c.Combosavereal.index, -1);
  EXPECT_EQ(s.Save_real, 4);
  EXPECT_EQ(c.Cmb_organism.index, -1);
  EXPECT_EQ(s.MnAt(1, 0), 8);
  EXPECT_EQ(s.MnAt(1, 3), 0);
  // A lapse of 0 minutes runs the box's rule.
  EXPECT_EQ(c.Txtlapse.text, "2");
  EXPECT_EQ(s.Aq_lapse, 2);
  // Both exits go on: nothing is selected in the main window's organism list.
  controller.Cmdoffline_Click();
  EXPECT_EQ(main.calls.back(), "ShowStartWindow");
  EXPECT_EQ(std::count(main.calls.begin(), main.calls.end(), "Organism 8"), 0);
}

TEST_F(Load, PlateBoxShowsTheFormatEvenWithoutItsFile) {
  std::filesystem::remove(folder / "w32_flytube.dat");
  testsupport::WriteBytes(folder / "w24.dat", "");
  OpenProject(1, "Wide");
  storage::Shared().Plate_format = "w24";
  const auto& c = Loaded().controls();
  EXPECT_EQ(c.Combowell.items, (std::vector<std::string>{"w96", "w96u"}));
  EXPECT_EQ(c.Combowell.text, "w24");
  EXPECT_EQ(c.Combowell.index, -1);
}

TEST_F(Load, LoadsTheProjectOnlyWhenNoneIsOpen) {
  OpenProject(3, "Stored");
  auto& s = storage::Shared();
  // A project already open is not read again: the value in memory stays.
  s.Aq_lapse = 77;
  Loaded();
  EXPECT_EQ(s.Aq_lapse, 77);
  // Before start-up has opened one, the load opens the configured project.
  storage::ResetSharedState();
  s.Actual_Project_Number = 3;
  setup::SetupController fresh(view, main);
  fresh.Form_Load();
  EXPECT_EQ(s.Project_Path, (folder / "p00003").string());
  EXPECT_EQ(s.Project_Name, "Stored");
  EXPECT_EQ(fresh.controls().txtprj.text, "3_Stored");
}

using Handlers = ControllerTest;

TEST_F(Handlers, ChoosingAnOrganismAppliesItsDefaults) {
  OpenProject(1, "Worms");
  Loaded();
  controller.txt_snr_DblClick();
  EXPECT_TRUE(controller.controls().lbl_snr.enabled);
  controller.UserText(Text::lbl_snr, "3.5");
  controller.lbl_snr_LostFocus();
  EXPECT_EQ(storage::Shared().MnAt(1, 3), 35);
  controller.UserSelect(List::Cmb_organism, 1);
  EXPECT_EQ(controller.controls().lbl_snr.text, "2.8");
  EXPECT_EQ(storage::Shared().MnAt(1, 3), 28);
  EXPECT_EQ(storage::Shared().MnAt(1, 0), 1);
  EXPECT_EQ(storage::Shared().DSP_Method, 1);
  controller.UserSelect(List::Cmb_organism, 2);
  EXPECT_EQ(storage::Shared().DSP_Method, 2);
  EXPECT_EQ(controller.controls().ComboDSP.index, 2);
}

TEST_F(Handlers, RefusedSnrShowsItsDefaultAndTakesTheFocusBack) {
  OpenProject(1, "Flies", [](storage::SharedState& s) { s.MnAt(1, 0) = 3; });
  Loaded();
  dialogs.ExpectOk();
  controller.UserText(Text::lbl_snr, "1.0");
  controller.lbl_snr_LostFocus();
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Enter a valid SNR: 0.5 to 0.9"});
  EXPECT_EQ(controller.controls().lbl_snr.text, "0.8");
  EXPECT_EQ(storage::Shared().MnAt(1, 3), 8);
  EXPECT_EQ(view.calls.back(), "FocusSnrBox");
}

TEST_F(Handlers, MethodZeroIsRefusedAndCountsStaySaved) {
  OpenProject(1, "Worms");
  Loaded();
  dialogs.ExpectOk();
  controller.UserSelect(List::ComboDSP, 0);
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Mode=0 not available for this version"});
  EXPECT_EQ(controller.controls().ComboDSP.index, 1);
  EXPECT_EQ(storage::Shared().DSP_Method, 1);
  controller.UserSelect(List::Combosavecount, 0);
  EXPECT_EQ(controller.controls().Combosavecount.text, "YES");
  EXPECT_EQ(storage::Shared().Save_counts, 1);
  controller.UserSelect(List::Combosavereal, 0);
  EXPECT_EQ(storage::Shared().Save_real, 0);
}

TEST_F(Handlers, LapseRuleRunsOnEveryKeystroke) {
  OpenProject(1, "Worms");
  Loaded();
  controller.UserText(Text::Txtlapse, "");
  EXPECT_EQ(controller.controls().Txtlapse.text, "2");
  controller.UserText(Text::Txtlapse, "99999999");
  EXPECT_EQ(controller.controls().Txtlapse.text, "32000");
  EXPECT_EQ(storage::Shared().Aq_lapse, 32000);
  // The buffer's rule waits for the box to be left.
  controller.UserText(Text::Txtbuffer, "50");
  EXPECT_EQ(storage::Shared().RT_Buffer, 500);
  controller.Txtbuffer_LostFocus();
  EXPECT_EQ(controller.controls().Txtbuffer.text, "200");
  EXPECT_EQ(storage::Shared().RT_Buffer, 200);
}

TEST_F(Handlers, ToolBoxesDriveTheMainWindowsFrames) {
  OpenProject(1, "Worms", [](storage::SharedState& s) { s.Menu2 = 1; });
  Loaded();
  // Showing the light flag runs the box's handler: the main window's light box, and
  // with it the light schedule, follow.
  EXPECT_EQ(std::count(main.calls.begin(), main.calls.end(), "LightTools 1"), 1);
  EXPECT_EQ(std::count(main.calls.begin(), main.calls.end(), "LightEnabled 1"), 1);
  main.calls.clear();
  controller.UserCheck(Check::chklight, 0);
  controller.UserCheck(Check::chktemp, 1);
  // The calibration box is disabled: the calibration tool stays on.
  controller.UserCheck(Check::chkcalib, 0);
  EXPECT_EQ(main.calls,
            (std::vector<std::string>{"LightTools 0", "LightEnabled 0", "TemperatureTools 1"}));
  EXPECT_EQ(storage::Shared().Menu2, 0);
  EXPECT_EQ(storage::Shared().Menu3, 1);
  EXPECT_EQ(storage::Shared().Menu1, 1);
}

TEST_F(Handlers, WhileARunExistsTheSettingsItReadsStay) {
  OpenProject(1, "Worms", [](storage::SharedState& s) {
    s.Menu2 = 1;
    s.Save_real = 0;
  });
  auto& s = storage::Shared();
  s.Acq_State = 2;
  Loaded();
  // A load during a run leaves the run's light schedule alone.
  EXPECT_EQ(std::count(main.calls.begin(), main.calls.end(), "LightEnabled 1"), 0);
  controller.txt_snr_DblClick();
  const setup::SetupControls before = controller.controls();
  // What the boxes show, and the settings as the project file holds them.
  const auto shown = [](const setup::SetupControls& c) {
    return std::tuple(c.Txtlapse.text, c.lbl_snr.text, c.Txtsample.text, c.Txt_dspinterval.text,
                      c.Txtbuffer.text, c.Cmb_organism.index, c.ComboDSP.index,
                      c.Combosavereal.index, c.Combo_aqmode.index, c.Combo_aqmode.text);
  };
  const std::string settings = storage::SetupFileBytes();
  const std::function<void()> edits[] = {
      [&] { controller.UserText(Text::Txtlapse, "45"); },
      [&] { controller.UserText(Text::lbl_snr, "2.5"); },
      [&] { controller.UserSelect(List::Cmb_organism, 1); },
      [&] { controller.UserSelect(List::ComboDSP, 2); },
      [&] { controller.UserSelect(List::Combosavereal, 1); },
      [&] { controller.UserSelect(List::Combo_aqmode, 3); },
      // An entry's name typed into the list, the typing ended: refused as its pick.
      [&] {
        controller.UserEditText(List::Combo_aqmode, "3_Fast(32.63)");
        controller.TypedTextDone(List::Combo_aqmode);
      },
      [&] { controller.UserText(Text::Txtsample, "1234"); },
      [&] { controller.UserText(Text::Txt_dspinterval, "1234"); },
      [&] { controller.UserText(Text::Txtbuffer, "900"); },
  };
  for (const auto& edit : edits) {
    dialogs.ExpectOk();
    edit();
  }
  EXPECT_EQ(dialogs.log(), std::vector<std::string>(std::size(edits), storage::kRunningRefusal));
  // The same value again is no edit.
  controller.UserText(Text::Txtlapse, before.Txtlapse.text);
  controller.UserSelect(List::Cmb_organism, before.Cmb_organism.index);
  EXPECT_EQ(dialogs.log().size(), std::size(edits));

  EXPECT_EQ(shown(controller.controls()), shown(before));
  EXPECT_EQ(storage::SetupFileBytes(), settings);
  EXPECT_EQ(s.Save_real, 0);
}

using Exits = ControllerTest;

TEST_F(Exits, ContinueSavesTheProjectNotTheConfigAndConnectsOnlyWhenNeeded) {
  OpenProject(2, "Flies", [](storage::SharedState& s) {
    s.MnAt(1, 0) = 3;
    s.DSP_Method = 3;
  });
  testsupport::WriteBytes(folder / "config.dat", "untouched");
  Loaded();
  auto& s = storage::Shared();
  s.MnAt(1, 3) = 0;
  view.description = "dose 3";
  main.calls.clear();
  std::filesystem::remove(folder / "p00002" / "status.dat");
  controller.Command_main_Click();
  EXPECT_EQ(main.calls, (std::vector<std::string>{
                            "ShowMain", "Summary Detection Mode3, Drosophila [snr 0.8]", "Snr 0.8",
                            "Organism 3", "Description dose 3", "Connect", "ShowMain"}));
  EXPECT_EQ(view.calls.back(), "HideWindow");
  EXPECT_EQ(s.MnAt(1, 3), 8);
  for (const char* f :
       {"setup.dat", "setup.bak", "status.dat", "threshld.dat", "groups.dat", "chgroup.dat"}) {
    EXPECT_TRUE(std::filesystem::exists(folder / "p00002" / f)) << f;
  }
  EXPECT_EQ(testsupport::ReadBytes(folder / "config.dat"), "untouched");

  s.Connected = true;
  main.calls.clear();
  controller.Command_main_Click();
  EXPECT_EQ(std::count(main.calls.begin(), main.calls.end(), "Connect"), 0);
}

TEST_F(Exits, BackWritesTheSummaryWithoutDefaultSnrAndSavesNothing) {
  OpenProject(1, "Worms");
  Loaded();
  storage::Shared().MnAt(1, 3) = 0;
  std::filesystem::remove(folder / "p00001" / "setup.dat");
  main.calls.clear();
  controller.Cmdoffline_Click();
  EXPECT_EQ(main.calls, (std::vector<std::string>{"Summary Detection Mode1, C.elegans [snr 0.0]",
                                                  "Snr 0", "Organism 0", "ShowStartWindow"}));
  EXPECT_EQ(view.calls.back(), "HideWindow");
  EXPECT_FALSE(std::filesystem::exists(folder / "p00001" / "setup.dat"));
}

TEST_F(Exits, ClosingShowsTheStartWindowThenCopiesTheDescription) {
  OpenProject(1, "Worms");
  Loaded();
  view.description = "notes";
  main.calls.clear();
  controller.Form_Unload();
  EXPECT_EQ(main.calls, (std::vector<std::string>{"ShowStartWindow", "Description notes"}));
}

}  // namespace
}  // namespace setuptest
