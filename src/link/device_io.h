#pragma once
// Sending a frame to the instrument and collecting its reply, on the instrument's
// port. Each procedure traps its own failures and answers as for a failed exchange.
#include <array>
#include <cstdint>

namespace devlink {

inline constexpr int kLevelBlockSize = 97;
// The levels of the last block read, in arrival order; -1 = not received.
extern std::array<int32_t, kLevelBlockSize> Level_Block;

// The port the instrument is on. The connection records the port it opened, so a
// later change of `Serial_COM` (the COM menu) cannot make the program poll or close
// another port; with nothing recorded it is `Serial_COM`.
int InstrumentPort();
// Records the opened port (0 forgets it).
void SetInstrumentPort(int port);

// Sends the frame and waits until it has left (no reply will tell); no reply is read.
// False when all 5 bytes were written, true otherwise (also for an argument that is
// not a byte: nothing is sent).
bool DeviceWrite(int reg, int value, int mode);
// Purges the input (a stale byte would pass for the answer), sends the frame and
// reads 2 bytes; the first one 0..255, or -1 when none came. An argument that is not
// a byte gives -1 without sending anything. `received`, when given, gets the number
// of reply bytes that came (a lone first byte still gives its value).
int16_t DeviceQuery(int reg, int value, int mode, int* received = nullptr);
// Purges the input, sends the frame and reads a 192-byte block into `Level_Block`: 0 when all of it
// came and every word is good, -1 otherwise. Gives up at the first read that brings
// nothing or after about 2 s in all; a bad word ends the decode, the entries
// decoded so far stay.
int16_t DeviceReadChannels(int reg, int value, int mode);

}  // namespace devlink
