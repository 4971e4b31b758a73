#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include <cfenv>
#include <cmath>

#include <cstdlib>
#include <filesystem>

#include "platform/clock.h"
#include "platform/launcher.h"
#include "platform/numeric.h"
#include "platform/program_folder.h"
#include "platform/serial_port.h"
#include "platform/shutdown.h"
#include "platform/system.h"
#include "platform/waiting.h"
#include "support/temp_folder.h"

namespace {

TEST(Numeric, RoundsHalfToEven) {
  EXPECT_EQ(platform::RoundHalfEven(0.5), 0.0);
  EXPECT_EQ(platform::RoundHalfEven(1.5), 2.0);
  EXPECT_EQ(platform::RoundHalfEven(2.5), 2.0);
  EXPECT_EQ(platform::RoundHalfEven(3.5), 4.0);
  EXPECT_EQ(platform::RoundHalfEven(-2.5), -2.0);
  EXPECT_EQ(platform::RoundHalfEven(2.5000001), 3.0);
  EXPECT_EQ(platform::RoundToInt(1e12), 2147483647);
  EXPECT_EQ(platform::Int(-2.5), -3.0);
  EXPECT_EQ(platform::Int(2.9), 2.0);
}

// The bulk rounding gives RoundToInt's value for each case, in the default rounding
// mode and in another.
TEST(Numeric, RoundToIntsRoundsEachAsRoundToInt) {
  const double cases[] = {0.5,          1.5,          2.5,          -0.5,         -2.5,
                          -0.0,         0.49999999,   7.0,          -1e-300,      2147483646.5,
                          2147483647.4, 2147483647.5, 2147483648.0, -2147483647.5, -2147483648.5,
                          1e12,         -1e12,        6755399441055744.0, NAN,    INFINITY,
                          -INFINITY};
  constexpr size_t kCount = sizeof cases / sizeof cases[0];
  for (const int mode : {FE_TONEAREST, FE_UPWARD}) {
    SCOPED_TRACE(mode);
    int32_t out[kCount];
    std::fesetround(mode);
    platform::RoundToInts(cases, out, kCount);
    std::fesetround(FE_TONEAREST);
    for (size_t i = 0; i < kCount; ++i) EXPECT_EQ(out[i], platform::RoundToInt(cases[i])) << cases[i];
  }
}

TEST(Numeric, ValReadsTheLeadingNumberOnly) {
  EXPECT_DOUBLE_EQ(platform::Val("2.5abc"), 2.5);
  EXPECT_DOUBLE_EQ(platform::Val("x"), 0.0);
  EXPECT_DOUBLE_EQ(platform::Val(""), 0.0);
  EXPECT_DOUBLE_EQ(platform::Val("  -12.75 C"), -12.75);
  EXPECT_DOUBLE_EQ(platform::Val("3,5"), 3.0);  // only "." separates decimals
  EXPECT_DOUBLE_EQ(platform::Val(".5"), 0.5);
  EXPECT_DOUBLE_EQ(platform::Val("1e3x"), 1000.0);
  EXPECT_DOUBLE_EQ(platform::Val("1.2.3"), 1.2);
}

TEST(Numeric, FixedFormatsUseThePoint) {
  setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(platform::FormatFixed(37.25, 1), "37.2");
  EXPECT_EQ(platform::FormatFixed(-0.04, 1), "0.0");
  EXPECT_EQ(platform::FormatFixed(3, 1), "3.0");
  EXPECT_EQ(platform::FormatZeroPadded(7, 2), "07");
  EXPECT_EQ(platform::FormatZeroPadded(7, 3), "007");
  EXPECT_EQ(platform::FormatZeroPadded(123, 2), "123");
}

TEST(Clock, ManualClockSleepsWithoutWaiting) {
  platform::ManualClock manual({2026, 12, 31, 23, 59, 30});
  platform::SetClock(&manual);
  const auto t0 = manual.MonotonicMs();
  platform::Sleep(30 * 60 * 1000);  // half an hour, instantly
  EXPECT_EQ(platform::MonotonicMs() - t0, 30 * 60 * 1000);
  const auto w = platform::Now();
  EXPECT_EQ(w.year, 2027);
  EXPECT_EQ(w.month, 1);
  EXPECT_EQ(w.day, 1);
  EXPECT_EQ(w.hour, 0);
  EXPECT_EQ(w.minute, 29);
  EXPECT_EQ(w.second, 30);
  platform::SetClock(nullptr);
  // The system clock is back and moves forward.
  const auto a = platform::MonotonicMs();
  platform::Sleep(2);
  EXPECT_GE(platform::MonotonicMs(), a + 2);
}

TEST(SerialPort, LowLatencyAsksTheAdaptersTimerFor1MsAndTakesARefusal) {
  testsupport::TempProgramFolder home;
  // Stand-ins for the adapter's device and for the system's sysfs folder.
  const auto device = home / "dev" / "ttyUSB7";
  testsupport::WriteBytes(device, "");
  const auto sysfs = home / "sys";
  const auto timer = sysfs / "class" / "tty" / "ttyUSB7" / "device" / "latency_timer";
  std::filesystem::create_directories(timer.parent_path());
  // A pseudo-terminal refuses the driver's low-latency flag.
  const int fd = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  struct Case {
    const char* what;
    const char* timer;  // nullptr: no timer; "": one that refuses writes
    const char* after;
    bool granted;
  } cases[] = {
      {"16 ms, the adapters' own", "16\n", "1", true},
      {"2 ms", "2\n", "1", true},
      {"already 1 ms", "1\n", "1\n", true},
      {"no timer to set", nullptr, nullptr, false},
      {"a timer that refuses the write", "", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(timer);
    if (c.timer && *c.timer) testsupport::WriteBytes(timer, c.timer);
    // Read as a number above 1, written back with an error.
    if (c.timer && !*c.timer) std::filesystem::create_symlink("/proc/uptime", timer);
    EXPECT_EQ(platform::RequestLowLatency(fd, device, sysfs), c.granted);
    if (c.after) {
      EXPECT_EQ(testsupport::ReadBytes(timer), c.after);
    }
  }
  ::close(fd);
}

TEST(System, FreeDiskSpace) {
  EXPECT_EQ(platform::FreeMBFromCounts(8, 512, 100000), 391);  // 390.625 MB
  EXPECT_EQ(platform::FreeMBFromCounts(0, 0, 0), 0);
  EXPECT_GE(platform::GetFreeDiskMB("/"), 0);
  EXPECT_EQ(platform::GetFreeDiskMB("/no/such/folder/anywhere"), -1);
}

TEST(System, ListSeparatorFollowsTheDecimalPoint) {
  EXPECT_EQ(platform::ListSeparatorFor(","), ";");
  EXPECT_EQ(platform::ListSeparatorFor("."), ",");
  EXPECT_EQ(platform::ListSeparatorFor(""), ",");
  const auto sep = platform::ListSeparator();
  EXPECT_TRUE(sep == "," || sep == ";");
}

TEST(ProgramFolder, EnvironmentOverridesTheExecutableFolder) {
  const char* old = std::getenv("QUENLAR_HOME");
  const std::string saved = old ? old : "";
  setenv("QUENLAR_HOME", "/tmp/quenlar-home-test/", 1);
  EXPECT_EQ(platform::ProgramFolder(), std::filesystem::path("/tmp/quenlar-home-test"));
  unsetenv("QUENLAR_HOME");
  EXPECT_EQ(platform::ProgramFolder(), platform::ExecutablePath().parent_path());
  {
    testsupport::TempProgramFolder folder;
    EXPECT_EQ(platform::ProgramFolder(), folder.path());
  }
  if (old) setenv("QUENLAR_HOME", saved.c_str(), 1);
}

// Commands asked while a work holds the port run after it, in the order asked; a turn
// that takes the port itself holds the rest back until it lets go.
TEST(PortTurns, WaitForTheWorkAndKeepTheirOrder) {
  static int notified = 0;
  platform::SetPortFreedNotifier([] { ++notified; });
  std::string done;
  platform::WhenPortFree([&] { done += "a"; });  // free: at once
  EXPECT_EQ(done, "a");
  const int owner = 0;
  {
    platform::WaitHook work([] { return true; });
    EXPECT_TRUE(platform::PortHeld());
    platform::WhenPortFree([&] { done += "b"; });
    platform::WhenPortFree([&] { done += "x"; }, &owner);
    platform::WhenPortFree([&] {
      done += "c";
      platform::WaitHook another([] { return true; });
      platform::WhenPortFree([&] { done += "e"; });
      platform::RunPortTurns();  // held again: nothing runs
    });
    platform::WhenPortFree([&] { done += "d"; });
    platform::DropPortTurns(&owner);
    platform::RunPortTurns();  // held: nothing runs
    EXPECT_EQ(done, "a");
    EXPECT_EQ(notified, 0);
  }
  EXPECT_EQ(notified, 1);  // the event loop is told once the port is free
  platform::RunPortTurns();
  EXPECT_EQ(done, "abcde");
  EXPECT_FALSE(platform::PortTurnsWaiting());
  platform::SetPortFreedNotifier(nullptr);
}

TEST(Launcher, MapsWindowsCommandsAndRecords) {
  EXPECT_EQ(platform::ShellTarget("explorer /home/u/p00001"), "/home/u/p00001");
  EXPECT_EQ(platform::ShellTarget("explorer /select,/home/u/p00001/report.txt"), "/home/u/p00001");
  EXPECT_EQ(platform::ShellTarget("notepad \"/tmp/a b.txt\""), "/tmp/a b.txt");
  EXPECT_EQ(platform::ShellTarget("mspaint /tmp/pic.bmp"), "/tmp/pic.bmp");
  EXPECT_EQ(platform::ShellTarget("format c:"), "");
  platform::RecordingLauncher rec;
  platform::SetLauncher(&rec);
  platform::GetLauncher().StartSelf("/run");
  platform::GetLauncher().Shell("notepad x.txt");
  platform::SetLauncher(nullptr);
  ASSERT_EQ(rec.calls.size(), 2u);
  EXPECT_EQ(rec.calls[0], "self: /run");
  EXPECT_EQ(rec.calls[1], "shell: notepad x.txt");
}

// Runs `args` in place of a forked child that has an extra descriptor open (40, as an
// open port would be) and SIGTERM blocked; gives the child's id and what it printed.
std::pair<pid_t, std::string> ReplacedChildOutput(const std::vector<std::string>& args) {
  int out[2];
  if (::pipe(out) != 0) return {-1, ""};
  std::fflush(nullptr);  // the child must not write this process's buffered output again
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], 1);
    ::dup2(out[1], 40);
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &term, nullptr);
    platform::ReplaceProcess(args);
    _exit(99);
  }
  ::close(out[1]);
  std::string text;
  char buf[512];
  for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) text.append(buf, size_t(n));
  ::close(out[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {-1, text};
  return {child, text};
}

// The restart's new instance takes the old one's place: the same process (whoever
// waits for it goes on waiting), no descriptor of the old one but the standard three
// (the serial port is free for its connection), and the termination signals not held
// back whatever the old one blocked.
TEST(Launcher, TheRestartReplacesTheProcess) {
  const auto [pid, status] = ReplacedChildOutput({"/bin/cat", "/proc/self/status"});
  ASSERT_GT(pid, 0) << "the replacement did not run";
  EXPECT_NE(status.find("\nPid:\t" + std::to_string(pid) + "\n"), std::string::npos) << status;
  EXPECT_NE(status.find("\nSigBlk:\t0000000000000000\n"), std::string::npos) << status;

  const auto [shell, fds] = ReplacedChildOutput({"/bin/sh", "-c", "ls /proc/$$/fd"});
  ASSERT_GT(shell, 0) << "the replacement did not run";
  EXPECT_EQ(fds, "0\n1\n2\n");
}

// xdg-open stood in for by a script on PATH: a failure it reports in time is a failure,
// one still running after the wait has opened the document.
TEST(Launcher, TheOpenersVerdictIsAwaitedBriefly) {
  testsupport::TempProgramFolder bin;
  const std::string path = std::getenv("PATH");
  setenv("PATH", bin.path().c_str(), 1);
  int waits = 0;
  platform::SetLaunchWaitHook([&] { ++waits; });
  const std::pair<const char*, bool> cases[] = {
      {"exit 0", true}, {"exit 3", false}, {"exec /bin/sleep 3", true}, {"", false}};
  for (const auto& [script, opened] : cases) {
    std::error_code ec;
    std::filesystem::remove(bin / "xdg-open");  // "": none
    if (*script) testsupport::WriteBytes(bin / "xdg-open", std::string("#!/bin/sh\n") + script);
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all, ec);
    EXPECT_EQ(platform::SystemLauncher().Shell("notepad /tmp/x.txt"), opened) << script;
  }
  EXPECT_GT(waits, 0);
  platform::SetLaunchWaitHook(nullptr);
  setenv("PATH", path.c_str(), 1);
}

