#pragma once
// Ending the program "at once", as the start window's quit, the main window's exit
// and a failed start-up do: every window goes away and the event loop ends with the
// exit code. Nothing else is unloaded. Before the event loop runs, the caller of the
// start-up sees Ended() and returns the code itself.
namespace ui {

void EndProgram(int exit_code);
bool ProgramEnded();
int ProgramExitCode();
// Forgets an ending (tests start several programs in one process).
void ResetProgramEnd();

}  // namespace ui
