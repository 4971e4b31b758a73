#include "ui/qt_dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

#include "ui/window_place.h"

namespace ui {

namespace {

QString ToQ(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void QtDialogs::MsgBox(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QString(), ToQ(text), QMessageBox::Ok, FrontWindow());
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
  if (box.exec() != QDialog::Accepted) return std::nullopt;
  return box.textValue().toStdString();
}

}  // namespace ui
