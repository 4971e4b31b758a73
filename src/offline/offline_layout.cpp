#include "offline/offline_layout.h"

#include <cmath>

#include "platform/numeric.h"

namespace offline {

namespace {

constexpr double kTwips = 15.0;

double Nearest(double x) { return platform::RoundHalfEven(x); }

// A panel's size in whole pixels from its size in twips.
double PanelPixels(double twips) { return std::floor(Nearest(twips) / kTwips); }

}  // namespace

OfflineLayout ArrangeOfflineControls(int width, int height, int line_height) {
  OfflineLayout layout;
  ui::LayoutBuilder add(layout.controls);
  const ui::WindowUnits u = ui::WindowUnitsOf(width, height);
  layout.units = u;
  const double U = u.U, V = u.V, M = u.M, T = u.T;
  const int lh = line_height;

  // The run's titles, details and description, and the two buttons under them.
  add.TwipsKeepHeight("lbl_pj_title", "", 4.25 * U + M, 0.2 * V + T, 1.75 * U, lh);
  add.TwipsKeepHeight("lbl_subpj_title", "", 4.25 * U + M, 0.9 * V + T, 1.75 * U, lh);
  add.Twips("txt_pj_details", "", 4.25 * U + M, 1.7 * V + T, 1.75 * U, 2.3 * V);
  add.Twips("Txt_description", "", 4.25 * U + M, 4.5 * V + T, 1.75 * U, 2.5 * V);
  add.Twips("Cmd_report", "", 4.22 * U + M, 7.2 * V + T, 0.85 * U, 1.2 * V);
  add.Twips("Cmd_main", "", 5.12 * U + M, 7.2 * V + T, 0.85 * U, 1.2 * V);

  // The list panel.
  add.Twips("PicPanel1", "", M, 0.1 * V + T, 4 * U, 8 * V);
  const double p1 = layout.P1 = Nearest(PanelPixels(4 * U) / 4);
  const double q1 = layout.Q1 = Nearest(PanelPixels(8 * V) / 8);
  const char* list = "PicPanel1";
  add.PixelsKeepHeight("lbl_orden", list, 0.15 * p1, 0.3 * q1, 0.1 * p1, lh);
  add.PixelsKeepHeight("lbl_date", list, 0.25 * p1, 0.3 * q1, 0.35 * p1, lh);
  add.PixelsKeepHeight("lblproject", list, 0.75 * p1, 0.3 * q1, 0.5 * p1, lh);
  add.PixelsKeepHeight("txt_search", list, 2.75 * p1, 0.275 * q1, 0.65 * p1, lh);
  add.Pixels("cmd_lupa", list, 3.4 * p1, 0.15 * q1, 0.5 * p1, 0.95 * q1);
  add.Pixels("Listpj", list, 0.125 * p1, q1, 3.75 * p1, 6.75 * q1);

  // The plot panel.
  add.Twips("PicPanel2", "", M, 8.7 * V + T, 6 * U, 11.5 * V);
  const double p2 = layout.P2 = Nearest(PanelPixels(6 * U) / 6);
  const double q2 = layout.Q2 = Nearest(PanelPixels(11.5 * V) / 10);
  const char* plots = "PicPanel2";
  add.Pixels("Picreal", plots, 1.525 * p2, 0.5 * q2, 3.75 * p2, 8.5 * q2);
  add.Pixels("frame_plotbutton", plots, 5.3 * p2, 0.5 * q2, 0.45 * p2, 8.5 * q2);

  const char* buttons = "frame_plotbutton";
  add.Twips("Cmd_barplot", buttons, 0.1 * U, 0.1 * V, 0.25 * U, V);
  add.Twips("Cmd_gridplot", buttons, 0.1 * U, 1.2 * V, 0.25 * U, V);
  add.Twips("Cmd_lineplot", buttons, 0.1 * U, 2.3 * V, 0.25 * U, V);
  add.Twips("cmd_track", buttons, 0.1 * U, 3.4 * V, 0.25 * U, V);
  add.TwipsKeepHeight("chk_bmp", buttons, 0.1 * U, 4.5 * V, 0.3 * U, lh);
  add.Twips("Cmd_cloud", buttons, 0.1 * U, 3.4 * V, 0.25 * U, V);
  add.TwipsKeepHeight("lbl_tagplot", buttons, 0.1 * U, 5 * V, 0.35 * U, lh);
  add.Twips("List_tags", buttons, 0.1 * U, 5.5 * V, 0.3 * U, 2.5 * V);

  // The page bar and the bin-size frame: the window columns they are given, taken
  // inside the panel (which starts at the margin), on a row under the picture.
  const double bar_top = 9.1 * q2;
  const double bar_height = 0.75 * q2;
  add.Pixels("Label_page", plots, 4.525 * U / kTwips, bar_top, 0.25 * U / kTwips, bar_height);
  add.Pixels("Txtpage", plots, 4.825 * U / kTwips, bar_top, 0.2 * U / kTwips, bar_height);
  add.Pixels("scrollpage", plots, 5.075 * U / kTwips, bar_top, 0.2 * U / kTwips, bar_height);
  const ui::PixelRect bin =
      add.Pixels("Frame_bisize", plots, 4.5 * U / kTwips, bar_top, 0.775 * U / kTwips, bar_height);
  const char* bins = "Frame_bisize";
  const double bw = bin.width, bh = bin.height;
  add.Pixels("lbl_binsize", bins, 0, 0, 0.45 * bw, bh);
  add.Pixels("cmd_minus", bins, 0.45 * bw, 0, 0.15 * bw, bh);
  add.Pixels("txt_binsize", bins, 0.6 * bw, 0, 0.25 * bw, bh);
  add.Pixels("cmd_plus", bins, 0.85 * bw, 0, 0.15 * bw, bh);

  // The channel view's well choice, on the same row, from the picture's left edge to
  // the page bar.
  const ui::PixelRect well =
      add.Pixels("frame_well", plots, 1.525 * p2, bar_top, 2.95 * p2, bar_height);
  const char* wells = "frame_well";
  const double ww = well.width, wh = well.height;
  add.Pixels("lbl_well", wells, 0, 0, 0.11 * ww, wh);
  add.Pixels("Combofila", wells, 0.11 * ww, 0, 0.12 * ww, wh);
  add.Pixels("Combocol", wells, 0.24 * ww, 0, 0.14 * ww, wh);
  add.Pixels("lbl_beam", wells, 0.42 * ww, 0, 0.12 * ww, wh);
  add.Pixels("txtsub", wells, 0.54 * ww, 0, 0.1 * ww, wh);
  add.Pixels("lbl_channel", wells, 0.68 * ww, 0, 0.18 * ww, wh);
  add.Pixels("lblcanal", wells, 0.86 * ww, 0, 0.14 * ww, wh);

  // The group lists and the channel view's controls.
  add.Pixels("framecanal", plots, 0.125 * p2, 0.5 * q2, 1.35 * p2, 9 * q2);
  const char* canal = "framecanal";
  add.Twips("Cmd_leegroups", canal, 0.05 * U, 0.15 * V, 0.65 * U, 1.25 * V);
  add.Twips("cmdchannels", canal, 0.7 * U, 0.15 * V, 0.65 * U, 1.25 * V);
  const ui::PixelRect combo =
      add.TwipsKeepHeight("combogrup", canal, 0.05 * U, 1.5 * V, 1.3 * U, lh);
  const ui::PixelRect lst =
      add.Twips("lstgrup", canal, 0.05 * U, 1.5 * V + combo.height * kTwips, 1.3 * U, 5.9 * V);
  add.Twips("lstgrup_plot", canal, 0.05 * U, 1.5 * V, 1.3 * U, 6.9 * V);
  const double status_top = (lst.y + lst.height) * kTwips;
  const ui::PixelRect status =
      add.Twips("Pic_status", canal, 0.05 * U, status_top, 1.3 * U, 0.25 * V);
  const ui::PixelRect analyse =
      add.Twips("fmranalizar", canal, 0.05 * U, status.y * kTwips + 0.65 * V, 1.3 * U, V);
  const char* an = "fmranalizar";
  const double aw = analyse.width, ah = analyse.height;
  add.Pixels("lbl_threshold", an, 0, 0, 0.3 * aw, 0.5 * ah);
  add.Pixels("frmtxt_threshold", an, 0.3 * aw, 0, 0.2 * aw, 0.5 * ah);
  add.Pixels("cmb_modeanalisis", an, 0.5 * aw, 0, 0.5 * aw, 0.5 * ah);
  add.Pixels("Cmd_analyze", an, 0.3 * aw, 0.5 * ah, 0.7 * aw, 0.5 * ah);

  // The group editor's frame lies on the group lists.
  add.Pixels("Framegrup", plots, 0.125 * p2, 0.5 * q2, 1.35 * p2, 8.5 * q2);
  const char* edit = "Framegrup";
  add.Twips("Cmd_clear", edit, 0.05 * U, 0.25 * V, 0.65 * U, V);
  add.Twips("cmdcancelgrups", edit, 0.7 * U, 0.25 * V, 0.65 * U, V);
  add.Twips("lblset", edit, 0.05 * U, 1.5 * V, 0.2 * U, 0.6 * V);
  add.TwipsKeepHeight("Combo_sets", edit, 0.3 * U, 1.5 * V, 0.65 * U, lh);
  add.Twips("cmd_goset", edit, 0.95 * U, 1.5 * V, 0.35 * U, 0.6 * V);
  add.Twips("combogrup2", edit, 0.05 * U, 2.5 * V, 1.25 * U, 6 * V);
  return layout;
}

}  // namespace offline
