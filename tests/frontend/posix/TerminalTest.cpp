#include <gtest/gtest.h>

#include <sstream>

#include "formlib/Application.h"
#include "frontend/posix/Terminal.h"
#include "install/Settings.h"
#include "platform/posix/PathMap.h"
#include "platform/posix/PosixHost.h"
#include "platform/posix/TempFolder.h"
#include "versiongate/Dblogin.h"

namespace {

// A wizard-like form: two pages, a group box, a status panel, a progress
// bar, a link and three buttons.
class TestWizard : public Form {
 public:
  TestWizard()
      : Form("TestWizard", 484, 284),
        Pages("Pages", ControlKind::kPageControl, nullptr, {}),
        Page1("Page1", ControlKind::kPage, &Pages, {}),
        Page2("Page2", ControlKind::kPage, &Pages, {}),
        Text1("Text1", ControlKind::kLabel, &Page1, {}),
        Memo1("Memo1", ControlKind::kMemo, &Page1, {}),
        Group1("Group1", ControlKind::kGroupBox, &Page1, {}),
        Folder1("Folder1", ControlKind::kLabel, &Group1, {}),
        Browse1("Browse1", ControlKind::kButton, &Group1, {}),
        Status1("Status1", ControlKind::kPanel, &Page1, {}),
        Progress1("Progress1", ControlKind::kProgressBar, &Page1, {}),
        Hidden1("Hidden1", ControlKind::kLabel, &Page2, {}),
        Link1("Link1", ControlKind::kLabel, nullptr, {}),
        Previous1("Previous1", ControlKind::kButton, nullptr, {}),
        Next1("Next1", ControlKind::kButton, nullptr, {}),
        Cancel1("Cancel1", ControlKind::kButton, nullptr, {}) {
    for (Control* c : {&Pages, &Page1, &Page2, &Text1, &Memo1, &Group1, &Folder1, &Browse1,
                       &Status1, &Progress1, &Hidden1, &Link1, &Previous1, &Next1, &Cancel1})
      Add(*c);
    caption = "Installing...Test 1.0";
    Page2.visible = false;
    Text1.word_wrap = true;
    Text1.text = "Welcome.\n" + std::string(30, 'x') + " " +
                 "words that go on and on past the width of one terminal line, so that "
                 "they need to be wrapped.  Two blanks stay.\n\n\n";
    Memo1.lines = {"Licence line one", "", "Licence line three"};
    Folder1.text = "C:\\Intranet";
    Browse1.text = "&Browse";
    Browse1.key = 'b';
    Status1.text = "Copying files.  Please wait...";
    Progress1.position = 50;
    Hidden1.text = "Text of the hidden page";
    Link1.text = "Visit us";
    Link1.link = true;
    Link1.key = 'v';
    Previous1.text = "<< Previous";
    Previous1.key = 'p';
    Previous1.enabled = false;
    Next1.text = "Next >>";
    Next1.key = 'n';
    Next1.default_button = true;
    Cancel1.text = "Cancel";
    Cancel1.key = 'c';
  }
  void Click(Control&) override {}

