#include "ui/qt_dialogs.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QSpacerItem>

#include "ui/window_place.h"

namespace ui {

namespace {

QString ToQ(const std::string& s) { return QString::fromStdString(s); }

// Window managers draw titles in a bold face, often a little larger than the text, and
// keep an icon and three buttons beside them.
constexpr int kTitleBarRoom = 160;

// Boxes size themselves to their contents, which a title is not: a spacer as wide as
// the title bar needs holds the box open.
void HoldOpenForTitle(QDialog& box) {
  QLayout* layout = box.layout();
  const int needed = TitleBarWidth(box.windowTitle());
  if (!layout || needed == 0) return;
  const QMargins m = layout->contentsMargins();
  auto* spacer = new QSpacerItem(needed - m.left() - m.right(), 0, QSizePolicy::Minimum,
                                 QSizePolicy::Minimum);
  if (auto* grid = qobject_cast<QGridLayout*>(layout))
    grid->addItem(spacer, grid->rowCount(), 0, 1, grid->columnCount());
  else
    layout->addItem(spacer);
}

}  // namespace

int TitleBarWidth(const QString& title) {
  if (title.isEmpty()) return 0;
  QFont font = QApplication::font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.1);
  // The title bar shows the program's name after the box's own title.
  const QString name = QGuiApplication::applicationDisplayName();
  const QString shown = name.isEmpty() ? title : title + QString::fromUtf8(" \u2014 ") + name;
  return QFontMetrics(font).horizontalAdvance(shown) + kTitleBarRoom;
}

void QtDialogs::MsgBox(const std::string& text) { MsgBoxTitled(text, std::string()); }

void QtDialogs::MsgBoxTitled(const std::string& text, const std::string& title) {
  QMessageBox box(QMessageBox::NoIcon, ToQ(title), ToQ(text), QMessageBox::Ok, FrontWindow());
  HoldOpenForTitle(box);
  box.exec();
}

bool QtDialogs::AskYesNo(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QString(), ToQ(text), QMessageBox::Yes | QMessageBox::No,
                  FrontWindow());
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

QtDialogs::Answer QtDialogs::AskYesNoCancel(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QString(), ToQ(text),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, FrontWindow());
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Answer::kYes;
    case QMessageBox::No:
      return Answer::kNo;
    default:
      return Answer::kCancel;
  }
}

bool QtDialogs::AskOkCancel(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QString(), ToQ(text), QMessageBox::Ok | QMessageBox::Cancel,
                  FrontWindow());
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Cancel);
  return box.exec() == QMessageBox::Ok;
}

std::optional<std::string> QtDialogs::InputBox(const std::string& prompt,
                                               const std::string& default_text) {
  return InputBoxTitled(prompt, std::string(), default_text);
}

std::optional<std::string> QtDialogs::InputBoxTitled(const std::string& prompt,
                                                    const std::string& title,
                                                    const std::string& default_text) {
  QInputDialog box(FrontWindow());
  box.setWindowTitle(ToQ(title));
  box.setLabelText(ToQ(prompt));
  box.setTextValue(ToQ(default_text));
  box.setInputMode(QInputDialog::TextInput);
  (void)box.minimumSizeHint();  // lays the box out
  HoldOpenForTitle(box);
  if (box.exec() != QDialog::Accepted) return std::nullopt;
  return box.textValue().toStdString();
}

}  // namespace ui
