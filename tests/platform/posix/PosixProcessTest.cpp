#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "TempFolder.h"
#include "platform/posix/PosixHost.h"

namespace {

// Writes its arguments, the prefix it was given, two variables and what its
// standard input is, each ended by a zero byte, to argv.out beside itself.
const char kArgvScript[] =
    "#!/bin/sh\n"
    "out=\"$(dirname \"$0\")/argv.out\"\n"
    ": > \"$out\"\n"
    "for a in \"$@\"; do printf '%s\\000' \"$a\" >> \"$out\"; done\n"
    "printf 'prefix=%s\\000' \"$CORVANTIS_PREFIX\" >> \"$out\"\n"
    "printf 'PGHOST=%s\\000' \"$PGHOST\" >> \"$out\"\n"
    "printf 'PGPORT=%s\\000' \"$PGPORT\" >> \"$out\"\n"
    "printf 'stdin=%s\\000' \"$(readlink /proc/self/fd/0)\" >> \"$out\"\n";

class PosixProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeHostFolders(prefix_ / "drive_c/Tools");
    PosixHostOptions options;
    options.prefix = prefix_.path();
    host_ = CreatePosixHost(options);
    host_->SetNoticeSink([this](const std::string& line) { diagnostics_ << line << "\n"; });
  }

  void AddScript(const std::string& name, const std::string& text) {
    const std::string path = prefix_ / ("drive_c/Tools/" + name);
    WriteHostFile(path, text);
    ASSERT_EQ(chmod(path.c_str(), 0755), 0);
  }

  // Waits as the installer does; the count of waits that reported input.
  HostProcess::Wait WaitForEnd(HostProcess& process, int* input_waits) {
    for (int i = 0; i < 1000; ++i) {
      const HostProcess::Wait w = process.WaitForExitOrInput();
      if (w != HostProcess::Wait::kInput) return w;
      ++*input_waits;
    }
    return HostProcess::Wait::kInput;
  }

  std::vector<std::string> Output() {
    std::vector<std::string> fields;
    const std::string bytes = ReadHostFile(prefix_ / "drive_c/Tools/argv.out");
    size_t start = 0;
    for (size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
      fields.push_back(bytes.substr(start, end - start));
    return fields;
  }

  TempFolder prefix_;
  std::ostringstream diagnostics_;
  std::unique_ptr<Host> host_;
};

// The line is split as a Windows program's C runtime splits its own, and
// the environment is this process's with the additions on top.
TEST_F(PosixProcessTest, ArgumentsAndEnvironmentReachTheChildByteForByte) {
  AddScript("argv.exe", kArgvScript);
  ASSERT_EQ(setenv("PGHOST", "elsewhere", 1), 0);
  ASSERT_EQ(setenv("PGPORT", "5999", 1), 0);
  // The program without ".exe" and in other letter case, as CreateProcess takes it.
  const std::string command_line =
      "\"C:\\TOOLS\\Argv\" -w -n \"Apache2.2\" \"with  two blanks\" back\\slash "
      "\"C:\\Intranet\\\\\" mid\"dle quo\"ted 'single' tab\there \"a \\\"b\\\\\\\" -c x\" "
      "line\nbreak \"say \"\"hi\"\" x\"";
  std::unique_ptr<HostProcess> process =
      host_->StartProcess(command_line, {{"PGHOST", "db server"}, {"PGPASSWORD", "s3cret"}});
  ASSERT_NE(process, nullptr) << diagnostics_.str();
  EXPECT_EQ(process->ExitCode(), std::nullopt);
  int input_waits = 0;
  EXPECT_EQ(WaitForEnd(*process, &input_waits), HostProcess::Wait::kExited);
  EXPECT_EQ(process->WaitForExitOrInput(), HostProcess::Wait::kExited);
  EXPECT_EQ(process->ExitCode(), 0u);
  unsetenv("PGHOST");
  unsetenv("PGPORT");

  EXPECT_EQ(
      Output(),
      (std::vector<std::string>{
          "-w", "-n", "Apache2.2", "with  two blanks", "back\\slash", "C:\\Intranet\\",
          "middle quoted", "'single'", "tab", "here", "a \"b\\\" -c x", "line\nbreak", "say \"hi",
          "x", "prefix=" + prefix_.path(), "PGHOST=db server", "PGPORT=5999", "stdin=/dev/null"}));
}

TEST_F(PosixProcessTest, ExitStatusIsTheProgramsOwnOr128PlusItsSignal) {
  struct Case {
    const char* script;
    uint32_t status;
  };
  const Case cases[] = {
      {"#!/bin/sh\nexit 0\n", 0},
      {"#!/bin/sh\nexit 2\n", 2},
      {"#!/bin/sh\nkill -9 $$\n", 128 + 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    AddScript("status.exe", c.script);
    std::unique_ptr<HostProcess> process = host_->StartProcess("C:\\Tools\\status.exe", {});
    ASSERT_NE(process, nullptr);
    int input_waits = 0;
    EXPECT_EQ(WaitForEnd(*process, &input_waits), HostProcess::Wait::kExited);
    EXPECT_EQ(process->ExitCode(), c.status);
  }
}

TEST_F(PosixProcessTest, WaitLetsTheUserInterfaceRunWhileTheChildRuns) {
  AddScript("slow.exe", "#!/bin/sh\nsleep 0.3\n");
  std::unique_ptr<HostProcess> process = host_->StartProcess("C:\\Tools\\slow.exe", {});
  ASSERT_NE(process, nullptr);
  int input_waits = 0;
  EXPECT_EQ(WaitForEnd(*process, &input_waits), HostProcess::Wait::kExited);
  EXPECT_GE(input_waits, 3);  // each wait lasts about 20 ms
}

TEST_F(PosixProcessTest, MissingOrUnrunnableProgramsDoNotStart) {
  AddScript("plain.txt", "not a program\n");
  chmod((prefix_ / "drive_c/Tools/plain.txt").c_str(), 0644);
  for (const char* command_line : {"C:\\Tools\\missing.exe -k stop", "\"C:\\Tools\\missing\"",
                                   "C:\\Tools", "C:\\Tools\\plain.txt", "", "\"\""}) {
    SCOPED_TRACE(command_line);
    EXPECT_EQ(host_->StartProcess(command_line, {}), nullptr);
  }
  // Not reported: the web server's commands that cannot start are ignored.
  // (The host has no terminal of its own any more: it cannot print there.)
  EXPECT_EQ(diagnostics_.str(), "");
}

}  // namespace
