#include "ui/window_place.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <QWindow>

namespace {

TEST(WindowPlace, BringToFrontRestoresShowsAndStaysOverItsWindow) {
  QWidget main;
  main.resize(400, 300);
  main.show();
  QWidget report;
  report.resize(200, 100);
  report.showMinimized();
  ui::BringToFront(report, &main);
  EXPECT_TRUE(report.isVisible());
  EXPECT_FALSE(report.isMinimized());
  ASSERT_NE(report.windowHandle(), nullptr);
  EXPECT_EQ(report.windowHandle()->transientParent(), main.windowHandle());
  EXPECT_EQ(ui::FrontWindow(), &report);

  // A hidden window is no window to be over: neither the link nor the front change.
  QWidget hidden;
  QWidget other;
  ui::BringToFront(other, &hidden);
  EXPECT_TRUE(other.isVisible());
  EXPECT_EQ(other.windowHandle()->transientParent(), nullptr);
  EXPECT_EQ(ui::FrontWindow(), &other);
  // A front window that goes hands the front back to the one before it; once none
  // is left, the active window (or none) is the front.
  other.hide();
  EXPECT_EQ(ui::FrontWindow(), &report);
  report.hide();
  main.hide();
  EXPECT_EQ(ui::FrontWindow(), QApplication::activeWindow());
}

TEST(WindowPlace, CentreOverPutsTheCentresTogether) {
  QWidget main;
  main.setGeometry(100, 50, 800, 600);
  QWidget about;
  about.resize(200, 100);
  ui::CentreOver(about, main);
  EXPECT_EQ(about.frameGeometry().center(), main.frameGeometry().center());
}

}  // namespace
