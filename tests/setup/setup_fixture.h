#pragma once
// The setup window's controller without a window: a view and a main-window side that
// record what they are asked, a program folder with the plate layouts and a saved
// project, and scripted boxes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/program_folder.h"
#include "setup/setup_controller.h"
#include "storage/plate_layout.h"
#include "storage/project_folders.h"
#include "storage/setup_file.h"
#include "storage/shared_state.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

namespace setuptest {

// Each call as one word ("ShowMain", "Connect", "Organism 3"...), in order.
class FakeMain final : public setup::MainSide {
 public:
  void SetDetectionSummary(const std::string& line) override { Log("Summary " + line); }
  void SetSnrThreshold(const std::string& text) override { Log("Snr " + text); }
  void SelectOrganism(int16_t index) override { Log("Organism " + std::to_string(index)); }
  void SetDescription(const std::string& text) override { Log("Description " + text); }
  void ShowCalibrationTools(bool v) override {
    Log(std::string("CalibrationTools ") + (v ? "1" : "0"));
  }
  void ShowLightTools(bool v) override { Log(std::string("LightTools ") + (v ? "1" : "0")); }
  void SetLightEnabled(bool v) override { Log(std::string("LightEnabled ") + (v ? "1" : "0")); }
  void ShowTemperatureTools(bool v) override {
    Log(std::string("TemperatureTools ") + (v ? "1" : "0"));
  }
  void ShowMain() override { Log("ShowMain"); }
  void Connect() override { Log("Connect"); }
  void ShowStartWindow() override { Log("ShowStartWindow"); }

  std::vector<std::string> calls;

 private:
  void Log(std::string s) { calls.push_back(std::move(s)); }
};

class FakeView final : public setup::SetupView {
 public:
  void PrepareGroupList() override { Log("PrepareGroupList"); }
  void ShowAnnotationPanel() override { Log("ShowAnnotationPanel"); }
  void HideStationOptions() override { Log("HideStationOptions"); }
  void ResetPlateSelection() override { Log("ResetPlateSelection"); }
  void FillGroupSets() override { Log("FillGroupSets"); }
  void FillGroupsAndPlate() override { Log("FillGroupsAndPlate"); }
  void ClearAllGroups() override {
    Log("ClearAllGroups");
    auto& s = storage::Shared();
    s.Group.fill(-1);
    s.Group_Name.fill("Free");
  }
  void ArmPlateTimer() override { Log("ArmPlateTimer"); }
  void DisarmPlateTimer() override { Log("DisarmPlateTimer"); }
  void FocusSnrBox() override { Log("FocusSnrBox"); }
  std::string DescriptionText() const override { return description; }
  void HideWindow() override { Log("HideWindow"); }
  void Refresh() override {}

  int Count(const std::string& call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
  }

  std::string description;
  std::vector<std::string> calls;

 private:
  void Log(std::string s) { calls.push_back(std::move(s)); }
};

class ControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    storage::ResetSharedState();
    for (const char* layout : {"w96.dat", "w96u.dat", "w32_flytube.dat"}) {
      std::filesystem::copy_file(testsupport::SourceDir() / "data" / layout, folder / layout);
    }
  }
  void TearDown() override { storage::ResetSharedState(); }

  // Saves project `number` with `edit` applied to the defaults, then opens it as
  // start-up does (the shared state holds what the files hold).
  template <class Edit>
  void OpenProject(int number, const std::string& name, Edit edit) {
    auto& s = storage::Shared();
    const auto path = storage::ProjectFolderPath(folder.path(), number);
    std::filesystem::create_directories(path);
    s.Actual_Project_Number = static_cast<int16_t>(number);
    s.Project_Name = name;
    s.Plate_format = "w96";
    edit(s);
    ASSERT_TRUE(storage::SaveProjectSetup(path.string(), s.Actual_Project_Number, -1));
    storage::ResetSharedState();
    s.Actual_Project_Number = static_cast<int16_t>(number);
    s.Last_Project = static_cast<int16_t>(number);
    s.Project_Path = path.string();
    storage::LoadProjectSetup(s.Actual_Project_Number);
  }
  void OpenProject(int number, const std::string& name) {
    OpenProject(number, name, [](storage::SharedState&) {});
  }

  // The controller after its load.
  setup::SetupController& Loaded() {
    controller.Form_Load();
    return controller;
  }

  testsupport::TempProgramFolder folder;
  testsupport::ScriptedDialogs dialogs;
  FakeView view;
  FakeMain main;
  setup::SetupController controller{view, main};
};

}  // namespace setuptest
