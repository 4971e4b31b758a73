#pragma once
// The serial port procedures every exchange with the instrument goes through.
// Ports are addressed by an id 1..16 ("COM1".."COM16"); the layer keeps one table
// entry per id and a record of the last failure. Nothing here shows a message:
// results carry 0 or the failure's code, and the caller decides.
//
// Reads follow the port's time-outs (100 ms after the last byte, 200 ms in all per
// attempt) and give up after five short attempts, purging both queues so a late
// tail cannot pass for the start of the next reply.
#include <cstdint>
#include <string>

#include "platform/serial_port.h"

namespace devlink {

inline constexpr int kPortCount = 16;
inline constexpr int32_t kMaxReadCount = 512;
// The settings text the program passes to every open.
inline constexpr const char* kInstrumentSettings = "baud=115200 parity=N data=8 stop=1";

// Codes of failures that are the caller's fault rather than the system's.
inline constexpr int32_t kErrBadPortId = 9;    // port id outside 1..16
inline constexpr int32_t kErrBadArgument = 5;  // e.g. a read count outside 1..512

// The last failure, overwritten by each recorded failure.
struct CommErrorRecord {
  int32_t Comm_Error_Code = 0;
  std::string Comm_Error_Proc;
  std::string Comm_Error_Text;
};
const CommErrorRecord& LastCommError();

// Opens "COMn" with a settings text such as "baud=115200 parity=N data=8 stop=1".
// 0 on success; -1 when the port id is already open ("Port in use."); otherwise the
// failure's code. A failure after the device opened closes it again.
int32_t CommOpen(int port, const std::string& device, const std::string& settings);
// 0, also for a port that is not open.
int32_t CommClose(int port);
// Purges both queues; an error code when the port is not open.
int32_t CommFlush(int port);
// Replaces `data` with the bytes received (one char per byte); returns their
// number, 0..count. A count outside 1..512 is refused (0, failure recorded).
int32_t CommRead(int port, std::string& data, int32_t count);
// Returns the number of bytes written, or -1 when the write failed. The bytes are
// queued, not waited for: a frame that gets no reply is drained with CommDrain
// before anything may purge the port.
int32_t CommWrite(int port, const std::string& data);
// Waits until every byte written has left; 0 or the failure's code.
int32_t CommDrain(int port);
// Purges the input only, as a request about to be sent wants it: reads and drops what
// has arrived, and what arrives within `wait_us`. The number of bytes dropped
// (0 on a failure, which is recorded).
int32_t CommDiscardInput(int port, int wait_us);
// line 1 break, 2 DTR, 3 RTS; state nonzero sets, zero clears.
int32_t CommSetLine(int port, int line, bool state);

// The system's text for a code.
std::string CommErrorText(int32_t code);
// True when the port id is open in the table.
bool CommIsOpen(int port);

// Parses the settings text ("baud=", "parity=", "data=", "stop=" in any order;
// missing fields keep what `settings` holds). False on anything it cannot use.
bool ParseCommSettings(const std::string& text, platform::SerialLineSettings& settings);

// Closes every port (program exit, tests).
void CommCloseAll();

}  // namespace devlink
