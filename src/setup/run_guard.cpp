#include "setup/run_guard.h"

#include "platform/dialogs.h"
#include "storage/shared_state.h"

namespace setup {

bool RefusedDuringRun() {
  if (storage::Shared().Acq_State == 0) return false;
  platform::GetDialogs().MsgBox(storage::kRunningRefusal);
  return true;
}

}  // namespace setup
