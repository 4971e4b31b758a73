#pragma once
// Small hand-made plates and run buffers for the plot and selector tests, and ways
// to pick operations out of a drawing plan.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "mainwindow/plot_geometry.h"
#include "storage/plate_layout.h"
#include "storage/shared_state.h"

namespace plots_test {

using mainwindow::DrawOp;
using mainwindow::DrawPlan;
using mainwindow::OpKind;

using Totals = std::array<int16_t, storage::kTableSize>;

// The built-in 96-well plate: 8 rows x 12 columns; "w96f" has two beams a well
// (well 17 = B3 is channels 66 and 82), "w96u" one.
inline void UsePlate96(bool two_beams = true) {
  storage::ApplyPlateLayout(storage::BuiltInPlateLayout(two_beams ? "w96f" : "w96u"));
}

// Every channel free, then the given channels in group g.
inline void PutInGroup(std::initializer_list<int> channels, int g) {
  for (int ch : channels)
    storage::Shared().Group[static_cast<std::size_t>(ch)] = static_cast<int16_t>(g);
}
inline void FreeAllChannels() { storage::Shared().Group.fill(-1); }

inline std::vector<DrawOp> OfKind(const DrawPlan& plan, OpKind kind) {
  std::vector<DrawOp> out;
  for (const DrawOp& op : plan.Ops())
    if (op.kind == kind) out.push_back(op);
  return out;
}

inline std::vector<std::string> Texts(const DrawPlan& plan) {
  std::vector<std::string> out;
  for (const DrawOp& op : plan.Ops())
    if (op.kind == OpKind::kText) out.push_back(op.text);
  return out;
}

inline const DrawOp* FindText(const DrawPlan& plan, const std::string& text) {
  for (const DrawOp& op : plan.Ops())
    if (op.kind == OpKind::kText && op.text == text) return &op;
  return nullptr;
}

inline const DrawOp* FindOp(const DrawPlan& plan, OpKind kind, mainwindow::PlotColor color,
                            double x1, double y1, double x2, double y2) {
  for (const DrawOp& op : plan.Ops()) {
    if (op.kind == kind && op.color == color && std::abs(op.x1 - x1) < 1e-9 &&
        std::abs(op.y1 - y1) < 1e-9 && std::abs(op.x2 - x2) < 1e-9 && std::abs(op.y2 - y2) < 1e-9)
      return &op;
  }
  return nullptr;
}

class PlotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    storage::ResetSharedState();
    UsePlate96();
    FreeAllChannels();
  }
  void TearDown() override { storage::ResetSharedState(); }

  mainwindow::ActivityData Data() {
    mainwindow::ActivityData d;
    d.shared = &storage::Shared();
    d.groups = mainwindow::GroupsOfStation(storage::Shared(), 0);
    d.count_total = &totals;
    d.histo = &histo;
    return d;
  }

  Totals totals{};
  // [class * 385 + channel], classes 0..50 as the run keeps them.
  std::vector<int32_t> histo = std::vector<int32_t>(std::size_t(51) * storage::kTableSize, 0);
};

}  // namespace plots_test