  Control Pages, Page1, Page2, Text1, Memo1, Group1, Folder1, Browse1, Status1, Progress1, Hidden1,
      Link1, Previous1, Next1, Cancel1;
};

// A terminal that reads `input` and records what it writes.
struct Console {
  explicit Console(const std::string& input = "", bool is_terminal = false)
      : Console(input, is_terminal, is_terminal) {}
  Console(const std::string& input, bool input_is_terminal, bool output_is_terminal)
      : in(input), terminal(in, out, input_is_terminal, output_is_terminal) {}
  std::istringstream in;
  std::ostringstream out;
  Terminal terminal;
};

// The test wizard shown on a Console.
struct Driven : Console {
  explicit Driven(const std::string& input, bool is_terminal = false)
      : Console(input, is_terminal) {
    terminal.DisplayForm(form, false);
  }
  // The control name clicked, "close" for the close box, "none" at end.
  std::string Next() {
    UiEvent event;
    if (!terminal.NextEvent(&event, true)) return "none";
    EXPECT_EQ(event.form, &form);
    return event.control == nullptr ? "close" : event.control->name;
  }
  TestWizard form;
};

// The login dialog on a Terminal that reads `input`, on a machine without
// folders; the dialog reads the settings when shown.
struct Login : Console {
  Login(const std::string& input, bool input_is_terminal, const std::string& user = "admin",
        const std::string& server = "localhost")
      : Console(input, input_is_terminal, false) {
    settings.DbUser = user;
    settings.DbHost = server;
  }
  std::unique_ptr<Host> host = CreatePosixHost([] {
    PosixHostOptions options;
    options.prefix = "/nonexistent";
    return options;
  }());
  TApplication app{*host, terminal};
  Settings settings;
  TDBLoginForm1 login{app, settings};
};

TEST(TerminalTest, WizardShowsTheVisiblePageAndTheKeysOfEnabledButtons) {
  Driven d("n\n");
  EXPECT_EQ(d.Next(), "Next1");
  const std::string out = d.out.str();
  for (const char* expected :
       {"=== Installing...Test 1.0 ===", "Welcome.\n", "Two blanks stay.",
        "Licence line one\n\nLicence line three\n", "\n  C:\\Intranet\n",
        "Copying files.  Please wait...", "[###############---------------]  50%", "[n] Next >>",
        "[c] Cancel", "[b] Browse", "[v] Visit us", "[q] Close window", "(Enter: Next >>)"}) {
    EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
  }
  EXPECT_EQ(out.find("hidden page"), std::string::npos);
  EXPECT_EQ(out.find("[p]"), std::string::npos);  // disabled
  EXPECT_EQ(out.find("&"), std::string::npos);
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 76u) << line;
}

TEST(TerminalTest, KeysPressTheirControls) {
  const struct {
    const char* input;
    const char* clicked;
    bool hint;
  } cases[] = {
      {"n\n", "Next1", false},        {"N\n", "Next1", false},     {"  c \n", "Cancel1", false},
      {"b\n", "Browse1", false},      {"v\n", "Link1", false},     {"q\n", "close", false},
      {"\n", "Next1", false},         {"p\nc\n", "Cancel1", true},  // Previous is disabled
      {"next\nc\n", "Cancel1", true}, {"x", "none", true},         {"", "none", false},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.input);
    Driven d(k.input);
    EXPECT_EQ(d.Next(), k.clicked);
    EXPECT_EQ(d.out.str().find("type one of the keys") != std::string::npos, k.hint);
  }
}

TEST(TerminalTest, EnterWithTheDefaultButtonDisabledAsksAgain) {
  Driven d("\n\nc\n");
  d.form.Next1.enabled = false;
  EXPECT_EQ(d.Next(), "Cancel1");
  EXPECT_NE(d.out.str().find("Enter does nothing"), std::string::npos);
  EXPECT_EQ(d.out.str().find("(Enter:"), std::string::npos);
}

TEST(TerminalTest, NothingIsReadWithoutWaiting) {
  Driven d("c\n");
  UiEvent event;
  EXPECT_FALSE(d.terminal.NextEvent(&event, false));
  EXPECT_EQ(d.out.str(), "");
  EXPECT_EQ(d.Next(), "Cancel1");
}

TEST(TerminalTest, LinesTypedOnATerminalActWhileTheInstallRuns) {
  // Enter with the default button disabled and an unknown key do nothing;
  // c presses Cancel, q is the close box; then nothing more is typed.
  Driven d("\nx\nc\nq\n", true);
  d.form.Next1.enabled = false;
  d.terminal.SetTypedAhead([&d] { return d.in.rdbuf()->in_avail() > 0; });
  d.form.Progress1.position = 10;
  d.terminal.Repaint(d.form, nullptr);
  UiEvent event;
  ASSERT_TRUE(d.terminal.NextEvent(&event, false));
  EXPECT_EQ(event.control, &d.form.Cancel1);
  ASSERT_TRUE(d.terminal.NextEvent(&event, false));
  EXPECT_EQ(event.control, nullptr);
  EXPECT_FALSE(d.terminal.NextEvent(&event, false));
  d.terminal.Repaint(d.form, nullptr);
  const std::string bar = "[###---------------------------]  10%  Copying files.  Please wait...";
  EXPECT_EQ(d.out.str(), "\r" + bar +
                             "\"x\" does nothing now; these keys act: [b] Browse  [c] Cancel  "
                             "[v] Visit us  [q] Close window\n\r" +
                             bar);

  // From a file or a pipe the lines wait for the next question.
  Driven piped("c\n", false);
  piped.terminal.SetTypedAhead([] { return true; });
  EXPECT_FALSE(piped.terminal.NextEvent(&event, false));
  EXPECT_EQ(piped.Next(), "Cancel1");
}

