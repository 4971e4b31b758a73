#pragma once
// The setup window leaves a run alone: while one exists (stopped is Acq_State 0),
// what would change the project under it is refused with a message.

namespace setup {

// True, after showing the refusal, while a run exists.
bool RefusedDuringRun();

}  // namespace setup
