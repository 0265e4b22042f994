#include <gtest/gtest.h>

#include "formlib/Forms.h"
#include "formlib/RunLog.h"
#include "support/FakeHost.h"
#include "support/FakeUi.h"

namespace {

struct PlainForm : Form {
  PlainForm() : Form("Form1", 10, 10) {}
  void Click(Control&) override {}
};

constexpr char kLog[] = "C:\\Logs\\setup.log";

struct LogWorld {
  LogWorld() {
    host.AddFolder("C:\\Logs");
    EXPECT_TRUE(log.Open(kLog));
  }
  FakeHost host;
  RunLog log{host};
};

// A line: the seconds since the log's start, right-aligned in 8 places,
// two blanks, the text with its line breaks spelled out, the host's line end.
TEST(RunLogTest, LinesCarryTheElapsedTimeAndTheHostsLineEnd) {
  const struct {
    const char* line_end;
    uint32_t later_ms;
    const char* text;
    const char* line;
  } cases[] = {
      {"\r\n", 0, "started", "   0.000  started\r\n"},
      {"\n", 1234, "two\nlines\r", "   1.234  two\\nlines\\r\n"},
      {"\r\n", 123456789, "", "123456.789  \r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    FakeHost host;
    host.AddFolder("C:\\Logs");
    host.log_line_end = c.line_end;
    RunLog log(host);
    log.Write("before the file: nowhere");
    ASSERT_TRUE(log.Open(kLog));
    host.ticks += c.later_ms;
    log.Write(c.text);
    EXPECT_EQ(host.FileContent(kLog), c.line);
  }
}

TEST(RunLogTest, AFailedWriteIsToldOnceAndEndsTheLog) {
  LogWorld w;
  std::vector<std::string> told;
  w.log.SetWriteFailureHandler([&told](const std::string& at) { told.push_back(at); });
  w.log.Write("fits");
  w.host.disk_space = 4;
  w.host.ticks += 2500;
  w.log.Write("does not fit");
  w.log.Write("after the failure");
  EXPECT_EQ(told, std::vector<std::string>{"2.500"});
  EXPECT_TRUE(w.log.incomplete());
  EXPECT_FALSE(w.log.active());
  EXPECT_EQ(w.log.failed_at(), "2.500");
  EXPECT_EQ(w.host.FileContent(kLog), "   0.000  fits\r\n   2");  // as far as it fit
}

TEST(RunLogTest, ThePlanGoesToTheLogAndToItsOutput) {
  LogWorld w;
  RunPlan plan(w.log);
  plan.Report("unseen on the output");
  std::string output;
  plan.SetOutput([&output](const std::string& text) { output += text; });
  plan.Report("WorkFolder: C:\\Work\\");
  EXPECT_EQ(output, "WorkFolder: C:\\Work\\\n");
  EXPECT_EQ(w.host.FileContent(kLog),
            "   0.000  unseen on the output\r\n   0.000  WorkFolder: C:\\Work\\\r\n");
}

// The decorator writes each box before its answer and each modal dialog,
// and passes every call through.
TEST(LoggingUiTest, BoxesAndDialogsAreLoggedAndEveryCallIsForwarded) {
  LogWorld w;
  FakeUi screen;
  LoggingUi ui(screen, w.log);
  PlainForm form;
  form.caption = "DB Login";
  screen.on_modal = [](Form&) {};
  Control button("Next1", ControlKind::kButton, nullptr, {0, 0, 1, 1});
  ui.SetApplicationTitle("Update...");
  ui.AttachForm(form);
  ui.DisplayForm(form, false);
  ui.DisplayForm(form, true);
  ui.HideForm(form);
  ui.BringToFront(form);
  ui.Repaint(form, &button);
  ui.PumpEvents();
  screen.QueueClick(form, button);
  UiEvent event{};
  EXPECT_TRUE(ui.NextEvent(&event, false));
  EXPECT_EQ(event.control, &button);
  screen.browse_answers = {std::string("D:\\Web")};
  EXPECT_EQ(ui.BrowseForFolder(&form, "Browse"), std::optional<std::string>("D:\\Web"));
  ui.OpenWebAddress("https://example.com/");
  EXPECT_EQ(screen.ui_log, (std::vector<std::string>{"title Update...", "attach Form1",
                                                     "display Form1", "display Form1", "hide Form1",
                                                     "front Form1", "repaint Next1", "pump"}));
  EXPECT_EQ(screen.browse_titles, std::vector<std::string>{"Browse"});
  EXPECT_EQ(screen.web_addresses, std::vector<std::string>{"https://example.com/"});

  screen.ExpectBox("It failed.", "ERROR", kMbOk | kMbIconError, kIdOk);
  EXPECT_EQ(ui.ShowMessageBox(&form, "It failed.", "ERROR", kMbOk | kMbIconError), kIdOk);
  EXPECT_EQ(screen.last_box_owner, &form);
  screen.ExpectBox("Go on?\nReally?", "ERROR", kMbYesNo | kMbIconQuestion | kMbDefButton2, kIdNo);
  EXPECT_EQ(ui.ShowMessageBox(nullptr, "Go on?\nReally?", "ERROR",
                              kMbYesNo | kMbIconQuestion | kMbDefButton2),
            kIdNo);
  EXPECT_EQ(w.host.FileContent(kLog),
            "   0.000  dialog \"DB Login\" opened\r\n"
            "   0.000  box \"ERROR\" MB_OK|MB_ICONERROR: It failed.\r\n"
            "   0.000  box answered: OK\r\n"
            "   0.000  box \"ERROR\" MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2: Go on?\\nReally?\r\n"
            "   0.000  box answered: No\r\n");
}

}  // namespace