TEST(Shutdown, HooksRunOnceInOrderAfterASignal) {
  platform::ResetShutdown();
  platform::InstallShutdownSignals();
  std::string order;
  platform::AddShutdownHook([&] { order += "outputs-off;"; });
  platform::AddShutdownHook([&] { order += "port-closed;"; });
  EXPECT_FALSE(platform::ShutdownRequested());
  raise(SIGTERM);
  EXPECT_TRUE(platform::ShutdownRequested());
  platform::RunShutdownHooks();
  platform::RunShutdownHooks();
  EXPECT_EQ(order, "outputs-off;port-closed;");
  platform::ResetShutdown();
}

}  // namespace

#include "support/scripted_dialogs.h"

namespace {

TEST(Dialogs, ScriptedAnswersAndExactLog) {
  testsupport::ScriptedDialogs dialogs;
  dialogs.AnswerYes().ExpectOk().AnswerInput("COM7").Answer3(platform::Dialogs::Answer::kCancel);
  EXPECT_TRUE(platform::GetDialogs().AskYesNo("Sure to Quit?"));
  platform::GetDialogs().MsgBox("Acquisition finished");
  EXPECT_EQ(platform::GetDialogs().InputBox("Port?", "").value_or(""), "COM7");
  EXPECT_EQ(platform::GetDialogs().AskYesNoCancel("Discard?"), platform::Dialogs::Answer::kCancel);
  EXPECT_TRUE(dialogs.Exhausted());
  const std::vector<std::string> expected{"Sure to Quit?", "Acquisition finished", "Port?",
                                          "Discard?"};
  EXPECT_EQ(dialogs.log(), expected);
}

TEST(Dialogs, LoggingBoxesTakeTheDefaultAnswer) {
  platform::LoggingDialogs logging;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(logging.AskYesNo("Proceed?"));
  EXPECT_EQ(logging.InputBox("Name?", "Autorun project").value(), "Autorun project");
  logging.Note("2 of 9 bins could not be recorded: check the disk");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[question, answered No] Proceed?\n"
            "[input, answered \"Autorun project\"] Name?\n"
            "[note] 2 of 9 bins could not be recorded: check the disk\n");
}

}  // namespace
