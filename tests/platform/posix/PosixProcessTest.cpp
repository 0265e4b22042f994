#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "TempFolder.h"
#include "platform/CommandLine.h"
#include "platform/posix/PosixHost.h"

namespace {

// Writes its arguments, the prefix it was given and what its standard
// input is, each ended by a zero byte, to argv.out beside itself.
const char kArgvScript[] =
    "#!/bin/sh\n"
    "out=\"$(dirname \"$0\")/argv.out\"\n"
    ": > \"$out\"\n"
    "for a in \"$@\"; do printf '%s\\000' \"$a\" >> \"$out\"; done\n"
    "printf 'prefix=%s\\000' \"$CORVANTIS_PREFIX\" >> \"$out\"\n"
    "printf 'stdin=%s\\000' \"$(readlink /proc/self/fd/0)\" >> \"$out\"\n";

class PosixProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeHostFolders(prefix_ / "drive_c/Tools");
    PosixHostOptions options;
    options.prefix = prefix_.path();
    options.input = &in_;
    options.output = &out_;
    options.diagnostics = &diagnostics_;
    host_ = CreatePosixHost(options);
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
  std::istringstream in_;
  std::ostringstream out_;
  std::ostringstream diagnostics_;
  std::unique_ptr<Host> host_;
};

TEST_F(PosixProcessTest, ArgumentsReachTheChildByteForByte) {
  AddScript("argv.exe", kArgvScript);
  // The program without ".exe" and in other letter case, as CreateProcess takes it.
  const std::string command_line =
      "\"C:\\TOOLS\\Argv\" -w -n \"Apache2.2\" \"with  two blanks\" back\\slash "
      "\"C:\\Intranet\\\\\" mid\"dle quo\"ted 'single' tab\there";
  std::unique_ptr<HostProcess> process = host_->StartProcess(command_line);
  ASSERT_NE(process, nullptr) << diagnostics_.str();
  int input_waits = 0;
  EXPECT_EQ(WaitForEnd(*process, &input_waits), HostProcess::Wait::kExited);
  EXPECT_EQ(process->WaitForExitOrInput(), HostProcess::Wait::kExited);

  std::vector<std::string> expected = SplitCommandLine(command_line);
  expected.erase(expected.begin());
  ASSERT_EQ(expected, (std::vector<std::string>{"-w", "-n", "Apache2.2", "with  two blanks",
                                                "back\\slash", "C:\\Intranet\\\\", "middle quoted",
                                                "'single'", "tab", "here"}));
  expected.push_back("prefix=" + prefix_.path());
  expected.push_back("stdin=/dev/null");
  EXPECT_EQ(Output(), expected);
}

TEST_F(PosixProcessTest, WaitLetsTheUserInterfaceRunWhileTheChildRuns) {
  AddScript("slow.exe", "#!/bin/sh\nsleep 0.3\n");
  std::unique_ptr<HostProcess> process = host_->StartProcess("C:\\Tools\\slow.exe");
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
    EXPECT_EQ(host_->StartProcess(command_line), nullptr);
  }
  EXPECT_NE(diagnostics_.str().find("missing.exe"), std::string::npos) << diagnostics_.str();
}

}  // namespace
