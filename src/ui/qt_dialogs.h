#pragma once
// The program's message, question and input boxes on screen: modal, over the front
// window (ui::FrontWindow), with no title of their own. The program's main installs one at start
// (platform::SetDialogs).
#include <optional>
#include <string>

#include "platform/dialogs.h"

namespace ui {

class QtDialogs final : public platform::Dialogs {
 public:
  void MsgBox(const std::string& text) override;
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

}  // namespace ui
