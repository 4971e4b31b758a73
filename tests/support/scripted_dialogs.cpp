#include "support/scripted_dialogs.h"

#include <gtest/gtest.h>

namespace testsupport {

ScriptedDialogs::ScriptedDialogs() : previous_(&platform::GetDialogs()) {
  platform::SetDialogs(this);
}

ScriptedDialogs::~ScriptedDialogs() { platform::SetDialogs(previous_); }

std::optional<ScriptedDialogs::Step> ScriptedDialogs::Next(Kind kind, const std::string& text) {
  log_.push_back(text);
  if (while_shown_) while_shown_();
  if (!script_.empty() && script_.front().kind == kind) {
    Step s = script_.front();
    script_.pop_front();
    return s;
  }
  if (kind == Kind::kOk && allow_any_ok_) return Step{Kind::kOk, {}};
  ADD_FAILURE() << "unexpected dialog: \"" << text << "\"";
  return std::nullopt;
}

void ScriptedDialogs::MsgBox(const std::string& text) { MsgBoxTitled(text, ""); }

void ScriptedDialogs::MsgBoxTitled(const std::string& text, const std::string& title) {
  message_titles_.push_back(title);
  Next(Kind::kOk, text);
}

bool ScriptedDialogs::AskYesNo(const std::string& text) {
  auto s = Next(Kind::kYesNo, text);
  return s && s->answer == "yes";
}

platform::Dialogs::Answer ScriptedDialogs::AskYesNoCancel(const std::string& text) {
  auto s = Next(Kind::kYesNoCancel, text);
  if (!s || s->answer == "cancel") return Answer::kCancel;
  return s->answer == "yes" ? Answer::kYes : Answer::kNo;
}

bool ScriptedDialogs::AskOkCancel(const std::string& text) {
  auto s = Next(Kind::kOkCancel, text);
  return s && s->answer == "ok";
}

std::optional<std::string> ScriptedDialogs::InputBox(const std::string& prompt,
                                                     const std::string& default_text) {
  return InputBoxTitled(prompt, "", default_text);
}

std::optional<std::string> ScriptedDialogs::InputBoxTitled(const std::string& prompt,
                                                          const std::string& title,
                                                          const std::string& default_text) {
  input_titles_.push_back(title);
  input_defaults_.push_back(default_text);
  auto s = Next(Kind::kInput, prompt);
  if (!s) return std::nullopt;
  return s->answer;
}

}  // namespace testsupport
