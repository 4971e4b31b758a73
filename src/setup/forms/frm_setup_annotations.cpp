// The setup window's annotation panel frm_advance: the six-row grid over groups
// 0..383, the global fields and their mode boxes, Fill and SET Global; the box that
// shows the panel; the maker's annotation page.
#include <algorithm>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "platform/launcher.h"
#include "setup/forms/frm_setup.h"
#include "storage/shared_state.h"
#include "ui/caption_fit.h"
#include "ui/layout_units.h"

namespace setup {
namespace {

// The maker's annotation page; an empty address opens nothing.
constexpr const char* kAnnotationPage = "https://www.quenlar.example/annotation";

constexpr double kHeaderTop = 0.23, kRowTop = 0.3, kRowStep = 0.1, kRowHeight = 0.1;
constexpr AnnotationField kSwitchable[] = {AnnotationField::kStrain, AnnotationField::kBuffer,
                                           AnnotationField::kOrganisms};

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The panel's box unticks the check box when something else hides the panel (the main
// window does, each time it opens this window).
class PanelHidden : public QObject {
 public:
  PanelHidden(QObject* parent, QCheckBox* box) : QObject(parent), box_(box) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::HideToParent) box_->setChecked(false);
    return QObject::eventFilter(watched, event);
  }

 private:
  QCheckBox* box_;
};

}  // namespace

QCheckBox* Frm_setup::ModeBox(AnnotationField field) const {
  switch (field) {
    case AnnotationField::kStrain:
      return Chk_global_strain;
    case AnnotationField::kBuffer:
      return Chk_global_buffer;
    default:
      return Chk_global_orgnum;
  }
}

QLineEdit* Frm_setup::GlobalBox(AnnotationField field) const {
  switch (field) {
    case AnnotationField::kStrain:
      return txt_global_strain;
    case AnnotationField::kBuffer:
      return txt_global_buffer;
    default:
      return txt_global_orgnum;
  }
}

void Frm_setup::ConnectAnnotationHandlers() {
  // A loaded window starts with the three switchable fields global.
  for (const AnnotationField f : kSwitchable) ModeBox(f)->setChecked(true);
  for (const AnnotationField f : kSwitchable) {
    connect(ModeBox(f), &QCheckBox::toggled, this,
            [this, f](bool on) { AnnotationModeChanged(f, on); });
    connect(GlobalBox(f), &QLineEdit::textChanged, this,
            [this, f](const QString& t) { annotations_->SetGlobalValue(f, t.toStdString()); });
  }
  const std::pair<AnnotationField, std::array<QLineEdit*, 6>*> columns[] = {
      {AnnotationField::kCompound, &txt_compound},
      {AnnotationField::kConcentration, &txt_conc},
      {AnnotationField::kStrain, &txt_strain},
      {AnnotationField::kOrganisms, &txt_org},
      {AnnotationField::kBuffer, &txt_buffer}};
  for (const auto& [field, boxes] : columns) {
    for (int i = 0; i < kAnnotationRows; ++i) {
      connect((*boxes)[static_cast<size_t>(i)], &QLineEdit::textChanged, this,
              [this, f = field, i](const QString& t) {
                annotations_->SetEntry(f, i, t.toStdString());
              });
    }
  }
  auto* rows = new QButtonGroup(this);
  for (int i = 0; i < kAnnotationRows; ++i) rows->addButton(adv_group[static_cast<size_t>(i)], i);
  connect(cmd_up, &QPushButton::clicked, this, [this] { cmd_up_Click(); });
  connect(cmd_down, &QPushButton::clicked, this, [this] { cmd_down_Click(); });
  connect(cmd_fill, &QPushButton::clicked, this, [this] { cmd_fill_Click(); });
  connect(cmd_setglobal, &QPushButton::clicked, this, [this] { cmd_setglobal_Click(); });
  connect(cmd_annot_web, &QPushButton::clicked, this, [this] { cmd_annot_web_Click(); });
  connect(chk_advance, &QCheckBox::toggled, this, [this] { chk_advance_Click(); });
  frm_advance->installEventFilter(new PanelHidden(this, chk_advance));
}

int Frm_setup::TickedAnnotationRow() const {
  for (int i = 0; i < kAnnotationRows; ++i)
    if (adv_group[static_cast<size_t>(i)]->isChecked()) return i;
  return -1;
}

void Frm_setup::ShowAnnotationPanel() {
  ShowAnnotationGrid();
  FillAnnotationFieldList();
}

