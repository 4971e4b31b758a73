#include "setup/setup_layout.h"

#include "platform/numeric.h"

namespace setup {

SetupLayout ArrangeSetupControls(int width, int height, int combo_height) {
  SetupLayout layout;
  ui::LayoutBuilder add(layout.controls);
  const int ch = combo_height;
  const auto nearest = [](double x) { return platform::RoundHalfEven(x); };
  constexpr double kTwipsPerPixel = 15.0;

  // The window, in twips.
  const ui::WindowUnits units = ui::WindowUnitsOf(width, height);
  const double u = units.U, v = units.V, ml = units.M, mt = units.T;

  // Left panel; its units come from its size in whole pixels.
  const ui::PixelRect p1 = add.Twips("PicPanel1", "", 0.5 * ml, mt, 4.1 * u, 19.5 * v);
  const double a = nearest(p1.width / 4.1);
  const double b = nearest(p1.height / 19.5);
  add.Pixels("Picwell", "PicPanel1", 0.125 * a, 1.75 * b, 3.75 * a, 12.65 * b);
  const ui::PixelRect fa = add.Pixels("frm_advance", "PicPanel1", 0.05 * a, 10 * b, 3.9 * a, 9 * b);

  // The annotation panel, in twips of its own size.
  const double aw = nearest(fa.width * kTwipsPerPixel);
  const double ah = nearest(fa.height * kTwipsPerPixel);
  layout.annotation_width_twips = static_cast<int>(aw);
  layout.annotation_height_twips = static_cast<int>(ah);
  const char* adv = "frm_advance";
  add.Twips("Shape_advance", adv, 0.025 * aw, 0.025 * ah, 0.95 * aw, 0.95 * ah);
  add.Twips("Shape_globals", adv, 0.75 * aw, 0.075 * ah, 0.2 * aw, 0.85 * ah);
  add.Twips("lbl_global", adv, 0.765 * aw, 0.1 * ah, 0.17 * aw, 0.1 * ah);
  add.Twips("Chk_global_buffer", adv, 0.765 * aw, 0.2 * ah, 0.17 * aw, 0.1 * ah);
  add.Twips("txt_global_buffer", adv, 0.765 * aw, 0.3 * ah, 0.17 * aw, 0.1 * ah);
  add.Twips("Chk_global_strain", adv, 0.765 * aw, 0.4 * ah, 0.17 * aw, 0.1 * ah);
  add.Twips("txt_global_strain", adv, 0.765 * aw, 0.5 * ah, 0.17 * aw, 0.1 * ah);
  // "[org/well]" needs the column's width, as "Buffer" and "Strain" have: its value box
  // goes on the line below, as theirs do.
  add.Twips("Chk_global_orgnum", adv, 0.765 * aw, 0.6 * ah, 0.17 * aw, 0.1 * ah);
  add.Twips("txt_global_orgnum", adv, 0.765 * aw, 0.7 * ah, 0.17 * aw, 0.1 * ah);
  // The field chooser shows its longest field name beside its arrow; the value box
  // gives it the room.
  add.TwipsKeepHeight("combo_tool", adv, 0.05 * aw, 0.1 * ah, 0.15 * aw, ch);
  add.Twips("txt_global", adv, 0.2 * aw, 0.1 * ah, 0.325 * aw, 0.07 * ah);
  add.Twips("cmd_fill", adv, 0.525 * aw, 0.1 * ah, 0.1 * aw, 0.07 * ah);
  add.Twips("cmd_setglobal", adv, 0.625 * aw, 0.1 * ah, 0.1 * aw, 0.07 * ah);
  add.Twips("cmd_up", adv, 0.695 * aw, 0.3 * ah, 0.03 * aw, 0.1 * ah);
  add.Twips("Shape_track", adv, 0.695 * aw, 0.4 * ah, 0.03 * aw, 0.4 * ah);
  add.Twips("cmd_down", adv, 0.695 * aw, 0.8 * ah, 0.03 * aw, 0.1 * ah);

  // The rest of the left panel.
  const char* left = "PicPanel1";
  add.Pixels("Label_wellformat", left, 0.125 * a, 0.675 * b, 0.45 * a, ch);
  add.PixelsKeepHeight("Combowell", left, 0.6 * a, 0.675 * b, 0.75 * a, ch);
  add.Pixels("lbl_listgrupos", left, 1.45 * a, 0.675 * b, 1.5 * a, ch);
  add.Pixels("plate_option0", left, 1.025 * a, 0.515 * b, 0.5 * a, 0.5 * b, true);
  add.Pixels("plate_option1", left, 1.525 * a, 0.515 * b, 0.5 * a, 0.5 * b, true);
  add.Pixels("plate_option2", left, 1.025 * a, 1.015 * b, 0.5 * a, 0.5 * b, true);
  add.Pixels("plate_option3", left, 1.525 * a, 1.015 * b, 0.5 * a, 0.5 * b, true);
  add.Pixels("cmd_goset", left, 3.05 * a, 0.525 * b, 0.75 * a, 0.9 * b);
  add.Pixels("Label19", left, 2.25 * a, 14.35 * b, 0.3 * a, 0.5 * b);
  add.Pixels("lblnchannel", left, 2.55 * a, 14.35 * b, 0.6 * a, 0.5 * b);
  add.Pixels("Label_groupsname", left, 0.25 * a, 14.475 * b, 1.1 * a, 0.5 * b);
  add.Pixels("Cmd_clear", left, 1.5 * a, 14.475 * b, 0.5 * a, 0.5 * b);
  add.Pixels("combogrup", left, 0.25 * a, 15 * b, 1.75 * a, 3.5 * b);
  add.Pixels("cmd_annot_web", left, 3.275 * a, 15.5 * b, 0.75 * a, 0.5 * b);
  add.Pixels("txt_annot_id", left, 2.45 * a, 16.25 * b, 0.75 * a, 0.5 * b, true);
  add.Pixels("cmd_annot_sync", left, 3.275 * a, 16.25 * b, 0.75 * a, 0.5 * b, true);

  // The folder line of the window grid, hidden.
  add.Twips("Label_workingfolder", "", ml, 18.25 * v + mt, 0.6 * u, 0.5 * v, true);
  add.Twips("Txtfolder", "", 0.6 * u + ml, 18.25 * v + mt, 3 * u, 0.5 * v, true);

  // Right panel: pixel units for its own controls, twips units for its frames'.
  const ui::PixelRect p2 = add.Twips("PicPanel2", "", 4 * u + ml, mt, 2.05 * u, 19.5 * v);
  const double c = nearest(p2.width / 2.0);
  const double d = nearest(p2.height / 19.5);
  const double e = nearest(p2.width * kTwipsPerPixel / 2);
  const double f = nearest(p2.height * kTwipsPerPixel / 19.5);
  const char* right = "PicPanel2";
  add.Pixels("lbl_project", right, 0.12 * c, 0.5 * d, 1.5 * c, 0.75 * d);
  add.Pixels("chk_advance", right, 0.15 * c, 11 * d, 1.75 * c, 1 * d);
  add.Pixels("Command_main", right, 0.12 * c, 12.5 * d, 1.75 * c, 1.35 * d);
  add.Pixels("Cmdoffline", right, 0.12 * c, 14 * d, 1.75 * c, 1.35 * d);
  // Down to the settings frame's bottom edge, so the list covers its outline.
  add.Pixels("frm_project", right, 0, 2 * d, 1.95 * c, 9 * d);
  add.Pixels("Frame_setup", right, 0.05 * c, 1.75 * d, 1.9 * c, 9.25 * d);
  add.Pixels("Frame_advanced", right, 0.13 * c, 16.5 * d, 1.75 * c, 2.5 * d);

  const char* list = "frm_project";
  add.Twips("Label16", list, 0.1 * e, 0.15 * f, 1.75 * e, 0.6 * f);
  add.Twips("List_project", list, 0.1 * e, 0.85 * f, 1.75 * e, 6.6 * f);
  add.Twips("Cmd_cancel", list, 1.25 * e, 7.65 * f, 0.6 * e, 0.85 * f);

  const char* setup = "Frame_setup";
  add.Twips("txtprj", setup, 0.075 * e, 0.3 * f, 1.75 * e, 0.85 * f);
  add.Twips("cmdLoad", setup, 0.075 * e, 1.35 * f, 0.583 * e, 0.9 * f);
  add.Twips("Cmdsavepj", setup, 0.658 * e, 1.35 * f, 0.583 * e, 0.9 * f);
  add.Twips("Cmdnewpj", setup, 1.241 * e, 1.35 * f, 0.583 * e, 0.9 * f);
  add.Twips("Label_acqlapse", setup, 0.075 * e, 2.75 * f, 0.75 * e, 0.6 * f);
  add.Twips("Txtlapse", setup, 0.825 * e, 2.75 * f, 0.45 * e, 0.6 * f);
  add.Twips("Label_acqlapse2", setup, 1.3 * e, 2.75 * f, 0.5 * e, 0.6 * f);
  add.Twips("Lbl_keywords", setup, 0.075 * e, 3.5 * f, 0.5 * e, 0.6 * f);
  add.Twips("Txt_description", setup, 0.625 * e, 3.5 * f, 1.2 * e, 2 * f);
  // The method list has a line of its own under its label, across the frame, and the
  // frame starts higher to hold it: its entries are too long for the room beside the
  // label. Rows below a list start a list's height (pixels) below it.
  add.Twips("Shape_detection", setup, 0.075 * e, 5.7 * f, 1.75 * e, 3.55 * f);
  add.Twips("txt_detection", setup, 0.15 * e, 5.75 * f, 1.6 * e, 0.6 * f);
  add.Twips("lbl_organism", setup, 0.15 * e, 6.4 * f, 0.45 * e, 0.6 * f);
  add.TwipsKeepHeight("Cmb_organism", setup, 0.6 * e, 6.4 * f, 0.62 * e, ch);
  add.Twips("txt_snr", setup, 1.25 * e, 6.4 * f, 0.22 * e, 0.6 * f);
  add.Twips("lbl_snr", setup, 1.47 * e, 6.4 * f, 0.3 * e, 0.6 * f);
  const double method = 6.4 * f + ch * kTwipsPerPixel + 0.05 * f;
  add.Twips("lbl_dsp", setup, 0.15 * e, method, 0.6 * e, 0.6 * f);
  add.TwipsKeepHeight("ComboDSP", setup, 0.15 * e, method + 0.6 * f, 1.6 * e, ch);

  const char* options = "Frame_advanced";
  add.Twips("chklight", options, 0.05 * e, 0.1 * f, 0.85 * e, 0.55 * f);
  add.Twips("chktemp", options, 0.05 * e, 0.7 * f, 0.85 * e, 0.55 * f);
  add.Twips("Check_saverealtime", options, 0.9 * e, 0.1 * f, 0.85 * e, 0.55 * f);
  add.Twips("Label_savereal", options, 0.9 * e, 0.7 * f, 0.5 * e, 0.55 * f);
  add.TwipsKeepHeight("Combosavereal", options, 1.4 * e, 0.7 * f, 0.33 * e, ch);
  add.Twips("lbl_message", options, 0.05 * e, 1.8 * f, 1.7 * e, 0.6 * f);
  return layout;
}

}  // namespace setup
