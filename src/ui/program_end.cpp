#include "ui/program_end.h"

#include <QApplication>
#include <QWidget>

namespace ui {
namespace {
bool g_ended = false;
int g_exit_code = 0;
}  // namespace

void EndProgram(int exit_code) {
  if (!g_ended) g_exit_code = exit_code;
  g_ended = true;
  for (QWidget* w : QApplication::topLevelWidgets()) w->hide();
  QCoreApplication::exit(g_exit_code);
}

bool ProgramEnded() { return g_ended; }
int ProgramExitCode() { return g_exit_code; }

void ResetProgramEnd() {
  g_ended = false;
  g_exit_code = 0;
}

}  // namespace ui
