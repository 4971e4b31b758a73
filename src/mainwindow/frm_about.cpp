#include "mainwindow/frm_about.h"

#include <QLabel>
#include <QVBoxLayout>

#include "mainwindow/startup.h"

namespace mainwindow {

Frm_About::Frm_About() {
  setWindowFlags(Qt::Tool | Qt::WindowCloseButtonHint);
  setWindowTitle("");
  auto* layout = new QVBoxLayout(this);
  auto* image = new QLabel("<b><font size=6>QUENLAR</font></b>", this);
  layout->addWidget(image);
  Label_version = new QLabel(this);
  layout->addWidget(Label_version);
  for (const char* line : {"Microplate activity monitor", "Infrared microbeam motility reader",
                           "Acquisition and analysis software", "Quenlar Instruments",
                           "support@quenlar.example", "https://www.quenlar.example"}) {
    layout->addWidget(new QLabel(line, this));
  }
  setFixedSize(360, 260);
}

void Frm_About::Form_Load() {
  Label_version->setText(QString::fromUtf8(kVersionBanner.data(), int(kVersionBanner.size())));
}

}  // namespace mainwindow
