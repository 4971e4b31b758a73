#pragma once
// Closing the instrument's port at the program's end, whatever the windows know.
namespace mainwindow {

// Closes the port the connection opened (nothing when none is open).
void ClosePort();

}  // namespace mainwindow
