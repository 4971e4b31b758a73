#pragma once
// Finding the instrument on a serial port, identifying it, and the connect and
// disconnect commands of the main window without the window: the window passes a
// ConnectionView for its captions and calls Connect / Disconnect from its handlers.
//
// Identification: FF 00 00 00 F0 with RTS and DTR raised; the reply b1, b2 gives
// b1 x 255 + b2, and a value in 10..250 is the instrument (its serial number).
#include <cstdint>
#include <string>

namespace acquisition {

// What the connection shows; every method has a default that shows nothing.
class ConnectionView {
 public:
  virtual ~ConnectionView() = default;
  // frm_autotext shown, picturecal hidden.
  virtual void ShowProgressFrame() {}
  // lbl_autotext, repainted at once.
  virtual void SetHeading(const std::string& text) {}
  // lbl_autochannel, repainted at once.
  virtual void SetProgress(const std::string& text) {}
  // frm_autotext hidden; picturecal and both labels shown, the labels emptied.
  virtual void HideProgressFrame() {}
  // Frm_Init's LblNews, repainted at once: the port the instrument answered on.
  virtual void SetStartWindowStatus(const std::string& text) {}
  // The COM menu: only item `port` carries the check mark; 0 = none.
  virtual void CheckComMenu(int port) {}
  // No instrument: Frm_Init shown, Frm_Main hidden.
  virtual void ShowStartWindow() {}
  // The unattended start: the start-up sequencer goes on with its run step.
  virtual void ArmUnattendedStart() {}
  // Lets pending window events run.
  virtual void DoEvents() {}
  // True once the program is ending (exit chosen meanwhile): a wait gives up.
  virtual bool Ending() { return false; }
};

// An unattended start keeps looking for the instrument this long, every 5 s: a USB
// adapter may take a while to come back after the automatic restart.
inline constexpr int64_t kUnattendedSearchMs = 10 * 60 * 1000;
inline constexpr int64_t kUnattendedRetryMs = 5000;

enum class DisconnectResult {
  kClosed,          // port closed, Connected cleared
  kOffline,         // nothing to close
  kRefusedRunning,  // a run is in progress: it is stopped first
};

class InstrumentConnection {
 public:
  // `view` may be null (no window); it must outlive the connection.
  explicit InstrumentConnection(ConnectionView* view = nullptr);

  // The connect command: port search, factory record, captions; with `auto_run`
  // it searches again every 5 s for up to 10 minutes before it gives up, then arms
  // the unattended start whether or not an instrument was found. Refused (false,
  // nothing touched) while a run exists: the run polls the open port.
  bool Connect(bool auto_run);
  // The port search: configured port first, then COM1..COM15 (with `unattended`,
  // again and again as Connect says), then the user's choice of a port number or
  // offline work. Leaves Serial_COM, Serial_Number and Offline_Mode set and, when the
  // instrument answered, its port open.
  void ConnectComPort(bool unattended = false);
  // The disconnect command.
  DisconnectResult Disconnect();

 private:
  // One pass over the ports; true when the instrument answered (its port then open).
  bool SearchPorts();
  // Waits between unattended searches, letting events run; false when the program ends.
  bool WaitBeforeRetry(int attempt);
  bool Identify(int port, int tries, bool show_found);
  void TypedPort();
  void Progress(const std::string& text);

  ConnectionView* view_;
  ConnectionView no_view_;
};

// One identification exchange on an open port: the value b1 x 255 + b2, b1 x 255
// when one byte came, -1 when none did.
int32_t ReadDeviceId(int port);

}  // namespace acquisition
