#include "ui/qt_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

namespace {

struct Seen {
  QString title = "unset";
  QString text;
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
    if (auto* m = qobject_cast<QMessageBox*>(box)) seen.text = m->text();
    if (auto* i = qobject_cast<QInputDialog*>(box)) seen.text = i->labelText();
    act(box);
  });
  timer->start();
}

TEST(QtDialogs, OkBoxShowsTheTextWithoutATitle) {
  ui::QtDialogs dialogs;
  Seen seen;
  WhenBoxOpens(seen, [](QWidget* box) {
    auto* m = qobject_cast<QMessageBox*>(box);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->buttons().size(), 1);
    m->button(QMessageBox::Ok)->click();
  });
  dialogs.MsgBox("Acquisition finished");
  EXPECT_EQ(seen.title, "");
  EXPECT_EQ(seen.text, "Acquisition finished");
}

TEST(QtDialogs, YesNoAnswersWhatWasClicked) {
  ui::QtDialogs dialogs;
  Seen seen;
  WhenBoxOpens(seen, [](QWidget* box) {
    qobject_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
  });
  EXPECT_TRUE(dialogs.AskYesNo("Sure to Quit?"));
  EXPECT_EQ(seen.text, "Sure to Quit?");
  EXPECT_EQ(seen.title, "");

  WhenBoxOpens(seen, [](QWidget* box) {
    qobject_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
  });
  EXPECT_FALSE(dialogs.AskYesNo("Sure to Quit?"));

  WhenBoxOpens(seen, [](QWidget* box) { qobject_cast<QMessageBox*>(box)->reject(); });
  EXPECT_FALSE(dialogs.AskYesNo("Sure to Quit?"));  // closing the box is No
}

TEST(QtDialogs, InputBoxGivesTheTypedTextOrNothingOnCancel) {
  ui::QtDialogs dialogs;
  Seen seen;
  QString offered;
  WhenBoxOpens(seen, [&offered](QWidget* box) {
    auto* in = qobject_cast<QInputDialog*>(box);
    offered = in->textValue();
    in->setTextValue("Mutant line 3");
    in->accept();
  });
  EXPECT_EQ(dialogs.InputBox("Rename Project: Entre New Name", "Default"), "Mutant line 3");
  EXPECT_EQ(seen.text, "Rename Project: Entre New Name");
  EXPECT_EQ(seen.title, "");
  EXPECT_EQ(offered, "Default");

  WhenBoxOpens(seen, [](QWidget* box) {
    auto* in = qobject_cast<QInputDialog*>(box);
    in->setTextValue("");
    in->accept();
  });
  EXPECT_EQ(dialogs.InputBox("Port?", "4"), "");  // an empty OK is not a cancel

  WhenBoxOpens(seen, [](QWidget* box) { qobject_cast<QInputDialog*>(box)->reject(); });
  EXPECT_EQ(dialogs.InputBox("Port?", "4"), std::nullopt);
}

}  // namespace
