#pragma once
// The browser window over a program folder of recorded runs, with a recording
// launcher, a clock that stands still and any OK box accepted (and logged).
#include <QComboBox>
#include <QListWidget>
#include <string>
#include <type_traits>
#include <vector>

#include "browser_windows.h"
#include "offline_fixture.h"
#include "platform/clock.h"
#include "platform/launcher.h"

namespace offline_test {

class BrowserTest : public OfflineTest {
 protected:
  BrowserTest() {
    platform::SetLauncher(&launcher_);
    platform::SetClock(&clock_);
    dialogs_.AllowAnyOk();
  }
  ~BrowserTest() override {
    UnloadBrowserWindows();
    platform::SetLauncher(nullptr);
    platform::SetClock(nullptr);
  }

  offline::Frm_offline& W() { return ui::Default<offline::Frm_offline>(); }
  void Choose(int row) { W().Listpj->setCurrentRow(row, QItemSelectionModel::ClearAndSelect); }
  void DoubleClick(int row) {
    Choose(row);
    W().Listpj_DblClick();
  }
  int LineOf(const fs::path& folder) { return W().LineOfFolder(folder); }
  void DoubleClickFolder(const fs::path& folder) { DoubleClick(LineOf(folder)); }
  // Expands a project and loads one of its runs.
  void LoadRun(const fs::path& run) {
    if (LineOf(run) < 0) DoubleClickFolder(run.parent_path());
    DoubleClickFolder(run);
  }
  std::string LastBox() const { return dialogs_.log().empty() ? "" : dialogs_.log().back(); }
  // The texts of a list's or a combo box's entries.
  template <class List>
  static std::vector<std::string> Entries(const List* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i) {
      if constexpr (std::is_base_of_v<QComboBox, List>) {
        out.push_back(list->itemText(i).toStdString());
      } else {
        out.push_back(list->item(i)->text().toStdString());
      }
    }
    return out;
  }

  platform::RecordingLauncher launcher_;
  platform::ManualClock clock_{{2024, 5, 2, 14, 7, 31}};
};

}  // namespace offline_test
