#include "reports/forms/report_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

#include "reports/report_window_rules.h"
#include "storage/shared_state.h"

namespace reports {

QLabel* Caption(const char* text, QWidget* parent, int x, int y, int width) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(x, y, width, kControlHeight);
  return label;
}

std::array<QCheckBox*, 5> StatisticsBox(QWidget* parent, const QRect& geometry) {
  auto* frame = new QGroupBox("Group Statistics:", parent);
  frame->setGeometry(geometry);
  const char* columns[5] = {"Average", "Median", "Std Error", "Std Dev", "\"N\""};
  std::array<QCheckBox*, 5> boxes{};
  for (int i = 0; i < 5; ++i) {
    boxes[i] = new QCheckBox(columns[i], frame);
    boxes[i]->setGeometry(8, 18 + i * kOptionPitch, geometry.width() - 12, kControlHeight);
  }
  for (int i = 0; i < 2; ++i) {
    boxes[i]->setChecked(true);
    boxes[i]->setEnabled(false);
  }
  return boxes;
}

void ShowStoredStatistics(const std::array<QCheckBox*, 5>& boxes) {
  const auto& s = storage::Shared();
  boxes[2]->setChecked(s.stdError == 1);
  boxes[3]->setChecked(s.stdDev == 1);
  boxes[4]->setChecked(s.n == 1);
}

void FillBinSizes(QComboBox& box) {
  box.clear();
  for (const char* bin : kBinSizes) box.addItem(bin);
  box.setVisible(true);
}

void AppendStoredBin(QComboBox& box) {
  box.addItem(QString::number(storage::Shared().Bin));
  box.setCurrentIndex(box.count() - 1);
}

}  // namespace reports
