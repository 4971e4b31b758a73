#include "ui/form.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "ui/caption_label.h"
#include "ui/events.h"

namespace {

void RunDeferredDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

struct Counts {
  int created = 0;
  int loads = 0;
  int activations = 0;
  int unloads = 0;
};

class Frm_probe : public ui::Form {
 public:
  static inline Counts counts;
  Frm_probe() : serial(++counts.created) {}
  void Form_Load() override {
    ++counts.loads;
    // A load that touches its own window by name reaches this same instance.
    self_seen_in_load = &ui::Default<Frm_probe>();
    loaded_serial = serial;
  }
  void Form_Activate() override { ++counts.activations; }
  void Form_Unload() override {
    ++counts.unloads;
    still_registered_in_unload = ui::IsLoaded<Frm_probe>();
  }
  const int serial;
  int loaded_serial = 0;
  Frm_probe* self_seen_in_load = nullptr;
  bool still_registered_in_unload = false;
};

class DefaultInstances : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::Unload<Frm_probe>();
    RunDeferredDeletes();
    Frm_probe::counts = {};
  }
  void TearDown() override {
    ui::Unload<Frm_probe>();
    RunDeferredDeletes();
  }
};

TEST_F(DefaultInstances, AnUnloadedFormComesBackAsANewInstanceLoadedAgain) {
  EXPECT_FALSE(ui::IsLoaded<Frm_probe>());
  Frm_probe& first = ui::Default<Frm_probe>();
  EXPECT_TRUE(ui::IsLoaded<Frm_probe>());
  EXPECT_EQ(Frm_probe::counts.loads, 1);
  EXPECT_EQ(first.self_seen_in_load, &first);
  EXPECT_EQ(&ui::Default<Frm_probe>(), &first);  // later uses: same window, no new load
  EXPECT_EQ(Frm_probe::counts.loads, 1);
  const int first_serial = first.serial;
  QPointer<Frm_probe> watch(&first);

  ui::Unload<Frm_probe>();
  EXPECT_EQ(Frm_probe::counts.unloads, 1);
  EXPECT_TRUE(watch->still_registered_in_unload);
  EXPECT_FALSE(ui::IsLoaded<Frm_probe>());
  ui::Unload<Frm_probe>();  // a second unload does nothing
  EXPECT_EQ(Frm_probe::counts.unloads, 1);
  RunDeferredDeletes();
  EXPECT_TRUE(watch.isNull());

  Frm_probe& second = ui::Default<Frm_probe>();
  EXPECT_NE(second.serial, first_serial);
  EXPECT_EQ(second.loaded_serial, second.serial);
  EXPECT_EQ(Frm_probe::counts.created, 2);
  EXPECT_EQ(Frm_probe::counts.loads, 2);
}

TEST_F(DefaultInstances, ShowRunsActivateEachTimeAndClosingUnloads) {
  Frm_probe& form = ui::Default<Frm_probe>();
  EXPECT_EQ(Frm_probe::counts.activations, 0);  // loading alone does not activate
  form.Show();
  form.Show();
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(Frm_probe::counts.activations, 2);
  form.hide();
  ui::DoEvents();
  EXPECT_EQ(Frm_probe::counts.activations, 2);  // the window system's events do not count

  QPointer<Frm_probe> watch(&form);
  form.close();
  EXPECT_EQ(Frm_probe::counts.unloads, 1);
  EXPECT_FALSE(ui::IsLoaded<Frm_probe>());
  RunDeferredDeletes();
  EXPECT_TRUE(watch.isNull());

  // A form may unload itself while it is still on the stack of its own handler.
  Frm_probe& again = ui::Default<Frm_probe>();
  auto* exit_button = new QPushButton(&again);
  QObject::connect(exit_button, &QPushButton::clicked, &again, [&again] { again.Unload(); });
  exit_button->click();
  EXPECT_FALSE(ui::IsLoaded<Frm_probe>());
  RunDeferredDeletes();
  EXPECT_EQ(Frm_probe::counts.unloads, 2);
}

// A handler of the form lets the window breathe while it works; the form closed
// meanwhile is unloaded then, but deleted only after the handler has returned.
TEST_F(DefaultInstances, AFormClosedWhileItsHandlerLetsEventsRunOutlivesTheHandler) {
  QPointer<Frm_probe> form(&ui::Default<Frm_probe>());
  form->Show();
  bool alive_after_events = false;
  bool alive_after_second_events = false;
  QEventLoop loop;
  QTimer::singleShot(0, form, [&] {  // the handler, run from the event loop
    QTimer::singleShot(0, [&] { form->close(); });  // the close box, while it works
    for (int i = 0; i < 20 && ui::IsLoaded<Frm_probe>(); ++i) ui::DoEvents();
    EXPECT_FALSE(ui::IsLoaded<Frm_probe>());
    alive_after_events = !form.isNull();
    ui::DoEvents();  // the handler still has work, and lets events run again
    alive_after_second_events = !form.isNull();
    loop.quit();
  });
  loop.exec();
  EXPECT_TRUE(alive_after_events);
  EXPECT_TRUE(alive_after_second_events);
  EXPECT_EQ(Frm_probe::counts.unloads, 1);
  for (int i = 0; i < 20 && !form.isNull(); ++i) QCoreApplication::processEvents();
  RunDeferredDeletes();
  EXPECT_TRUE(form.isNull());
}

TEST(CaptionLabel, SignalsOnlyARealChange) {
  ui::CaptionLabel label;
  int changes = 0;
  QObject::connect(&label, &ui::CaptionLabel::Change, [&changes] { ++changes; });
  for (const char* caption : {"7", "7", "8", ""}) label.SetCaption(caption);
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(label.Caption(), "");
}

TEST(DoEvents, RunsPendingEventsButNotInsideItself) {
  int outer_runs = 0;
  bool nested_result = true;
  QTimer::singleShot(0, [&] {
    ++outer_runs;
    nested_result = ui::DoEvents();
  });
  // Zero-time timers need the event loop twice before they fire; allow a few passes.
  for (int i = 0; i < 20 && outer_runs == 0; ++i) EXPECT_TRUE(ui::DoEvents());
  EXPECT_EQ(outer_runs, 1);
  EXPECT_FALSE(nested_result);
}

TEST(Twips, PixelsRoundHalfToEvenAndANegativeSizeIsZero) {
  EXPECT_EQ(ui::TwipsToPixels(22.5), 2);  // 1.5 pixels
  EXPECT_EQ(ui::TwipsToPixels(7.5), 0);
  QWidget w;
  ui::MoveTwips(w, 150, 300, 1200, -450);
  EXPECT_EQ(w.geometry(), QRect(10, 20, 80, 0));
  EXPECT_EQ(ui::WidthTwips(w), 1200);
}

}  // namespace
