// The main window has no fixed geometry: every control is placed from the window's
// size at each resize, in units of the window (outer level) and of each panel (inner
// level), so the whole window scales with no lower limit.
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <utility>

#include "ui/caption_fit.h"
#include "ui/controls.h"
#include "mainwindow/frm_main.h"
#include "platform/numeric.h"
#include "storage/shared_state.h"
#include "ui/events.h"
#include "ui/fit_button.h"
#include "ui/layout_units.h"
#include "ui/window_shape.h"

namespace mainwindow {
namespace {

constexpr double kKeep = std::numeric_limits<double>::quiet_NaN();

double Nearest(double x) { return platform::RoundHalfEven(x); }

// Places a control of a container that measures in pixels; a NaN size keeps the
// control's own (combo boxes keep their height, some labels their size). The edges
// are rounded, not the sizes, so controls that adjoin in units never share a pixel.
void PlacePixels(QWidget* w, double left, double top, double width, double height) {
  const ui::PixelRect r = ui::PixelPlace(left, top, std::isnan(width) ? 0.0 : width,
                                         std::isnan(height) ? 0.0 : height);
  w->setGeometry(r.x, r.y, std::isnan(width) ? w->width() : r.width,
                 std::isnan(height) ? w->height() : r.height);
}

// The same for a container that measures in twips (the window itself and frames).
void PlaceTwips(QWidget* w, double left, double top, double width, double height) {
  const double t = ui::kTwipsPerPixel;
  PlacePixels(w, left / t, top / t, std::isnan(width) ? width : width / t,
              std::isnan(height) ? height : height / t);
}

// A control whose caption is wider than the table makes it grows to the left, no
// further than `leftmost`, and shrinks its caption for what is still missing.
void GrowLeftToFit(QWidget* w, int leftmost) {
  w->setFont(QFont());
  const int missing = ui::CaptionWidth(*w) - w->width();
  if (missing > 0) {
    const int left = std::max(leftmost, w->x() - missing);
    w->setGeometry(left, w->y(), w->x() + w->width() - left, w->height());
  }
  ui::FitCaption(*w);
}

}  // namespace

void Frm_Main::LayoutMainWindow() {
  const auto& s = storage::Shared();
  const auto tpx = static_cast<double>(ui::TwipsPerPixelX());
  const auto tpy = static_cast<double>(ui::TwipsPerPixelY());

  // Step 1: the window's units, in twips.
  const double W = Nearest(ui::WidthTwips(*this));
  const double H = Nearest(ui::HeightTwips(*this));
  const double MX = Nearest(0.05 * W);
  const double MY = Nearest(0.025 * H);
  const double CU = Nearest(Nearest(0.9 * W) / 6);
  const double RU = Nearest((Nearest(0.9 * H) - MY) / 20);

  // Step 2.
  frame_config->hide();

  // Step 3: left panel.
  PlaceTwips(PicPanel1, 0.5 * MX, MY, 4.1 * CU, 19.5 * RU);
  ui::RoundFormCorners(*PicPanel1);
  ui::DrawRoundedFrame(*PicPanel1);

  // Step 4.
  PlaceTwips(lbl_autostart, 0.5 * MX, 19.75 * RU + MY, kKeep, kKeep);

  // Step 5: left panel units in pixels.
  {
    const double p = std::floor(Nearest(ui::WidthTwips(*PicPanel1)) / Nearest(tpx));
    const double q = std::floor(Nearest(ui::HeightTwips(*PicPanel1)) / Nearest(tpy));
    const double c1 = Nearest(p / 4.1);
    const double r1 = Nearest(q / 19.5);

    // Step 6: table 1, then Framereal (table 2), then the progress strip and time.
    PlacePixels(Cmd_barplot, 0.1 * c1, 0.5 * r1, 0.25 * c1, 1 * r1);
    PlacePixels(Cmd_gridplot, 0.15 * c1 + 0.25 * c1, 0.5 * r1, 0.25 * c1, 1 * r1);
    PlacePixels(Cmd_histoplot, 0.2 * c1 + 0.5 * c1, 0.5 * r1, 0.25 * c1, 1 * r1);
    PlacePixels(lbl_temperature, 3.5 * c1, 0.5 * r1, kKeep, kKeep);
    temperature_left_ = lbl_temperature->x();
    temperature_right_ = ui::PixelPlace(4.0 * c1, 0, 0, 0).x;
    PlacePixels(Picact, 0.125 * c1, 1.5 * r1, 3.7 * c1, 9.5 * r1);
    SetTemperatureCaption(lbl_temperature->text().toStdString());
    PlacePixels(cmd_pgup, 3.6 * c1, 1.5 * r1, 0.15 * c1, 0.5 * r1);
    cmd_pgup->raise();
    PlacePixels(cmd_pgdown, 3.45 * c1, 1.5 * r1, 0.15 * c1, 0.5 * r1);
    cmd_pgdown->raise();
    PlacePixels(Picreal, 0.425 * c1, 11.55 * r1, 3.3 * c1, 5 * r1);
    PlacePixels(shape_real, 0.325 * c1, 11.45 * r1, 3.51 * c1, 5.2 * r1);
    PlacePixels(combogrup, 2.83 * c1 + 0.3 * c1, 14.25 * r1, 0.55 * c1, kKeep);
    PlacePixels(cmdbeam_minus, 2.83 * c1 + 0.3 * c1, 15.1 * r1, 0.2 * c1, 0.5 * r1);
    PlacePixels(txtbeam, 2.83 * c1 + 0.5 * c1, 15.1 * r1, 0.15 * c1, 0.5 * r1);
    PlacePixels(cmdbeam_plus, 2.83 * c1 + 0.65 * c1, 15.1 * r1, 0.2 * c1, 0.5 * r1);
    PlacePixels(Cmdzoom_minus, 2.83 * c1 + 0.3 * c1, 15.75 * r1, 0.275 * c1, 0.5 * r1);
    PlacePixels(Cmdzoom_plus, 2.83 * c1 + 0.575 * c1, 15.75 * r1, 0.275 * c1, 0.5 * r1);
    // The group selector and the channel box show their whole text: the selector grows
    // over the plot to its left, the channel box takes room from its arrow buttons.
    GrowLeftToFit(combogrup, Picreal->x());
    const int beam_room = txtbeam->fontMetrics().horizontalAdvance("W00.0") + 8;
    if (const int extra = (beam_room - txtbeam->width() + 1) / 2; extra > 0) {
      txtbeam->setGeometry(txtbeam->x() - extra, txtbeam->y(), txtbeam->width() + 2 * extra,
                           txtbeam->height());
      cmdbeam_minus->resize(cmdbeam_minus->width() - extra, cmdbeam_minus->height());
      cmdbeam_plus->setGeometry(cmdbeam_plus->x() + extra, cmdbeam_plus->y(),
                                cmdbeam_plus->width() - extra, cmdbeam_plus->height());
    }
    txtbeam->setCursorPosition(0);
    // The real-time controls lie over the right end of the real-time plot.
    for (QWidget* w : std::initializer_list<QWidget*>{combogrup, cmdbeam_minus, txtbeam,
                                                      cmdbeam_plus, Cmdzoom_minus, Cmdzoom_plus}) {
      w->raise();
    }
    lbl_station->hide();

    // Framereal belongs to the window, which measures in twips: the pixel units are
    // taken as twips there, as the window always did.
    PlaceTwips(Framereal, 0.375 * c1, 11.25 * r1, 0.85 * c1, 5.625 * r1);
    PlaceTwips(lbl_listwells, 0.05 * c1, 0.1 * r1, 0.25 * c1, kKeep);
    PlaceTwips(Combofila, 0.3 * c1, 0.1 * r1, 0.225 * c1, kKeep);
    PlaceTwips(Combocol, 0.525 * c1, 0.1 * r1, 0.225 * c1, kKeep);
    PlaceTwips(txtsub, 0.75 * c1, 0.1 * r1, 0.2 * c1, kKeep);
    PlaceTwips(lstgrup, 0.05 * c1, 0.2 * r1 + ui::HeightTwips(*Combocol), 0.8 * c1, 3.5 * r1);
    PlaceTwips(Label3, 0.05 * c1, 5.5 * r1, 0.3 * c1, 0.5 * r1);
    PlaceTwips(lblcanal, 0.4 * c1, 5.5 * r1, 0.25 * c1, 0.5 * r1);
    Label3->hide();
    lblcanal->hide();

    PlacePixels(picturetime, 0.42 * c1, 17.75 * r1, 2.8 * c1, 0.5 * r1);
    PlacePixels(Txt_time, 3.3 * c1, 17.65 * r1, 1.75 * c1, 1 * r1);
  }

  // Step 7: right panel.
  PlaceTwips(PicPanel2, 4 * CU + MX, MY, 2.05 * CU, 19.5 * RU);
  ui::RoundFormCorners(*PicPanel2);
  ui::DrawRoundedFrame(*PicPanel2);

  // Step 8.
  const double p2 = std::floor(Nearest(ui::WidthTwips(*PicPanel2)) / Nearest(tpx));
  const double q2 = std::floor(Nearest(ui::HeightTwips(*PicPanel2)) / Nearest(tpy));
  const double c2 = Nearest(p2 / 2);
  const double r2 = Nearest(q2 / 19.5);
  const double u = Nearest(ui::WidthTwips(*PicPanel2) / 2.0);
  const double v = Nearest(ui::HeightTwips(*PicPanel2) / 19.5);

  // Step 9: the project frame (pixels) and its contents (twips).
  PlacePixels(Frame_setup, 0.05 * c2, 0.5 * r2, 1.85 * c2, 7.6 * r2);
  Frame_setup->show();
  PlaceTwips(lbl_project, 0.1 * u, 0 * v, 1.5 * u, 0.75 * v);
  PlaceTwips(txt_projecto, 0.1 * u, 0.9 * v, 1.35 * u, 0.75 * v);
  PlaceTwips(Cmdsetup, 1.45 * u, 0.7 * v, 0.35 * u, 1.1 * v);
  ui::RoundButton(*Cmdsetup);
  PlaceTwips(Label_acqlapse, 0.15 * u, 1.9 * v, 0.3 * u, 0.5 * v);
  PlaceTwips(txt_acqlapse, 0.45 * u, 1.9 * v, 1.65 * u, 0.5 * v);
  PlaceTwips(Label_wellformat, 0.85 * u, 1.9 * v, 0.3 * u, 0.5 * v);
  PlaceTwips(txt_wellformat, 1.2 * u, 1.9 * v, (1.95 / 2 - 0.3) * u, 0.5 * v);
  PlaceTwips(chk_bodybends, 0.1 * u, 5.25 * v, kKeep, kKeep);
  PlaceTwips(txt_detection, 0.15 * u, 2.75 * v, 1.25 * u, 0.5 * v);
  PlaceTwips(Shape_sq, 0.1 * u, 1.8 * v, 1.35 * u, 1.5 * v);
  PlaceTwips(lbl_subproject, 0.1 * u, 3.7 * v, 1.6 * u, 0.75 * v);
  PlaceTwips(txt_subproject, 0.1 * u, 4.5 * v, 1.7 * u, 0.75 * v);
  PlaceTwips(Lbl_keywords, 0.1 * u, 5.5 * v, 0.35 * u, 0.5 * v);
  PlaceTwips(Txt_description, 0.4 * u, 5.5 * v, 1.4 * u, 1.5 * v);
  // The notes start below the body-bends box, whose own height the table leaves no
  // room for, and keep inside the frame.
  if (const int below = chk_bodybends->geometry().bottom() + 2; Lbl_keywords->y() < below) {
    const int bottom = std::min(Txt_description->geometry().bottom(), Frame_setup->height() - 4);
    Lbl_keywords->move(Lbl_keywords->x(), below);
    Txt_description->setGeometry(Txt_description->x(), below, Txt_description->width(),
                                 std::max(0, bottom - below + 1));
  }

  // Step 10.
  Frame_setup->show();
  shape_stacks->hide();
  for (int i = 0; i < 4; ++i) {
    chk_enabled[i]->hide();
    cmd_stack_pos[i]->hide();
  }

  // The connection and pause buttons sit in the free band under the project frame.
  PlacePixels(cmd_connect, 0.15 * c2, 8.6 * r2, 0.55 * c2, 1.2 * r2);
  PlacePixels(Cmd_disconnect, 0.725 * c2, 8.6 * r2, 0.55 * c2, 1.2 * r2);
  PlacePixels(CmdPause, 1.3 * c2, 8.6 * r2, 0.6 * c2, 1.2 * r2);

  // Step 11: the run buttons.
  PlacePixels(lbl_torun, 0.15 * c2, 11.5 * r2, 1.6 * c2, 12.5 * r2);
  // Its first line ends above the tool frames (at 11.75) however small the window.
  if (const int clear = ui::PixelPlace(0, 11.75 * r2, 0, 0).y - lbl_torun->fontMetrics().height() - 1;
      lbl_torun->y() > clear) {
    lbl_torun->move(lbl_torun->x(), clear);
  }
  PlacePixels(CmdPlay, 0.15 * c2, 12.75 * r2, 0.875 * c2, 1.975 * r2);
  ui::RoundControl(*CmdPlay);
  PlacePixels(CmdStop, 1.025 * c2, 12.75 * r2, 0.875 * c2, 1.975 * r2);
  ui::RoundControl(*CmdStop);
  PlacePixels(Cmdreport, 0.15 * c2, 15.25 * r2, 1.75 * c2, 1.5 * r2);
  ui::RoundControl(*Cmdreport);
  PlacePixels(Cmdoffline, 0.15 * c2, 17 * r2, 1.75 * c2, 1.5 * r2);
  ui::RoundControl(*Cmdoffline);

  // Step 12: the temperature frame, then the light frame with its pulse frame.
  PlacePixels(Frame_temp, 0.15 * c2, 11.75 * r2, 1.7 * c2, 2 * r2);
  PlaceTwips(cmd_nextwindows1, 1.6 * u, 0.15 * v, 0.095 * u, 1.75 * v);
  PlaceTwips(cmd_ontemp, 1.18 * u, 0.35 * v, 0.38 * u, 0.7 * v);
  PlaceTwips(cmd_frio, 1.18 * u, 1.1 * v, 0.38 * u, 0.7 * v);
  PlaceTwips(Chk_tenabled, 0.88 * u, 0.8 * v, 0.28 * u, 0.4 * v);
  PlaceTwips(shape_temp, 0.7 * u, 0.7 * v, 0.12 * u, 0.6 * v);
  PlaceTwips(Cmd_settemp, 0.41 * u, 0.75 * v, 0.26 * u, 0.55 * v);
  PlaceTwips(Label_C, 0.28 * u, 0.76 * v, 0.1 * u, 0.35 * v);
  PlaceTwips(txttemp, 0.07 * u, 0.75 * v, 0.2 * u, 0.55 * v);

  PlacePixels(Frame_light, 0.15 * c2, 11.75 * r2, 1.7 * c2, 2 * r2);
  PlaceTwips(cmd_nextwindows2, 1.6 * u, 0.15 * v, 0.095 * u, 1.75 * v);
  PlaceTwips(Chk_lenabled, 0.88 * u, 0.8 * v, 0.28 * u, 0.4 * v);
  PlaceTwips(cmd_luz, 1.18 * u, 0.35 * v, 0.38 * u, 0.7 * v);
  PlaceTwips(cmd_cyclepulse, 1.18 * u, 1.1 * v, 0.38 * u, 0.7 * v);
  PlaceTwips(shape_light, 0.75 * u, 0.8 * v, 0.07 * u, 0.42 * v);
  PlaceTwips(frm_pulse, 0.01 * u, 0.4 * v, 0.7 * u, 1.25 * v);
  PlaceTwips(Label_ltimes, 0.45 * u, 0.9 * v, 0.13 * u, 0.34 * v);
  PlaceTwips(txt_pulsetimes, 0.5 * u, 0.4 * v, 0.11 * u, 0.46 * v);
  PlaceTwips(Label_X, 0.41 * u, 0.4 * v, 0.05 * u, 0.32 * v);
  PlaceTwips(Shape_white, 0.02 * u, 0.15 * v, 0.18 * u, 1.05 * v);
  PlaceTwips(Shape_dark, 0.21 * u, 0.15 * v, 0.18 * u, 1.05 * v);
  PlaceTwips(txt_pulseon, 0.06 * u, 0.4 * v, 0.11 * u, 0.5 * v);
  PlaceTwips(txt_pulseoff, 0.23 * u, 0.4 * v, 0.11 * u, 0.5 * v);
  PlaceTwips(Label_lon, 0.11 * u, 0.5 * v, 0.135 * u, 0.5 * v);
  PlaceTwips(Label_loff, 0.33 * u, 0.5 * v, 0.135 * u, 0.5 * v);
  PlaceTwips(txt_lon, 0.11 * u, 1 * v, 0.135 * u, 0.5 * v);
  PlaceTwips(txt_loff, 0.33 * u, 1 * v, 0.135 * u, 0.5 * v);
  PlaceTwips(Label_lbar, 0.26 * u, 1.03 * v, 0.05 * u, 0.5 * v);
  PlaceTwips(Label_lh, 0.49 * u, 1.03 * v, 0.05 * u, 0.5 * v);
  frm_pulse->raise();
  // "times" is centred under the pulse count, as wide as its text, between the dark
  // phase's shape and the frame's edge.
  {
    const int need = ui::CaptionWidth(*Label_ltimes) + 2;
    const int lo = Shape_dark->geometry().right() + 2;
    const int hi = frm_pulse->width() - 2;
    const int width = std::min(std::max(need, Label_ltimes->width()), std::max(0, hi - lo));
    const int centre = txt_pulsetimes->geometry().center().x();
    const int left = std::clamp(centre - width / 2, lo, std::max(lo, hi - width));
    Label_ltimes->setGeometry(left, Label_ltimes->y(), width, Label_ltimes->height());
    Label_ltimes->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  }
  // Small windows: the labels get the height of their text within their frame, and
  // the minute boxes the width of their phase's shape, so that "0.0" shows whole.
  for (QWidget* w :
       std::initializer_list<QWidget*>{Label_C, Label_lon, Label_loff, Label_ltimes, Label_X}) {
    ui::FitCaption(*w);
    const int h = std::max(w->height(), w->fontMetrics().height());
    const int top = std::max(0, std::min(w->y(), w->parentWidget()->height() - h));
    w->setGeometry(w->x(), top, w->width(), h);
  }
  for (auto [box, shape] : {std::pair{txt_pulseon, Shape_white}, std::pair{txt_pulseoff, Shape_dark}}) {
    box->setAlignment(Qt::AlignCenter);
    if (box->width() < shape->width() - 4)
      box->setGeometry(shape->x() + 2, box->y(), shape->width() - 4, box->height());
  }
  txt_pulsetimes->setAlignment(Qt::AlignCenter);
  // Each "min" label reads inside its phase's shape, in the band between its minute
  // box and the shape's bottom edge, a blank row clear of each: its letters centred
  // there, at the largest size down to the readable floor that the band holds.
  for (auto [label, shape, box] : {std::tuple{Label_min1, Shape_white, txt_pulseon},
                                   std::tuple{Label_min2, Shape_dark, txt_pulseoff}}) {
    const QRect inside = shape->geometry().adjusted(1, 1, -1, -1);
    const int band_top = box->geometry().bottom() + 2;
    const int band_bottom = inside.bottom() - 1;
    QFont font;
    while (font.pointSizeF() - 0.5 >= ui::kReadablePoints) {
      const QFontMetrics m(font);
      const QRect ink = m.tightBoundingRect(label->text());
      if (ink.height() <= band_bottom - band_top + 1 &&
          m.horizontalAdvance(label->text()) <= inside.width())
        break;
      font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    label->setFont(font);
    const QFontMetrics m(font);
    const QRect ink = m.tightBoundingRect(label->text());
    const int baseline = (band_top + band_bottom + 1) / 2 - (ink.top() + ink.bottom() + 1) / 2;
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setGeometry(inside.x(), baseline - m.ascent(), inside.width(), m.height());
    // Its line reaches up behind the box, which stays in front and takes the clicks.
    label->stackUnder(box);
  }
  // The three words under the boxes read at one size.
  for (const QLabel* min : {Label_min1, Label_min2})
    if (min->font().pointSizeF() < Label_ltimes->font().pointSizeF()) Label_ltimes->setFont(min->font());
  // The "Enable(d)" boxes may grow over the free band left of them to show their caption.
  GrowLeftToFit(Chk_lenabled, shape_light->geometry().right() + 2);
  GrowLeftToFit(Chk_tenabled, shape_temp->geometry().right() + 2);
  // The tool frames lie over the top of the run buttons: their controls lie wholly in
  // that band, the buttons keep their lower part, where their captions move.
  // Their order between themselves stays as the narrow buttons left it.
  const QObjectList& right_panel = PicPanel2->children();
  const bool light_front = right_panel.indexOf(Frame_light) > right_panel.indexOf(Frame_temp);
  (light_front ? Frame_temp : Frame_light)->raise();
  (light_front ? Frame_light : Frame_temp)->raise();

  // Step 13: the activity plot, re-scaled and redrawn for the current view.
  Picact->Cls();
  const int16_t station = Station_Index;
  switch (Plot_Kind) {
    case 0:
      Picact->Scale(-30, 300, 300, -30);
      DrawActivityAxes();
      UpdateTimePlot(station);
      break;
    case 1:
      Picact->Scale(-30, 300, 300, -30);
      Dibujar_ejes_barplot();
      UpdateBarPlot(station);
      break;
    case 2: {
      const long co = platform::RoundToInt(100 * s.Col_Offset);
      const long ro = platform::RoundToInt(100 * s.Row_Offset);
      // 16-bit results: a layout that overflows them ends the relayout here.
      if (!platform::FitsInt16(co) || !platform::FitsInt16(ro) || !platform::FitsInt16(co - 150) ||
          !platform::FitsInt16(ro - 200)) {
        return;
      }
      Picact->Scale(static_cast<double>(co - 150), static_cast<double>(ro - 200), 2410, 1610);
      Dibujar_ejes_gridplot();
      UpdateGridPlot(station);
      break;
    }
    case 3:
      Picact->Scale(-30, 300, 300, -30);
      Dibujar_ejes_histoplot();
      UpdateHistoPlot(station);
      break;
    default:
      break;
  }

  // Step 14: the real-time plot.
  if (!platform::FitsInt16(static_cast<long>(s.RT_Buffer) + 20)) return;
  Picreal->Cls();
  Picreal->Scale(0, 2100, s.RT_Buffer + 20, 0);
  ClearRealtimePlot();

  // Step 15. The strip's picture was drawn at the old size: it is drawn again.
  picturetime->Scale(0, 0, 100, 100);
  picturetime->Cls();
  if (progress_shown_ > 0) picturetime->Box(0, 0, progress_shown_, 100, ui::RGB(0, 0, 255), true);

  // Step 16.
  update();
}

void Frm_Main::SetTemperatureCaption(const std::string& text) {
  QLabel* l = lbl_temperature;
  l->setText(QString::fromStdString(text));
  l->setFont(QFont());
  // From its place to the panel's right margin; a longer text (a device test verdict)
  // reaches left over the empty top of the picture, no further than the plot buttons.
  const int leftmost = Cmd_histoplot->geometry().right() + 8;
  const int needed = l->fontMetrics().horizontalAdvance(l->text()) + 2;
  const int left = std::max(leftmost, std::min(temperature_left_, temperature_right_ - needed));
  l->setGeometry(left, l->y(), std::max(0, temperature_right_ - left), l->height());
  ui::FitCaption(*l);
}

}  // namespace mainwindow
