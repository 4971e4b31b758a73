#pragma once
// The program's message, question and input boxes on screen: modal, over the front
// window (ui::FrontWindow), with no title of their own unless one is given; a box with a
// title is wide enough to show it whole. The program's main installs one at start
// (platform::SetDialogs).
#include <QString>
#include <optional>
#include <string>

#include "platform/dialogs.h"

namespace ui {

class QtDialogs final : public platform::Dialogs {
 public:
  void MsgBox(const std::string& text) override;
  void MsgBoxTitled(const std::string& text, const std::string& title) override;
  // Yes is the default button; Escape or closing the box answers No.
  bool AskYesNo(const std::string& text) override;
  Answer AskYesNoCancel(const std::string& text) override;
  std::optional<std::string> InputBox(const std::string& prompt,
                                      const std::string& default_text) override;
  // OK is the default button; Escape or closing the box answers Cancel.
  bool AskOkCancel(const std::string& text) override;
  std::optional<std::string> InputBoxTitled(const std::string& prompt, const std::string& title,
                                            const std::string& default_text) override;
};

// The width a box needs to show `title` whole in its title bar: the title at the
// window's title font and the room the window manager takes beside it (icon, buttons).
int TitleBarWidth(const QString& title);

}  // namespace ui
