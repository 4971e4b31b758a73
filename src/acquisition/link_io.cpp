#include "acquisition/link_io.h"

#include "link/comm_port.h"
#include "link/device_io.h"

namespace acquisition {

void LinkIo::Flush() { devlink::CommFlush(devlink::InstrumentPort()); }

int LinkIo::DiscardInput(int wait_us) {
  return devlink::CommDiscardInput(devlink::InstrumentPort(), wait_us);
}

int LinkIo::Write(const std::string& bytes) {
  return devlink::CommWrite(devlink::InstrumentPort(), bytes);
}

int LinkIo::Read(std::string& data, int count) {
  return devlink::CommRead(devlink::InstrumentPort(), data, count);
}

bool LinkIo::DeviceWrite(int reg, int value, int mode) {
  return devlink::DeviceWrite(reg, value, mode);
}

int LinkIo::DeviceQuery(int reg, int value, int mode) {
  return devlink::DeviceQuery(reg, value, mode);
}

int LinkIo::QueryReply(int reg, int value, int mode, int& received) {
  return devlink::DeviceQuery(reg, value, mode, &received);
}

}  // namespace acquisition
