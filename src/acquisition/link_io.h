#pragma once
// The run's exchanges on the instrument port the connection opened.
#include "acquisition/instrument_io.h"

namespace acquisition {

class LinkIo final : public InstrumentIo {
 public:
  void Flush() override;
  int DiscardInput(int wait_us) override;
  int Write(const std::string& bytes) override;
  int Read(std::string& data, int count) override;
  bool DeviceWrite(int reg, int value, int mode) override;
  int DeviceQuery(int reg, int value, int mode) override;
  int QueryReply(int reg, int value, int mode, int& received) override;
};

}  // namespace acquisition
