#pragma once
// The connection's logic seen from the windows: the port search with its progress
// captions, the factory record read, and closing the port the connection opened.
#include <functional>
#include <string>

namespace mainwindow {

struct ConnectionProgress {
  std::function<void(const std::string&)> channel;  // lbl_autochannel, repainted
  std::function<void(const std::string&)> news;     // the start window's status line
  std::function<void()> events;                     // let pending window events run
};

// Finds and identifies the instrument; leaves Serial_COM, Serial_Number and
// Offline_Mode set and, on success, the port open.
void SearchForInstrument(const ConnectionProgress& progress);
// Reads the factory calibration record of the connected instrument.
void ReadFactoryRecord();
// Closes the port the connection opened (nothing when none is open).
void ClosePort();

}  // namespace mainwindow
