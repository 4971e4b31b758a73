#include "link/comm_port.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <sstream>
#include <vector>

#include "platform/clock.h"
#include "platform/waiting.h"

namespace devlink {

namespace {

struct PortEntry {
  std::unique_ptr<platform::SerialPort> port;
  bool open = false;
  platform::SerialLineSettings dcb;
};

std::array<PortEntry, kPortCount> g_ports;
CommErrorRecord g_last;
// Ports closed while one of their reads let the windows run: that read is still on
// the stack, so the object outlives the close until it has returned.
std::vector<std::unique_ptr<platform::SerialPort>> g_closed_while_reading;

void Release(std::unique_ptr<platform::SerialPort>& port) {
  std::erase_if(g_closed_while_reading, [](const auto& p) { return !p->Waiting(); });
  if (port && port->Waiting()) g_closed_while_reading.push_back(std::move(port));
  port.reset();
}

bool ValidId(int port) { return port >= 1 && port <= kPortCount; }
PortEntry& Entry(int port) { return g_ports[static_cast<size_t>(port - 1)]; }

int32_t Record(int32_t code, const std::string& proc) {
  g_last.Comm_Error_Code = code;
  g_last.Comm_Error_Proc = proc;
  g_last.Comm_Error_Text = CommErrorText(code);
  return code;
}

// The read and write paths add the port's communication error flags. A POSIX port
// keeps no such flags, so none are ever pending.
int32_t RecordWithFlags(int32_t code, const std::string& proc) {
  Record(code, proc);
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", 0u);
  g_last.Comm_Error_Text += "  COMM Error Flags = ";
  g_last.Comm_Error_Text += hex;
  return code;
}

int32_t RecordRuntime(int32_t code, const std::string& proc, const std::string& text) {
  g_last.Comm_Error_Code = code;
  g_last.Comm_Error_Proc = proc;
  g_last.Comm_Error_Text = text;
  return code;
}

int32_t BadPort(const char* proc) {
  return RecordRuntime(kErrBadPortId, proc, "Subscript out of range");
}

void CloseEntry(PortEntry& e) {
  if (e.port) e.port->Close();
  Release(e.port);
  e.open = false;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool ParseInt(const std::string& s, int& out) {
  if (s.empty() || s.size() > 9) return false;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  out = v;
  return true;
}

}  // namespace

const CommErrorRecord& LastCommError() { return g_last; }

std::string CommErrorText(int32_t code) { return platform::SerialErrorText(code); }

bool CommIsOpen(int port) { return ValidId(port) && Entry(port).open; }

bool ParseCommSettings(const std::string& text, platform::SerialLineSettings& settings) {
  std::istringstream in(Lower(text));
  std::string item;
  bool any = false;
  platform::SerialLineSettings s = settings;
  while (in >> item) {
    auto eq = item.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 >= item.size()) return false;
    std::string key = item.substr(0, eq);
    std::string value = item.substr(eq + 1);
    int n = 0;
    if (key == "baud") {
      if (!ParseInt(value, n) || n <= 0) return false;
      s.baud = n;
    } else if (key == "parity") {
      if (value != "n" && value != "e" && value != "o") return false;
      s.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
    } else if (key == "data") {
      if (!ParseInt(value, n) || n < 5 || n > 8) return false;
      s.data_bits = n;
    } else if (key == "stop") {
      if (!ParseInt(value, n) || (n != 1 && n != 2)) return false;
      s.stop_bits = n;
    } else {
      return false;
    }
    any = true;
  }
  if (!any) return false;
  settings = s;
  return true;
}

int32_t CommOpen(int port, const std::string& device, const std::string& settings) {
  if (!ValidId(port)) return BadPort("CommOpen");
  PortEntry& e = Entry(port);
  if (e.open) return RecordRuntime(-1, "CommOpen", "Port in use.");

  auto serial = std::make_unique<platform::SerialPort>();
  if (int rc = serial->Open(platform::ResolveSerialDevice(device)); rc != 0)
    return Record(rc, "CommOpen (CreateFile)");
  e.port = std::move(serial);
  e.open = true;

  // A failure while setting up closes the port again: a half-configured handle
  // left open would lock the port for the rest of the session.
  auto fail = [&](int rc, const char* step) {
    Record(rc, step);
    CloseEntry(e);
    return rc;
  };
  // The kernel's queues are fixed: SetupComm has nothing to do here.
  if (int rc = e.port->Purge(); rc != 0) return fail(rc, "CommOpen (PurgeComm)");
  e.port->SetTimeouts(platform::SerialTimeouts{});
  if (int rc = e.port->GetLineSettings(e.dcb); rc != 0) return fail(rc, "CommOpen (GetCommState)");
  if (!ParseCommSettings(settings, e.dcb)) return fail(EINVAL, "CommOpen (BuildCommDCB)");
  if (int rc = e.port->SetLineSettings(e.dcb); rc != 0) return fail(rc, "CommOpen (SetCommState)");
  return 0;
}

int32_t CommClose(int port) {
  if (!ValidId(port)) return BadPort("CommClose");
  PortEntry& e = Entry(port);
  if (!e.open) return 0;
  int rc = e.port ? e.port->Close() : 0;
  Release(e.port);
  e.open = false;
  // The descriptor is released even when close reports an error, so the entry
  // cannot be kept open for a retry.
  if (rc != 0) return Record(rc, "CommClose (CloseHandle)");
  return 0;
}

int32_t CommFlush(int port) {
  if (!ValidId(port)) return BadPort("CommFlush");
  PortEntry& e = Entry(port);
  if (!e.open || !e.port) return Record(EBADF, "CommFlush (PurgeComm)");
  if (int rc = e.port->Purge(); rc != 0) return Record(rc, "CommFlush (PurgeComm)");
  return 0;
}

int32_t CommRead(int port, std::string& data, int32_t count) {
  data.clear();
  if (!ValidId(port)) {
    BadPort("CommRead");
    return 0;
  }
  if (count < 1 || count > kMaxReadCount) {
    RecordRuntime(kErrBadArgument, "CommRead", "Invalid procedure call or argument");
    return 0;
  }
  PortEntry& e = Entry(port);
  uint8_t buffer[kMaxReadCount];
  int32_t received = 0;
  int short_reads = 0;
  int last_rc = 0;
  while (received < count && short_reads < 5) {
    int got = 0;
    last_rc = (e.open && e.port) ? e.port->Read(buffer, count - received, got) : EBADF;
    data.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(got));
    received += got;
    if (received < count) {
      ++short_reads;
      if (platform::WaitStopped()) break;
      platform::Sleep(5);
    }
  }
  if (last_rc != 0) RecordWithFlags(last_rc, "CommRead (ReadFile)");
  if (received < count) CommFlush(port);
  return received;
}