TEST(TerminalTest, LabelsShowAmpersandsAsTheyAre) {
  Driven d("q\n");
  d.form.caption = "Installing...R&D";
  d.form.Folder1.text = "C:\\R&D && Web";
  EXPECT_EQ(d.Next(), "close");
  for (const char* shown : {"=== Installing...R&D ===\n", "\n  C:\\R&D && Web\n", "[b] Browse  "})
    EXPECT_NE(d.out.str().find(shown), std::string::npos) << shown << "\n" << d.out.str();
  d.out.str("");
  d.form.Status1.text = "R&D";
  d.terminal.Repaint(d.form, &d.form.Status1);
  d.form.Text1.text = "A & B";
  d.terminal.Repaint(d.form, &d.form.Text1);
  EXPECT_EQ(d.out.str(), "R&D\nA & B\n");
}

TEST(TerminalTest, TopmostFormTakesTheInput) {
  Driven d("q\nq\n");
  TestWizard second;
  d.terminal.DisplayForm(second, true);
  UiEvent event;
  ASSERT_TRUE(d.terminal.NextEvent(&event, true));
  EXPECT_EQ(event.form, &second);
  d.terminal.HideForm(second);
  EXPECT_EQ(d.Next(), "close");
  d.terminal.HideForm(d.form);
  EXPECT_FALSE(d.terminal.NextEvent(&event, true));
}

TEST(TerminalTest, MessageBoxAnswers) {
  const unsigned kQuestion = kMbYesNo | kMbIconQuestion;
  const struct {
    unsigned flags;
    const char* input;
    int result;
    const char* shown;
  } cases[] = {
      {kMbOk | kMbIconError, "\n", kIdOk, "[Enter] OK"},
      {kMbOk | kMbIconError, "", kIdOk, "[Enter] OK"},
      {kQuestion, "y\n", kIdYes, "[y] Yes  [n] No   (Enter: Yes)"},
      {kQuestion, "N\n", kIdNo, "(Enter: Yes)"},
      {kQuestion, "\n", kIdYes, "(Enter: Yes)"},
      {kQuestion | kMbDefButton2, "\n", kIdNo, "(Enter: No)"},
      {kQuestion | kMbDefButton2, "yes please\ny\n", kIdYes, "Type one of the keys"},
      // The end of input presses the default button.
      {kQuestion, "", kIdYes, "(end of input: Yes)"},
      {kQuestion | kMbDefButton2, "", kIdNo, "(end of input: No)"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.input);
    Console t(k.input);
    EXPECT_EQ(t.terminal.ShowMessageBox(nullptr, "First line.\nSecond line.", "ERROR", k.flags),
              k.result);
    EXPECT_NE(t.out.str().find("--- ERROR ---\nFirst line.\nSecond line.\n"), std::string::npos)
        << t.out.str();
    EXPECT_NE(t.out.str().find(k.shown), std::string::npos) << t.out.str();
  }
}

TEST(TerminalTest, TheSameBoxAskedAgainAfterTheEndOfInputIsNotAnswered) {
  Console t;
  Terminal& terminal = t.terminal;
  const unsigned kRetry = kMbYesNo | kMbIconError;
  EXPECT_EQ(terminal.ShowMessageBox(nullptr, "Server down.\nTry again?", "ERROR", kRetry), kIdYes);
  EXPECT_EQ(terminal.ShowMessageBox(nullptr, "Continue installation?", "ERROR", kRetry), kIdYes);
  EXPECT_EQ(terminal.ShowMessageBox(nullptr, "Server down.\nTry again?", "ERROR", kRetry), 0);
}

