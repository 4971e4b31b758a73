#include "acquisition/connection.h"

#include <cctype>
#include <optional>

#include "acquisition/factory_record.h"
#include "link/comm_port.h"
#include "link/device_frame.h"
#include "link/device_io.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/numeric.h"
#include "platform/shutdown.h"
#include "storage/config_file.h"
#include "storage/shared_state.h"

namespace acquisition {

namespace {

constexpr int kLastSearchedPort = 15;
constexpr int kLineDtr = 2, kLineRts = 3;

std::string ComName(int port) { return "COM" + std::to_string(port); }

int32_t Open(int port) {
  return devlink::CommOpen(port, ComName(port), devlink::kInstrumentSettings);
}

// A typed port number: the whole text must be a number (blanks around it allowed),
// rounded to a whole one; nullopt for anything else or beyond 16 bits.
std::optional<int> TypedNumber(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  std::string t = text.substr(b, e - b);
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  bool digits = false, point = false;
  for (; i < t.size(); ++i) {
    if (std::isdigit(static_cast<unsigned char>(t[i])))
      digits = true;
    else if (t[i] == '.' && !point)
      point = true;
    else
      return std::nullopt;
  }
  if (!digits || t.size() > 12) return std::nullopt;
  double v = platform::RoundHalfEven(platform::Val(t));
  if (!platform::FitsInt16(static_cast<long long>(v))) return std::nullopt;
  return static_cast<int>(v);
}

}  // namespace

int32_t ReadDeviceId(int port) {
  devlink::CommSetLine(port, kLineRts, true);
  devlink::CommSetLine(port, kLineDtr, true);
  devlink::CommWrite(port, devlink::DeviceFrame(devlink::RegIdentify, 0, devlink::ModeCommand));
  platform::Sleep(5);
  std::string reply;
  devlink::CommRead(port, reply, devlink::kShortReplySize);
  int32_t value = devlink::IdentificationValue(reply);
  devlink::CommSetLine(port, kLineRts, false);
  devlink::CommSetLine(port, kLineDtr, false);
  return value;
}

InstrumentConnection::InstrumentConnection(ConnectionView* view) : view_(view ? view : &no_view_) {}

void InstrumentConnection::Progress(const std::string& text) { view_->SetProgress(text); }

bool InstrumentConnection::Identify(int port, int tries, bool show_found) {
  auto& s = storage::Shared();
  for (int t = 0; t < tries; ++t) {
    if (tries > 1) platform::Sleep(10);
    int32_t value = ReadDeviceId(port);
    // Wide arithmetic: a reply beyond 16 bits is a failed try like any other.
    if (devlink::IsInstrumentId(value)) {
      s.Serial_Number = static_cast<int16_t>(value);
      if (show_found) {
        view_->SetStartWindowStatus("Status = Connected on COM[ " + std::to_string(port) + " ]");
        Progress("Connected on COM[ " + std::to_string(port) + " ]");
      }
      return true;
    }
    s.Serial_Number = 0;
  }
  return false;
}

bool InstrumentConnection::SearchPorts() {
  auto& s = storage::Shared();
  Progress("Opening Port [" + std::to_string(s.Serial_COM) + "]");
  view_->DoEvents();
  platform::Sleep(100);

  bool found = false;
  const int configured = s.Serial_COM;
  if (Open(configured) != 0) {
    s.Serial_COM = 0;
  } else {
    found = Identify(configured, 1, false);
    devlink::CommClose(configured);
    if (!found) s.Serial_COM = 0;
  }

  while (!found && s.Serial_COM < kLastSearchedPort) {
    s.Serial_COM = static_cast<int16_t>(s.Serial_COM + 1);
    const int port = s.Serial_COM;
    Progress("Opening Port [" + std::to_string(port) + "]");
    view_->DoEvents();
    platform::Sleep(100);
    if (Open(port) != 0) continue;
    found = Identify(port, 2, true);
    devlink::CommClose(port);
  }
  return found;
}

bool InstrumentConnection::WaitBeforeRetry(int attempt) {
  Progress("Instrument not found (attempt " + std::to_string(attempt) +
           "): searching again in 5 s");
  constexpr int64_t kStepMs = 100;
  for (int64_t waited = 0; waited < kUnattendedRetryMs; waited += kStepMs) {
    view_->DoEvents();
    if (platform::ShutdownRequested() || view_->Ending()) return false;
    platform::Sleep(kStepMs);
  }
  return true;
}

void InstrumentConnection::ConnectComPort(bool unattended) {
  auto& s = storage::Shared();
  const int16_t configured = s.Serial_COM;
  const int64_t started = platform::MonotonicMs();
  bool found = SearchPorts();
  // Nobody is there to answer the port box: keep looking for a while first.
  for (int attempt = 1; unattended && !found; ++attempt) {
    if (platform::MonotonicMs() - started + kUnattendedRetryMs > kUnattendedSearchMs) break;
    if (!WaitBeforeRetry(attempt)) {
      s.Offline_Mode = true;
      return;
    }
    s.Serial_COM = configured;
    found = SearchPorts();
  }

  if (found) {
    // Reopened for the session; should another program have taken it meanwhile,
    // there is no instrument to work with.
    if (Open(s.Serial_COM) == 0) {
      devlink::SetInstrumentPort(s.Serial_COM);
      s.Offline_Mode = false;
    } else {
      s.Offline_Mode = true;
    }
    return;
  }
  TypedPort();
}

void InstrumentConnection::TypedPort() {
  auto& s = storage::Shared();
  auto answer = platform::GetDialogs().InputBox(
      "COM(" + std::to_string(s.Serial_COM) +
          ") PORT ERROR. Type New Port number or <Enter> to go Offline",
      "");
  if (!answer || answer->empty()) {
    s.Offline_Mode = true;
    return;
  }
  std::optional<int> n = TypedNumber(*answer);
  if (!n || *n <= 0 || *n >= 16) {
    s.Offline_Mode = true;
    return;
  }
  s.Serial_COM = static_cast<int16_t>(*n);
  if (Open(*n) != 0) {
    platform::GetDialogs().MsgBox("Invalid Port Number. Offline Mode");
    s.Offline_Mode = true;
    return;
  }
  // The typed port is kept for the next start, then the instrument must answer on it.
  storage::SaveConfig();
  if (Identify(*n, 2, true)) {
    devlink::SetInstrumentPort(*n);
    s.Offline_Mode = false;
    return;
  }
  devlink::CommClose(*n);
  platform::GetDialogs().MsgBox("Invalid Port Number. Offline Mode");
  s.Offline_Mode = true;
}

bool InstrumentConnection::Connect(bool auto_run) {
  auto& s = storage::Shared();
  // Closing the port under a run would fail its polls, and the search's and the
  // factory read's yields would let the tick's frames in between theirs.
  if (s.Acq_State != 0) return false;
  // Connecting again starts from a closed port, so the search can open it.
  if (s.Connected || devlink::CommIsOpen(devlink::InstrumentPort())) {
    devlink::CommClose(devlink::InstrumentPort());
    devlink::SetInstrumentPort(0);
    s.Connected = false;
  }

  view_->ShowProgressFrame();
  Progress("STARTING.....");
  view_->SetHeading("CONNECTING:");
  ConnectComPort(auto_run);
  if (platform::ShutdownRequested() || view_->Ending()) {
    view_->HideProgressFrame();
    return true;
  }
  view_->CheckComMenu(s.Serial_COM >= 1 && s.Serial_COM <= kLastSearchedPort ? s.Serial_COM : 0);
  s.Temp_Offset = kDefaultTempOffset;
  s.Temp_Slope = kDefaultTempSlope;
  if (s.Offline_Mode) {
    Progress("Equipment not found");
    platform::GetDialogs().MsgBox("PORT NOT FOUND");
    view_->ShowStartWindow();
  } else {
    Progress("Reading Factory Calibration...");
    s.Connected = true;
    ReadFactoryCalibration([this] { view_->DoEvents(); });
  }
  view_->HideProgressFrame();
  if (auto_run) view_->ArmUnattendedStart();
  return true;
}

DisconnectResult InstrumentConnection::Disconnect() {
  auto& s = storage::Shared();
  if (s.Acq_State != 0) return DisconnectResult::kRefusedRunning;
  if (s.Offline_Mode) return DisconnectResult::kOffline;
  devlink::CommClose(devlink::InstrumentPort());
  devlink::SetInstrumentPort(0);
  s.Connected = false;
  return DisconnectResult::kClosed;
}

}  // namespace acquisition
