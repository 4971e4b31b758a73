#pragma once
// Typing into an editable list as a user does. Qt completes typed text only in a box
// that has the focus, so the box's window is made active and the box focused first.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

namespace testsupport {

inline void TypeIntoList(QComboBox& box, const QString& text) {
  box.window()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(box.window())) << box.objectName().toStdString();
  box.setFocus(Qt::OtherFocusReason);
  box.lineEdit()->clear();
  QTest::keyClicks(box.lineEdit(), text);
}

}  // namespace testsupport