void Frm_setup::ShowAnnotationGrid() {
  // The panel places its own controls in twips of its size.
  const double w = platform::RoundHalfEven(frm_advance->width() * 15.0);
  const double h = platform::RoundHalfEven(frm_advance->height() * 15.0);
  const AnnotationColumns c = annotations_->Columns();
  const auto place = [&](QWidget* widget, const ColumnSpan& col, double top) {
    widget->setVisible(col.visible);
    if (!col.visible) return;
    const ui::PixelRect r = ui::TwipsPlace(col.left * w, top * h, col.width * w, kRowHeight * h);
    widget->setGeometry(r.x, r.y, r.width, r.height);
  };
  place(lbl_group, c.group_header, kHeaderTop);
  place(lbl_compound, c.compound, kHeaderTop);
  place(lbl_conc, c.concentration, kHeaderTop);
  place(lbl_strain, c.strain, kHeaderTop);
  // "[Conc]" heads a narrow column: it takes the free right half of the compound
  // header as well, right-aligned, a few pixels short of the next header.
  if (lbl_conc->isVisibleTo(frm_advance) && lbl_compound->isVisibleTo(frm_advance)) {
    const int left = std::min(lbl_conc->x(), lbl_compound->x() + lbl_compound->width() / 2);
    const int right = lbl_conc->geometry().right() - 3;
    lbl_compound->resize(std::max(0, left - 2 - lbl_compound->x()), lbl_compound->height());
    lbl_conc->setGeometry(left, lbl_conc->y(), std::max(0, right - left + 1), lbl_conc->height());
    lbl_conc->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  place(lbl_org, c.organisms, kHeaderTop);
  place(lbl_buff, c.buffer, kHeaderTop);
  for (size_t i = 0; i < static_cast<size_t>(kAnnotationRows); ++i) {
    const double top = kRowTop + kRowStep * static_cast<double>(i);
    place(adv_group[i], c.selector, top);
    place(txt_group[i], c.group, top);
    place(txt_compound[i], c.compound, top);
    place(txt_conc[i], c.concentration, top);
    place(txt_strain[i], c.strain, top);
    place(txt_org[i], c.organisms, top);
    place(txt_buffer[i], c.buffer, top);
  }
  // Writing a box runs its change handler, which stores the same text back.
  for (int i = 0; i < kAnnotationRows; ++i) {
    const auto r = static_cast<size_t>(i);
    txt_group[r]->setText(QString::number(annotations_->GroupOfRow(i)));
    txt_compound[r]->setText(Q(annotations_->Entry(AnnotationField::kCompound, i)));
    txt_conc[r]->setText(Q(annotations_->Entry(AnnotationField::kConcentration, i)));
    txt_strain[r]->setText(Q(annotations_->Entry(AnnotationField::kStrain, i)));
    txt_org[r]->setText(Q(annotations_->Entry(AnnotationField::kOrganisms, i)));
    txt_buffer[r]->setText(Q(annotations_->Entry(AnnotationField::kBuffer, i)));
    // Narrow boxes show the start of their text.
    for (QLineEdit* box : {txt_compound[r], txt_conc[r], txt_strain[r], txt_org[r], txt_buffer[r]})
      box->setCursorPosition(0);
  }
  annotations_->ApplyDefaults();
  for (const AnnotationField f : kSwitchable)
    GlobalBox(f)->setText(Q(annotations_->GlobalValue(f)));
  // One font size for the whole frame: the size its tightest caption fits at (not
  // below the readable floor, where a caption still too wide keeps its tooltip).
  double points = QFont().pointSizeF();
  for (QWidget* caption :
       std::initializer_list<QWidget*>{lbl_group, lbl_compound, lbl_conc, lbl_strain, lbl_org,
                                       lbl_buff, lbl_global, Chk_global_buffer, Chk_global_strain,
                                       Chk_global_orgnum, combo_tool, cmd_fill, cmd_setglobal}) {
    if (!caption->isVisibleTo(frm_advance)) continue;
    ui::FitCaption(*caption);
    points = std::min(points, caption->font().pointSizeF());
  }
  QFont font;
  font.setPointSizeF(points);
  for (QWidget* w : frm_advance->findChildren<QWidget*>()) w->setFont(font);
  // A box narrower than its text shows the text's start.
  for (QLineEdit* box : frm_advance->findChildren<QLineEdit*>()) box->setCursorPosition(0);
}

void Frm_setup::FillAnnotationFieldList() {
  combo_tool->clear();
  for (const std::string& name : AnnotationFieldNames()) combo_tool->addItem(Q(name));
  combo_tool->setCurrentIndex(0);
}

void Frm_setup::AnnotationModeChanged(AnnotationField field, bool global) {
  annotations_->SetGlobalMode(field, global);
  ShowAnnotationGrid();
}

void Frm_setup::SyncAnnotationModes() {
  // A box whose tick changes runs its handler, as the user's click would.
  for (const AnnotationField f : kSwitchable) ModeBox(f)->setChecked(annotations_->IsGlobal(f));
}

void Frm_setup::cmd_up_Click() {
  if (annotations_->Up()) ShowAnnotationGrid();
}

void Frm_setup::cmd_down_Click() {
  if (annotations_->Down()) ShowAnnotationGrid();
}

void Frm_setup::cmd_fill_Click() {
  const std::string tool = combo_tool->currentText().toStdString();
  if (!AnnotationFieldOf(tool)) return;
  annotations_->Fill(tool, txt_global->text().toStdString(), storage::Shared().Group_Name);
  SyncAnnotationModes();
  ShowAnnotationGrid();
}

void Frm_setup::cmd_setglobal_Click() {
  const std::string tool = combo_tool->currentText().toStdString();
  const auto field = AnnotationFieldOf(tool);
  if (!field || !IsSwitchable(*field)) return;
  annotations_->SetGlobal(tool, txt_global->text().toStdString());
  SyncAnnotationModes();
  ShowAnnotationGrid();
}

void Frm_setup::chk_advance_Click() {
  const bool shown = chk_advance->isChecked();
  frm_advance->setVisible(shown);
  // The panel covers all but the edge of the page button: no half button shows.
  cmd_annot_web->setVisible(!shown);
  if (shown) frm_advance->raise();
}

void Frm_setup::cmd_annot_web_Click() {
  const std::string page = kAnnotationPage;
  if (!page.empty())
    platform::ShellOrSay("explorer " + page, "No program could open the page:\r\n" + page);
}

}  // namespace setup
