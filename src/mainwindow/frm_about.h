#pragma once
// The About window: the version banner and the maker's lines.
#include "ui/form.h"

class QLabel;

namespace mainwindow {

class Frm_About : public ui::Form {
  Q_OBJECT

 public:
  Frm_About();
  void Form_Load() override;

  QLabel* Label_version = nullptr;
};

}  // namespace mainwindow
