#pragma once
// The message, question and input boxes every subsystem may show. Logic calls this
// interface without knowing about windows; the program installs the Qt boxes, tests
// install a scripted answerer, and an unattended run installs one that logs and
// takes the default answer so nothing waits for a person who is not there.
#include <optional>
#include <string>

namespace platform {

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // An OK box: the text and an OK button, no title of its own.
  virtual void MsgBox(const std::string& text) = 0;
  // A Yes/No question; true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // A Yes/No/Cancel question.
  enum class Answer { kYes, kNo, kCancel };
  virtual Answer AskYesNoCancel(const std::string& text) = 0;
  // An input box; nullopt when cancelled (an empty OK gives "").
  virtual std::optional<std::string> InputBox(const std::string& prompt,
                                              const std::string& default_text = "") = 0;
  // An OK/Cancel question; true for OK. Unless a kind of box says otherwise it is
  // asked as a Yes/No question.
  virtual bool AskOkCancel(const std::string& text) { return AskYesNo(text); }
  // An OK box with a title of its own; unless a kind of box shows titles, the title is
  // dropped.
  virtual void MsgBoxTitled(const std::string& text, const std::string& /*title*/) {
    MsgBox(text);
  }
  // An input box with a title of its own; unless a kind of box shows titles, the
  // title is dropped.
  virtual std::optional<std::string> InputBoxTitled(const std::string& prompt,
                                                    const std::string& title,
                                                    const std::string& default_text = "") {
    return InputBox(prompt, default_text);
  }
  // News that needs no answer and gets no box: a process without a screen writes it to
  // its log; on a screen the windows show it their own way.
  virtual void Note(const std::string& /*text*/) {}
};

// Writes every box to standard error and takes the default answer: OK, No, and the
// default text. What a process without a screen (or before the windows exist) uses.
class LoggingDialogs final : public Dialogs {
 public:
  void MsgBox(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  Answer AskYesNoCancel(const std::string& text) override;
  std::optional<std::string> InputBox(const std::string& prompt,
                                      const std::string& default_text) override;
  void Note(const std::string& text) override;
};

// The process-wide boxes.
Dialogs& GetDialogs();
// Installs `dialogs` (not owned); nullptr restores the logging boxes.
void SetDialogs(Dialogs* dialogs);

}  // namespace platform
