#pragma once
// The simulated instrument for any subsystem's tests: it serves in a background
// thread of the test process over a pseudo-terminal linked as ports/COM<com> in the
// program folder (use it inside a TempProgramFolder), and stops when destroyed.
//
//   testsupport::TempProgramFolder folder;
//   testsupport::SimHarness sim(4);              // the instrument on COM4
//   sim->SetReplyMode(sim::ReplyMode::kGroup);   // 48-byte replies to 0x30
//   sim->SetFault(sim::Fault::kSilence, 1);      // the next reply is swallowed
//   ... CommOpen(4, "COM4", devlink::kInstrumentSettings) ...
//   sim->Received();                             // every byte the program sent
//
// Header only: a test program that includes it links quenlar_sim
// (quenlar_tests(<name> DEPS ... quenlar_sim)).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "instrument-sim/sim_server.h"
#include "platform/program_folder.h"

namespace testsupport {

class SimHarness {
 public:
  explicit SimHarness(int com = 4, const std::filesystem::path& home = platform::ProgramFolder())
      : com_(com) {
    std::string error;
    if (!server_.Start(home, com, &error)) ADD_FAILURE() << "simulator did not start: " << error;
  }
  ~SimHarness() { server_.Stop(); }
  SimHarness(const SimHarness&) = delete;
  SimHarness& operator=(const SimHarness&) = delete;

  // The server: reply mode, serial number, factory record, temperature, pacing,
  // faults, WithModel for anything else, Received for the bytes on the wire.
  sim::SimServer& server() { return server_; }
  sim::SimServer* operator->() { return &server_; }
  int com() const { return com_; }
  std::string port_name() const { return "COM" + std::to_string(com_); }

 private:
  int com_;
  sim::SimServer server_;
};

}  // namespace testsupport
