#include <gtest/gtest.h>

#include "engine/RunAndWait.h"
#include "formlib/Application.h"
#include "platform/Host.h"
#include "platform/win32/Win32TestSupport.h"

namespace {

class Win32ProcessTest : public ::testing::Test {
 protected:
  Win32ProcessTest() : host_(CreateHost(0, nullptr)), ui_(CreateUi(*host_)), app_(*host_, *ui_) {}
  void SetUp() override {
    child_ = host_->ProgramFolder() + "win32_child.exe";
    out_ = MakeScratchFolder("process") + "command-line.txt";
    SetEnvironmentVariableA("CORVANTIS_CHILD_OUT", out_.c_str());
    SetEnvironmentVariableA("CORVANTIS_CHILD_DELAY", nullptr);
  }
  void TearDown() override { SetEnvironmentVariableA("CORVANTIS_CHILD_OUT", nullptr); }

  // The child's command line: its quoted path, then `tail`.
  std::string Child(const std::string& tail = "") const { return "\"" + child_ + "\"" + tail; }

  std::unique_ptr<Host> host_;
  std::unique_ptr<Ui> ui_;
  TApplication app_;
  std::string child_;
  std::string out_;
};

TEST_F(Win32ProcessTest, TheChildGetsTheCommandLineByteForByte) {
  // The tails of command lines as the install builds them, and some that a
  // splitting and re-joining of the arguments would change.
  const std::string tails[] = {
      "",
      " -w -n \"Apache2.2\" -k stop",
      " -q -f \"C:\\DOCUME~1\\ADMINI~1\\LOCALS~1\\Temp\\123456\\brevoxil.sql\" -U \"root\"",
      " /installdir:\"C:\\Program Files\\\" /silent",
      "   two  blanks\tand a tab  ",
      " \"\" empty \"quotes\"\"inside\"",
      " 100% \\\\server\\share caf\xe9",
  };
  for (const std::string& tail : tails) {
    SCOPED_TRACE(tail);
    DeleteFileA(out_.c_str());
    const std::string line = Child(tail);
    ASSERT_TRUE(RunAndWait(app_, line));
    EXPECT_EQ(ReadWholeFile(out_), line);
  }
}

TEST_F(Win32ProcessTest, AProgramThatDoesNotExistIsNotStarted) {
  EXPECT_FALSE(RunAndWait(app_, "\"C:\\nowhere\\bin\\httpd.exe\" -k stop"));
  // A server root without its trailing backslash runs folder and "bin"
  // together.
  EXPECT_FALSE(RunAndWait(app_, "\"C:\\Apache2.2bin\\httpd.exe\" -w -n \"Apache2.2\" -k stop"));
  EXPECT_EQ(host_->StartProcess("", {}), nullptr);
}

TEST_F(Win32ProcessTest, TheChildGetsTheAddedVariablesAndItsExitStatusIsRead) {
  SetEnvironmentVariableA("PGHOST", "elsewhere");
  SetEnvironmentVariableA("CORVANTIS_CHILD_EXIT", "2");
  struct Case {
    EnvironmentAdditions additions;
    const char* show;  // the variable the child writes out
    const char* shown;
  };
  const Case cases[] = {
      {{}, "PGHOST", "PGHOST=elsewhere"},
      {{{"PGHOST", "db server"}, {"PGPASSWORD", "s3cret"}}, "PGHOST", "PGHOST=db server"},
      {{{"pghost", "named in other case"}}, "PGHOST", "PGHOST=named in other case"},
      {{{"PGPASSWORD", "s3cret"}}, "PGPASSWORD", "PGPASSWORD=s3cret"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    DeleteFileA(out_.c_str());
    SetEnvironmentVariableA("CORVANTIS_CHILD_SHOW", c.show);
    std::optional<uint32_t> exit_code;
    ASSERT_TRUE(RunAndWait(app_, Child(), c.additions, &exit_code));
    EXPECT_EQ(ReadWholeFile(out_), c.shown);  // the child found CORVANTIS_CHILD_OUT too
    EXPECT_EQ(exit_code, 2u);
  }
  for (const char* name : {"PGHOST", "CORVANTIS_CHILD_EXIT", "CORVANTIS_CHILD_SHOW"})
    SetEnvironmentVariableA(name, nullptr);
}

class OneButtonForm : public Form {
 public:
  OneButtonForm()
      : Form("Form1", 200, 100), Button("Button", ControlKind::kButton, nullptr, {10, 10, 75, 25}) {
    Add(Button);
  }
  void Click(Control&) override {
    if (on_click) on_click();
  }
  Control Button;
  std::function<void()> on_click;
};

TEST_F(Win32ProcessTest, TheWaitRunsTheHandlersOfUserInputBeforeTheChildEnds) {
  OneButtonForm form;
  app_.CreateForm(form);
  form.displayed = true;
  ui_->DisplayForm(form, false);
  HWND window = FindWindowA("CorvantisForm", nullptr);
  ASSERT_NE(window, nullptr);
  HWND button = FindWindowExA(window, nullptr, "Button", nullptr);
  ASSERT_NE(button, nullptr);

  std::string seen_during_wait;
  int clicks = 0;
  form.on_click = [&] {
    ++clicks;
    seen_during_wait = ReadWholeFile(out_);
  };
  SetEnvironmentVariableA("CORVANTIS_CHILD_DELAY", "700");
  PostMessageA(button, BM_CLICK, 0, 0);
  ASSERT_TRUE(RunAndWait(app_, Child(" slow")));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(seen_during_wait, "<missing>");  // the click ran while the child slept
  EXPECT_EQ(ReadWholeFile(out_), Child(" slow"));
  ui_->HideForm(form);
}

TEST_F(Win32ProcessTest, AFileAnotherProcessHoldsWithoutSharingCannotBeOpened) {
  const std::string path = MakeScratchFolder("held") + "libarticles.dll";
  ASSERT_TRUE(WriteWholeFile(path, "MZ"));
  std::unique_ptr<HostProcess> holder =
      host_->StartProcess(Child(" hold \"" + path + "\" 3000"), {});
  ASSERT_NE(holder, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Exists(path + ".held"); }, 5));