int32_t CommWrite(int port, const std::string& data) {
  if (!ValidId(port)) {
    BadPort("CommWrite");
    return 0;
  }
  PortEntry& e = Entry(port);
  int written = 0;
  int rc = (e.open && e.port) ? e.port->Write(reinterpret_cast<const uint8_t*>(data.data()),
                                              static_cast<int>(data.size()), written)
                              : EBADF;
  if (rc != 0) {
    RecordWithFlags(rc, "CommWrite (WriteFile)");
    return -1;
  }
  return written;
}

int32_t CommDrain(int port) {
  if (!ValidId(port)) return BadPort("CommDrain");
  PortEntry& e = Entry(port);
  const int rc = (e.open && e.port) ? e.port->Drain() : EBADF;
  if (rc != 0) return RecordWithFlags(rc, "CommDrain (FlushFileBuffers)");
  return 0;
}

int32_t CommDiscardInput(int port, int wait_us) {
  if (!ValidId(port)) {
    BadPort("CommDiscardInput");
    return 0;
  }
  PortEntry& e = Entry(port);
  int discarded = 0;
  const int rc = (e.open && e.port) ? e.port->DiscardInput(wait_us, discarded) : EBADF;
  if (rc != 0) Record(rc, "CommDiscardInput (PurgeComm)");
  return discarded;
}

int32_t CommSetLine(int port, int line, bool state) {
  if (!ValidId(port)) return BadPort("CommSetLine");
  PortEntry& e = Entry(port);
  int rc;
  if (!e.open || !e.port) {
    rc = EBADF;
  } else if (line == 1) {
    rc = e.port->SetLine(platform::SerialLine::kBreak, state);
  } else if (line == 2) {
    rc = e.port->SetLine(platform::SerialLine::kDtr, state);
  } else if (line == 3) {
    rc = e.port->SetLine(platform::SerialLine::kRts, state);
  } else {
    rc = EINVAL;
  }
  if (rc != 0) return Record(rc, "CommSetLine (EscapeCommFunction)");
  return 0;
}

void CommCloseAll() {
  for (int p = 1; p <= kPortCount; ++p) CommClose(p);
}

}  // namespace devlink
