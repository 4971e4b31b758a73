#include "platform/dialogs.h"

#include <cstdio>

namespace platform {

void LoggingDialogs::MsgBox(const std::string& text) {
  std::fprintf(stderr, "[message] %s\n", text.c_str());
}

bool LoggingDialogs::AskYesNo(const std::string& text) {
  std::fprintf(stderr, "[question, answered No] %s\n", text.c_str());
  return false;
}

Dialogs::Answer LoggingDialogs::AskYesNoCancel(const std::string& text) {
  std::fprintf(stderr, "[question, answered Cancel] %s\n", text.c_str());
  return Answer::kCancel;
}

std::optional<std::string> LoggingDialogs::InputBox(const std::string& prompt,
                                                    const std::string& default_text) {
  std::fprintf(stderr, "[input, answered \"%s\"] %s\n", default_text.c_str(), prompt.c_str());
  return default_text;
}

void LoggingDialogs::Note(const std::string& text) {
  std::fprintf(stderr, "[note] %s\n", text.c_str());
}

namespace {
LoggingDialogs g_logging;
Dialogs* g_dialogs = &g_logging;
}  // namespace

Dialogs& GetDialogs() { return *g_dialogs; }
void SetDialogs(Dialogs* dialogs) { g_dialogs = dialogs ? dialogs : &g_logging; }

}  // namespace platform
