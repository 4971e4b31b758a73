#pragma once
// Controls the report window and the report settings dialog share: captions, the
// bin list, and the "Group Statistics:" box with its five columns.
#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QRect;
class QWidget;

namespace reports {

inline constexpr int kControlHeight = 22;
inline constexpr int kOptionPitch = 21;  // between the buttons of one frame

QLabel* Caption(const char* text, QWidget* parent, int x, int y, int width);

// "Group Statistics:" with "Average", "Median", "Std Error", "Std Dev" and "N"; the
// first two are in every report, so they stay ticked.
std::array<QCheckBox*, 5> StatisticsBox(QWidget* parent, const QRect& geometry);
// Ticks boxes 2, 3 and 4 from the stored stdError, stdDev and n.
void ShowStoredStatistics(const std::array<QCheckBox*, 5>& boxes);

// The offered bin sizes, then the stored bin appended and shown.
void FillBinSizes(QComboBox& box);
void AppendStoredBin(QComboBox& box);

}  // namespace reports