  EXPECT_EQ(host_->OpenFileForRead(path, kShareRead), nullptr);
  EXPECT_EQ(host_->OpenFileForRead(path, kShareRead | kShareWrite), nullptr);
  EXPECT_EQ(host_->CreateFileForWrite(path), nullptr);
  EXPECT_FALSE(host_->RemoveFile(path));
  EXPECT_EQ(host_->FileAttributes(path), kAttributeNormal);  // it is there all the same

  while (holder->WaitForExitOrInput() == HostProcess::Wait::kInput) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  EXPECT_NE(host_->CreateFileForWrite(path), nullptr);
}

// The program's output and error go to the file asked for; a program that
// runs on is ended by Terminate, with the job it runs in.
TEST_F(Win32ProcessTest, OutputGoesToItsFileAndTerminateEndsTheProgram) {
  const std::string folder = MakeScratchFolder("output");
  ProcessOptions options;
  options.output_file = folder + "out.txt";
  std::unique_ptr<HostProcess> printer = host_->StartProcess(Child(" print hello"), {}, options);
  ASSERT_NE(printer, nullptr);
  while (printer->WaitForExitOrInput() == HostProcess::Wait::kInput) {
  }
  printer.reset();
  EXPECT_EQ(ReadWholeFile(options.output_file), "hello!");

  const std::string held = folder + "held.txt";
  std::unique_ptr<HostProcess> holder =
      host_->StartProcess(Child(" hold \"" + held + "\" 60000"), {}, {});
  ASSERT_NE(holder, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Exists(held + ".held"); }, 5));
  const DWORD start = GetTickCount();
  EXPECT_TRUE(holder->Terminate());
  EXPECT_EQ(holder->WaitForExitOrInput(), HostProcess::Wait::kExited);
  EXPECT_LT(GetTickCount() - start, 10000u);
}

}  // namespace
