#pragma once
// Answers the program's boxes from a script and logs their texts. A box that the
// script did not expect fails the current test with its text.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace testsupport {

class ScriptedDialogs final : public platform::Dialogs {
 public:
  // Installs itself as the process's boxes; the destructor restores the previous ones.
  ScriptedDialogs();
  ~ScriptedDialogs() override;
  ScriptedDialogs(const ScriptedDialogs&) = delete;
  ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

  // Queue answers, consumed in order by the boxes of the matching kind.
  ScriptedDialogs& ExpectOk() { script_.push_back({Kind::kOk, {}}); return *this; }
  ScriptedDialogs& AnswerYes() { script_.push_back({Kind::kYesNo, "yes"}); return *this; }
  ScriptedDialogs& AnswerNo() { script_.push_back({Kind::kYesNo, "no"}); return *this; }
  // Answers for Yes/No/Cancel questions.
  ScriptedDialogs& Answer3(Answer a) {
    script_.push_back({Kind::kYesNoCancel, a == Answer::kYes ? "yes" : a == Answer::kNo ? "no" : "cancel"});
    return *this;
  }
  // Answers for OK/Cancel questions.
  ScriptedDialogs& AnswerOk() { script_.push_back({Kind::kOkCancel, "ok"}); return *this; }
  ScriptedDialogs& AnswerCancel() { script_.push_back({Kind::kOkCancel, "cancel"}); return *this; }
  ScriptedDialogs& AnswerInput(const std::string& text) { script_.push_back({Kind::kInput, text}); return *this; }
  ScriptedDialogs& CancelInput() { script_.push_back({Kind::kInput, std::nullopt}); return *this; }
  // Runs `f` at every box before it is answered, as a real box runs the window
  // system's events while it waits for its answer.
  ScriptedDialogs& WhileShown(std::function<void()> f) {
    while_shown_ = std::move(f);
    return *this;
  }
  // Accept any number of OK boxes without scripting each (they are still logged).
  ScriptedDialogs& AllowAnyOk(bool allow = true) { allow_any_ok_ = allow; return *this; }

  void MsgBox(const std::string& text) override;
  void MsgBoxTitled(const std::string& text, const std::string& title) override;
  bool AskYesNo(const std::string& text) override;
  Answer AskYesNoCancel(const std::string& text) override;
  std::optional<std::string> InputBox(const std::string& prompt,
                                      const std::string& default_text) override;
  bool AskOkCancel(const std::string& text) override;
  std::optional<std::string> InputBoxTitled(const std::string& prompt, const std::string& title,
                                            const std::string& default_text) override;
  // Logged as it comes; it needs no answer.
  void Note(const std::string& text) override { log_.push_back(text); }

  // Every box shown and every note, in order, as its text (questions and prompts too).
  const std::vector<std::string>& log() const { return log_; }
  // The default answer each input box offered, in order.
  const std::vector<std::string>& input_defaults() const { return input_defaults_; }
  // The title of every input box, in order ("" for an untitled one).
  const std::vector<std::string>& input_titles() const { return input_titles_; }
  // The title of every OK box, in order ("" for an untitled one).
  const std::vector<std::string>& message_titles() const { return message_titles_; }
  // True when every scripted answer was used.
  bool Exhausted() const { return script_.empty(); }

 private:
  enum class Kind { kOk, kYesNo, kYesNoCancel, kOkCancel, kInput };
  struct Step {
    Kind kind;
    std::optional<std::string> answer;
  };
  std::optional<Step> Next(Kind kind, const std::string& text);

  std::deque<Step> script_;
  std::vector<std::string> log_;
  std::vector<std::string> input_defaults_;
  std::vector<std::string> input_titles_;
  std::vector<std::string> message_titles_;
  bool allow_any_ok_ = false;
  std::function<void()> while_shown_;
  platform::Dialogs* previous_;
};

}  // namespace testsupport