TEST(TerminalTest, LoginDialogKeepsOrReplacesEachFieldAndMasksThePassword) {
  Login w(
      "db.example\n\nse cret\n\n"  // first showing: server and password typed, OK by Enter
      "\n\n\nc\n"                  // second: all kept, Cancel
      "\n",                        // third: input ends at the username
      false);
  TDBLoginForm1& login = w.login;
  std::ostringstream& out = w.out;
  Settings& settings = w.settings;

  EXPECT_TRUE(login.ShowLogin());
  EXPECT_EQ(login.Server1.text, "db.example");
  EXPECT_EQ(login.Username1.text, "admin");
  EXPECT_EQ(login.Password1.text, "se cret");
  EXPECT_NE(out.str().find("=== DB Login ===\nDatabase\n  Server: [localhost] db.example\n"
                           "  Username: [admin] \n  Password: [] *******\n"),
            std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("[o] OK  [c] Cancel  [q] Close  (Enter: OK)"), std::string::npos);

  settings.DbHost = "db.example";
  EXPECT_FALSE(login.ShowLogin());
  EXPECT_EQ(login.Password1.text, "se cret");
  EXPECT_NE(out.str().find("Password: [*******]"), std::string::npos);
  EXPECT_EQ(out.str().find("se cret"), std::string::npos);

  EXPECT_FALSE(login.ShowLogin());  // end of input: the close box
  EXPECT_FALSE(login.displayed);
}

TEST(TerminalTest, OnATerminalEachLoginFieldIsALineEditor) {
  // Server: nine Backspaces (Delete) empty "localhost", then "db"; Username:
  // "admin" emptied, one Backspace more does nothing; Password: "se", one
  // Backspace (Ctrl-H), "cret"; then Enter presses OK. Control keys other
  // than these are ignored. The second showing ends with Ctrl-D.
  Login w(std::string(9, '\x7f') + "db\r" + std::string(6, '\x7f') + "\r" + "se\bc\x01ret\n" +
              "\n" + "ab\x04",
          true);
  TDBLoginForm1& login = w.login;
  std::ostringstream& out = w.out;

  EXPECT_TRUE(login.ShowLogin());
  EXPECT_EQ(login.Server1.text, "db");
  EXPECT_EQ(login.Username1.text, "");
  EXPECT_EQ(login.Password1.text, "scret");
  std::string erased;
  for (int i = 0; i < 9; ++i) erased += "\b \b";
  EXPECT_EQ(out.str(), "\n=== DB Login ===\nDatabase\n  Server: localhost" + erased +
                           "db\n  Username: admin" + erased.substr(0, 15) +
                           "\n  Password: **\b \b****\n\n[o] OK  [c] Cancel  [q] Close  "
                           "(Enter: OK)\n> ");
  out.str("");
  EXPECT_FALSE(login.ShowLogin());  // Ctrl-D: the input has ended, nothing is taken
  EXPECT_EQ(login.Server1.text, "localhost");
  EXPECT_EQ(out.str(), "\n=== DB Login ===\nDatabase\n  Server: localhostab\n");
}

TEST(TerminalTest, TheLineEditorTakesKeysNotBytes) {
  const struct {
    const char* keys;
    bool utf8;
    const char* text;
  } cases[] = {
      {"ab\x1b[Dc\x1b[C", false, "abc"},                // arrows: CSI sequences
      {"ab\x1b[3~c\x1b[1;5D", false, "abc"},            // Delete, Ctrl-Left
      {"a\x1bOHb\x1bOP", false, "ab"},                  // Home and F1 in SS3 form
      {"\xc3\xa9t\xc3\xa9\x7f\x7f", true, "\xc3\xa9"},  // "été", two Backspaces
      {"\xe2\x82\xac\x7f", true, ""},                   // a three-byte character
      {"\xc3\xa9\x7f", false, "\xc3"},                  // Latin-1: one byte each
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.keys);
    Login w(std::string(k.keys) + "\r\r\r\n", true, "", "");
    w.terminal.SetUtf8(k.utf8);
    TDBLoginForm1& login = w.login;
    std::ostringstream& out = w.out;
    EXPECT_TRUE(login.ShowLogin());
    EXPECT_EQ(login.Server1.text, k.text);
    EXPECT_EQ(out.str().find('['), out.str().find("[o] OK")) << out.str();
  }
}

