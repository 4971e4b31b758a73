#include "ui/qt_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <optional>

#include "ui/window_place.h"

namespace {

struct Seen {
  QString title = "unset";
  QString text;
  QWidget* parent = nullptr;
};

// Acts on the box once it is up: records what it shows, then `act` closes it.
void WhenBoxOpens(Seen& seen, std::function<void(QWidget*)> act) {
  auto* timer = new QTimer(QApplication::instance());
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, &seen, act] {
    QWidget* box = QApplication::activeModalWidget();
    if (!box) return;
    timer->stop();
    timer->deleteLater();
    seen.title = box->windowTitle();
    seen.parent = box->parentWidget();
    if (auto* m = qobject_cast<QMessageBox*>(box)) seen.text = m->text();
    if (auto* i = qobject_cast<QInputDialog*>(box)) seen.text = i->labelText();
    act(box);
  });
  timer->start();
}

// Closes a message box with one of its buttons.
std::function<void(QWidget*)> Press(QMessageBox::StandardButton which) {
  return [which](QWidget* box) { qobject_cast<QMessageBox*>(box)->button(which)->click(); };
}

// Answers an input box with `text`, or cancels it.
std::function<void(QWidget*)> Type(std::optional<QString> text, QString* offered = nullptr) {
  return [text, offered](QWidget* box) {
    auto* in = qobject_cast<QInputDialog*>(box);
    if (offered) *offered = in->textValue();
    if (!text) return in->reject();
    in->setTextValue(*text);
    in->accept();
  };
}

TEST(QtDialogs, BoxesShowTheTextWithoutATitleAndGiveTheAnswer) {
  ui::QtDialogs dialogs;
  Seen seen;
  WhenBoxOpens(seen, [](QWidget* box) {
    EXPECT_EQ(qobject_cast<QMessageBox*>(box)->buttons().size(), 1);
    Press(QMessageBox::Ok)(box);
  });
  dialogs.MsgBox("Acquisition finished");
  EXPECT_EQ(seen.title, "");
  EXPECT_EQ(seen.text, "Acquisition finished");

  seen = {};
  WhenBoxOpens(seen, Press(QMessageBox::Yes));
  EXPECT_TRUE(dialogs.AskYesNo("Sure to Quit?"));
  EXPECT_EQ(seen.title, "");
  EXPECT_EQ(seen.text, "Sure to Quit?");
  WhenBoxOpens(seen, Press(QMessageBox::No));
  EXPECT_FALSE(dialogs.AskYesNo("Sure to Quit?"));
  WhenBoxOpens(seen, [](QWidget* box) { qobject_cast<QMessageBox*>(box)->reject(); });
  EXPECT_FALSE(dialogs.AskYesNo("Sure to Quit?"));  // closing the box is No
}

TEST(QtDialogs, InputBoxGivesTheTypedTextOrNothingOnCancel) {
  ui::QtDialogs dialogs;
  Seen seen;
  QString offered;
  WhenBoxOpens(seen, Type("Mutant line 3", &offered));
  EXPECT_EQ(dialogs.InputBox("Rename Project: Entre New Name", "Default"), "Mutant line 3");
  EXPECT_EQ(seen.text, "Rename Project: Entre New Name");
  EXPECT_EQ(seen.title, "");
  EXPECT_EQ(offered, "Default");
  WhenBoxOpens(seen, Type(""));
  EXPECT_EQ(dialogs.InputBox("Port?", "4"), "");  // an empty OK is not a cancel
  WhenBoxOpens(seen, Type(std::nullopt));
  EXPECT_EQ(dialogs.InputBox("Port?", "4"), std::nullopt);
}

// A box with a title of its own shows it, and is wide enough for the title bar to show
// it whole, however short its text.
TEST(QtDialogs, TitledBoxesAreWideEnoughForTheirTitle) {
  ui::QtDialogs dialogs;
  struct Row {
    bool input;
    const char* text;
    const char* title;
  };
  for (const Row& r : {Row{false, "Using Groups Selected in Experiment: 1205_0900", "<BASAL CALCULATION>"},
                       Row{true, "Enter the New Project Name", "Saving <32000> with a new name"},
                       Row{true, "Enter the New Project Name", "Saving <1_Worms on agar, day 2> with a new name"},
                       Row{true, "Name?", "New Acquisition"},
                       Row{true, "Port?", "Basal Calculation"}}) {
    Seen seen;
    int width = 0;
    WhenBoxOpens(seen, [&](QWidget* box) {
      width = box->width();
      if (r.input) return Type("x")(box);
      Press(QMessageBox::Ok)(box);
    });
    if (r.input)
      dialogs.InputBoxTitled(r.text, r.title, "");
    else
      dialogs.MsgBoxTitled(r.text, r.title);
    EXPECT_EQ(seen.title, r.title);
    EXPECT_EQ(seen.text, r.text);
    EXPECT_GE(width, ui::TitleBarWidth(r.title)) << r.title;
    EXPECT_GT(ui::TitleBarWidth(r.title), QFontMetrics(QApplication::font()).horizontalAdvance(r.title));
  }
}

TEST(QtDialogs, BoxesOpenOverTheFrontWindow) {
  ui::QtDialogs dialogs;
  QWidget main;
  main.show();
  QWidget report;
  ui::BringToFront(report, &main);
  Seen seen;
  WhenBoxOpens(seen, Press(QMessageBox::Ok));
  dialogs.MsgBox("Acquisition finished");
  EXPECT_EQ(seen.parent, &report);
  WhenBoxOpens(seen, Type("x"));
  dialogs.InputBox("Port?", "4");
  EXPECT_EQ(seen.parent, &report);
}

}  // namespace