TEST(TerminalTest, BrowseTakesOnlyAnExistingFolderInItsFullWindowsForm) {
  TempFolder machine;
  MakeHostFolders(machine / "prefix/drive_c/Intranet/include");
  MakeHostFolders(machine / "outside/www");
  WriteHostFile(machine / "prefix/drive_c/Intranet/index.php", "");
  PosixHostOptions options;
  options.prefix = machine / "prefix";
  std::unique_ptr<Host> host = CreatePosixHost(options);
  const std::string outside = host->FromNativePath(machine / "outside/www");
  ASSERT_EQ(outside.substr(0, 3), "Z:\\");
  const std::string not_full =
      "\"Intranet\" is not a full folder name: type one with its drive, such as C:\\Intranet, "
      "or a path of this computer, such as /srv/www.\n";
  const struct {
    std::string input;
    std::optional<std::string> folder;
    std::string refusals;  // the lines that refused what was typed, in order
  } cases[] = {
      {machine / "outside/www\n", outside, ""},
      {machine / "prefix/drive_c/Intranet/\n", "C:\\Intranet", ""},
      {"  c:/Intranet//include/.. \n", "C:\\Intranet", ""},
      {"C:\\\n", "C:\\", ""},
      {"Intranet\nC:\\Intranet\\include\n", "C:\\Intranet\\include", not_full},
      {"C:\\Intranet\\index.php\nD:\\Web\n\n", std::nullopt,
       "C:\\Intranet\\index.php is not a folder: type a folder that exists.\n"
       "D:\\Web does not exist: type a folder that exists.\n"},
      {"\\\\server\\share\n", std::nullopt,
       "\"\\\\server\\share\" is not a full folder name: type one with its drive, such as "
       "C:\\Intranet, or a path of this computer, such as /srv/www.\n"},
      {"\n", std::nullopt, ""},
      {"", std::nullopt, ""},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.input);
    Console t(k.input);
    t.terminal.SetHost(host.get());
    EXPECT_EQ(t.terminal.BrowseForFolder(nullptr, "Browse for Test Folder."), k.folder);
    const std::string out = t.out.str();
    std::string refusals;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
      if (line.find(": type") != std::string::npos && line.find("Folder (") != 0)
        refusals += line + "\n";
    EXPECT_EQ(refusals, k.refusals) << out;
    const std::string asked = "\nBrowse for Test Folder.\nFolder (Enter alone cancels): ";
    EXPECT_EQ(out.substr(0, asked.size()), asked);
  }
}

TEST(TerminalTest, ProgressIsPrintedOnlyWhenItChangesOrDrawnInPlace) {
  for (bool is_terminal : {false, true}) {
    SCOPED_TRACE(is_terminal ? "terminal" : "file");
    Driven d("", is_terminal);
    d.form.Progress1.position = 10;
    d.terminal.Repaint(d.form, nullptr);
    d.terminal.Repaint(d.form, nullptr);
    d.form.Progress1.position = 20;
    d.form.Status1.text = "Extracting a.php";
    d.terminal.Repaint(d.form, nullptr);
    d.form.Status1.text = "Restarting.  Please wait...";
    d.terminal.Repaint(d.form, &d.form.Status1);
    const std::string bar10 =
        "[###---------------------------]  10%  Copying files.  Please wait...";
    const std::string bar20 = "[######------------------------]  20%  Extracting a.php";
    if (is_terminal) {
      EXPECT_EQ(d.out.str(), "\r" + bar10 + "\r" + bar10 + "\r" + bar20 +
                                 std::string(bar10.size() - bar20.size(), ' ') +
                                 "\nRestarting.  Please wait...\n");
    } else {
      EXPECT_EQ(d.out.str(), bar10 + "\n" + bar20 + "\nRestarting.  Please wait...\n");
    }
  }
}

TEST(TerminalTest, WebAddressIsShownNotOpened) {
  Console t;
  t.terminal.OpenWebAddress("http://www.example.com");
  EXPECT_EQ(t.out.str(), "Open http://www.example.com in a web browser.\n");
}

}  // namespace
