#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/Fault.h"
#include "shell/Main.h"
#include "support/FakeHost.h"
#include "support/FakeUi.h"
#include "support/RecordingConsole.h"
#include "versiongate/Dblogin.h"

namespace {

TEST(ParseCommandLineTest, SwitchesAndTheirValues) {
  struct Case {
    std::vector<std::string> arguments;
    bool silent;
    std::string install_dir = "C:\\Intranet", host = "localhost", user = "root", password = "";
    bool very_silent = false, check = false, help = false;
    std::optional<std::string> log = std::nullopt;
  };
  const std::string d = "C:\\Intranet";
  const Case cases[] = {
      {{}, false},
      {{"/silent"}, true},
      {{"/SiLeNt", "/silent"}, true},
      {{"/silent:"}, false},
      {{"/silently"}, false},
      {{"-silent"}, false},
      {{"silent"}, false},
      {{"/InstallDir:D:\\Web Site"}, false, "D:\\Web Site"},
      {{"/INSTALLDIR:"}, false, ""},
      {{"/dbhost:DB1.Example"}, false, d, "DB1.Example"},
      {{"/DBUSER:Admin", "/dbuser:Second"}, false, d, "localhost", "Second"},
      {{"/dbpass: p w "}, false, d, "localhost", "root", " p w "},
      {{"/dbpass:"}, false},
      {{"/dbhost:"}, false, d, ""},
      {{"C:\\some\\path", "/other", "/installdir"}, false},
      {{"/VerySilent"}, true, d, "localhost", "root", "", true},
      {{"/suppressmsgboxes", "/verysilent", "/verysilent"}, true, d, "localhost", "root", "", true},
      {{"/CHECK"}, true, d, "localhost", "root", "", true, true},
      {{"/verysilent:", "/verysilently", "-check", "/checks", "/log", "-log:x"}, false},
      {{"/LOG:C:\\Logs\\First.log", "/log:D:\\Logs\\Second Run.LOG"},
       false,
       d,
       "localhost",
       "root",
       "",
       false,
       false,
       false,
       "D:\\Logs\\Second Run.LOG"},
      {{"/log:"}, false, d, "localhost", "root", "", false, false, false, ""},
      {{"/?"}, false, d, "localhost", "root", "", false, false, true},
      {{"/HELP", "/silent"}, true, d, "localhost", "root", "", false, false, true},
      {{"/help:", "/??", "?", "-help"}, false},
      // "/dbpassfile:" names the file; the later of it and "/dbpass:" wins.
      {{"/dbpass:pw", "/DbPassFile:C:\\Pw.txt"}, false, d, "localhost", "root", "pw"},
      {{"/dbpassfile:C:\\Pw.txt", "/dbpass:pw"}, false, d, "localhost", "root", "pw"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    Settings s;
    ParseCommandLine(c.arguments, s);
    EXPECT_EQ(s.SilentMode, c.silent);
    EXPECT_EQ(s.InstallDir, c.install_dir);
    EXPECT_EQ(s.DbHost, c.host);
    EXPECT_EQ(s.DbUser, c.user);
    EXPECT_EQ(s.DbPassword, c.password);
    EXPECT_EQ(s.PackagePassword, "");
    EXPECT_EQ(s.VerySilent, c.very_silent);
    EXPECT_EQ(s.CheckOnly, c.check);
    EXPECT_EQ(s.ShowHelp, c.help);
    EXPECT_EQ(s.LogGiven, c.log.has_value());
    EXPECT_EQ(s.LogFile, c.log.value_or(""));
    const bool file_last = c.arguments.size() == 2 && c.arguments[1][7] == 'F';
    EXPECT_EQ(s.DbPasswordFile, file_last ? "C:\\Pw.txt" : "");
  }
}

TEST(LoggedCommandLineTest, EveryDbpassSpellingAndItsSplitOffPartsAreMasked) {
  const struct {
    std::vector<std::string> arguments;
    const char* logged;
  } cases[] = {
      {{"/verysilent", "/dbpass:s3cret", "/log:C:\\a b.log"},
       "/verysilent /dbpass:*** \"/log:C:\\a b.log\""},
      {{"/DBPASS=s3cret", "/dbpassword:s3cret", "/dbpass", "/dbpass:"},
       "/DBPASS=*** /dbpassword:*** /dbpass*** /dbpass:***"},
      {{"/dbpassfile:C:\\pw.txt"}, "/dbpassfile:***"},
      // Unquoted blanks split a password; so does a quote Windows ignores.
      {{"/dbpass:my", "long", "secret", "/silent", "C:\\x"}, "/dbpass:*** *** *** /silent C:\\x"},
      {{"/dbpass:'my", "/very", "secret'", "/silent"}, "/dbpass:*** *** *** /silent"},
      {{"/dbpass:", "s3cret"}, "/dbpass:*** ***"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logged);
    EXPECT_EQ(LoggedCommandLine(c.arguments), c.logged);
  }
}

const char kProductKey[] = "Software\\Corvantis\\v2.1";
const char kQuitText[] =
    "Install is not complete. If you quit the Install now, the program will not be "
    "installed.\n\nYou may run the Install program at a later time to complete the "
    "installation.\n\nDo you really want to quit?";
const char kSuccessText[] =
    "Install has successfully installed all necessary files on you computer.";
const char kIntroText[] =
    "Welcome to the brevoxil - Articles Module Update Installation program.\nThis program will "
    "install brevoxil - Articles Module Update onto your computer.\n\nIt is strongly recommended "
    "that you exit all Windows programs before running this Install program.\n\nClick Cancel to "
    "quit Install and then close any program you have running.  Click Next to continue with the "
    "Install program.\n\n\n\n\n";
const char kUpdateText[] =
    "Install will now update all necessary files to complete the installation process.";
const char kFailureText[] =
    "An error occured installing some or all of the necessary files on you computer.\n\nMake "
    "sure that no program are running and try again.";
const char kCaption[] = "Installing...brevoxil - Articles Module Update 2.3.8";

// The buttons on each page before the install, and on the completion page.
const char* const kButtonsOn[] = {
    "<< Previous- | Next >>+ | Cancel+",  // kIntro
    "<< Previous+ | Yes+ | No+",          // kLicense
    "<< Previous+ | Next >>+ | Cancel+",  // kDest
    "<< Previous+ | Next >>+ | Cancel+",  // kStartUpdate
};
const char kFinishButtons[] = "<< Previous- | Finish+ | Cancel-";

void ExpectQuitBox(FakeUi& screen, int answer) {
  screen.ExpectBox(kQuitText, "Exit Install", kMbYesNo | kMbIconQuestion, answer);
}

void ExpectErrorBox(FakeUi& screen, const std::string& text, const std::string& caption = "ERROR") {
  screen.ExpectBox(text, caption, kMbOk | kMbIconError, kIdOk);
}

// The wizard as start-up builds it, on a fake machine and screen, with an
// install sequence that counts its runs and defers to `install`.
struct WizardWorld {
  void Create(std::vector<std::string> arguments = {}) {
    host.arguments = std::move(arguments);
    ParseCommandLine(host.arguments, settings);
    form = std::make_unique<TForm1>(app, ThePackage(), settings);
    ApplyPasswordFile(app, settings);
    login = std::make_unique<TDBLoginForm1>(app, settings);
    form->SetLoginForm(login.get());
    form->SetInstallSequence([this](Installer& installer) {
      ++installs;
      destination_seen = installer.ui.DestinationFolder();
      return install(installer);
    });
  }

  // Shows the wizard and presses Next until `page` is on screen.
  void ShowPage(int page) {
    form->DoShow();
    for (int i = kIntro; i < page; ++i) form->Next1Click();
  }

  // The state of the three buttons: "<prev enabled> <next caption/enabled>
  // <cancel caption/enabled>".
  std::string Buttons() const {
    auto state = [](const Control& c) { return c.text + (c.enabled ? "+" : "-"); };
    return state(form->Previous1) + " | " + state(form->Next1) + " | " + state(form->Cancel1);
  }

  FakeHost host;

  FakeUi screen;
  TApplication app{host, screen};
  Settings settings;
  std::unique_ptr<TForm1> form;
  std::unique_ptr<TDBLoginForm1> login;
  std::function<bool(Installer&)> install = [](Installer&) { return true; };
  int installs = 0;
  std::string destination_seen;
};

class WizardTest : public testing::Test, public WizardWorld {};

TEST_F(WizardTest, ButtonStatesFollowThePages) {
  host.SetString(kProductKey, "InstallDir", "C:\\Intranet");
  Create();
  std::string during_install;
  std::string shown_before_install;
  install = [&](Installer&) {
    during_install = std::to_string(form->ActivePageIndex()) + " " + Buttons();
    // The install page is painted before the install starts.
    shown_before_install = screen.ui_log.back() + ": " + form->UpdateText1.text;
    return true;
  };
  form->DoShow();
  for (int page = kIntro; page <= kStartUpdate; ++page) {
    SCOPED_TRACE(page);
    EXPECT_EQ(form->ActivePageIndex(), page);
    EXPECT_EQ(Buttons(), kButtonsOn[page]);
    if (page < kStartUpdate) form->Next1Click();
  }
  form->Click(form->Next1);
  EXPECT_EQ(during_install, "4 << Previous- | Next >>- | Cancel+");
  EXPECT_EQ(shown_before_install, std::string("repaint Update1: ") + kUpdateText);
  EXPECT_EQ(form->ActivePageIndex(), kUpdateComplete);
  EXPECT_EQ(Buttons(), kFinishButtons);
  EXPECT_EQ(form->UpdateCompleteText1.text, kSuccessText);
  EXPECT_EQ(form->Progress(), InstallProgress::kSucceeded);
  EXPECT_EQ(installs, 1);
  form->Click(form->Next1);  // Finish
  EXPECT_TRUE(form->close_requested());
  EXPECT_EQ(form->ExitStatus(), kExitSucceeded);
}

TEST_F(WizardTest, PreviousRunsEachShowStepAgain) {
  host.SetString(kProductKey, "InstallDir", "C:\\Intranet");
  Create();
  ShowPage(kStartUpdate);
  for (int page = kDest; page >= kIntro; --page) {
    SCOPED_TRACE(page);
    form->Previous1Click();
    EXPECT_EQ(form->ActivePageIndex(), page);
    EXPECT_EQ(Buttons(), kButtonsOn[page]);
  }
  for (int i = 0; i < kPageCount; ++i) EXPECT_EQ(form->Page(i).visible, i == kIntro);
}

TEST_F(WizardTest, PagesShowTheirTexts) {
  Create();
  form->DoShow();
  EXPECT_EQ(form->caption, kCaption);
  EXPECT_EQ(screen.titles.back(), form->caption);
  EXPECT_EQ(form->IntroText1.text.substr(0, 57),
            "Welcome to the brevoxil - Articles Module Update Installa");
  EXPECT_EQ(form->IntroText1.text.substr(form->IntroText1.text.size() - 6), ".\n\n\n\n\n");
  EXPECT_EQ(form->IntroText1.text, kIntroText);
  form->Next1Click();
  ASSERT_EQ(form->LicenseText1.lines.size(), 15u);
  EXPECT_EQ(form->LicenseText1.lines.front(), "Hollinvale");
  std::string licence;
  for (const std::string& line : form->LicenseText1.lines)
    licence += (licence.empty() ? "" : "\n") + line;
  EXPECT_EQ(licence, ThePackage().LicenceText);
  EXPECT_EQ(form->LicenseQuestion1.text,
            "Do you accept all the terms of the preceding License Agreement? If you choose no, "
            "Install will close. To install brevoxil - Articles Module Update, you must accept "
            "this agreement.");
  form->Next1Click();
  EXPECT_EQ(form->DestText1.text,
            "Install will install brevoxil - Articles Module Update in the following location."
            "\n\nTo install brevoxil - Articles Module Update to this local folder, click Next. "
            "To install brevoxil - Articles Module Update in a different folder, click Browse."
            "\n\nYou can choose not to install brevoxil - Articles Module Update by clicking on "
            "Cancel to exit Install.");
  form->Next1Click();
  EXPECT_EQ(form->StartUpdateText1.text,
            "Install will now install all necessary files to complete the installation process."
            "\n\nTo install the nessesary files, click Next.\n\nTo quit Install, click on Cancel.");
}

TEST_F(WizardTest, RegistryReplacesTheInstallFolder) {
  struct Case {
    const char* what;
    std::function<void(FakeHost&)> arrange;
    std::string install_dir;
    bool box;
  };
  const Case cases[] = {
      {"value present", [](FakeHost& h) { h.SetString(kProductKey, "InstallDir", "E:\\Web"); },
       "E:\\Web", false},
      {"key without the value", [](FakeHost& h) { h.AddKey(kProductKey); }, "", false},
      {"no key: created", [](FakeHost&) {}, "", false},
      {"key cannot be opened", [](FakeHost& h) { h.registry_writable = false; }, "D:\\Cmd", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WizardWorld w;
    c.arrange(w.host);
    w.Create({"/installdir:D:\\Cmd"});
    TForm1& f = *w.form;
    if (c.box)
      ExpectErrorBox(w.screen,
                     "Unable to read registration details from the registry. Corvantis will not "
                     "function without this information.  Contact your technical support.");
    f.DoShow();
    EXPECT_EQ(w.screen.last_box_owner, c.box ? &f : nullptr);
    EXPECT_EQ(w.settings.InstallDir, c.install_dir);
    EXPECT_EQ(w.host.HasKey(kProductKey), !c.box);
    f.Next1Click();
    f.Next1Click();
    EXPECT_EQ(f.DestFolder1.text, c.install_dir);
  }
}

// "/silent": the pages go by themselves; a success closes the wizard unseen,
// anything else leaves it on screen where it stopped: a fault in the install
// on the install page, its buttons but Cancel disabled.
TEST(SilentWizardTest, HowFarItGoesByItself) {
  using Click = Control TForm1::*;  // queued, then the end of input
  const struct {
    const char* what;
    std::function<void(FakeHost&)> arrange;
    bool install_result;
    const char* fault;  // what the install raises, if anything
    const char* box;    // the error box expected, if any
    Click first_click, second_click;
    int installs, page;
    InstallProgress progress;
    bool displayed;
    const char* destination;
    const char* buttons;
    int status;
  } cases[] = {
      {"the registry key cannot be opened: no box",
       [](FakeHost& h) { h.registry_writable = false; }, true, nullptr, nullptr, nullptr, nullptr,
       1, kUpdateComplete, InstallProgress::kSucceeded, false, "C:\\Intranet", kFinishButtons,
       kExitSucceeded},
      {"a non-string InstallDir is shown and nothing runs",
       [](FakeHost& h) {
         h.SetValue(kProductKey, "InstallDir", RegValueType::kDword, std::string(4, '\0'));
       },
       true, nullptr, "Invalid data type for 'InstallDir'", nullptr, nullptr, 0, kIntro,
       InstallProgress::kNotStarted, true, "", kButtonsOn[kIntro], kExitNotApplied},
      {"a success closes without showing the window",
       [](FakeHost& h) { h.SetString(kProductKey, "InstallDir", "D:\\Web"); }, true, nullptr,
       nullptr, nullptr, nullptr, 1, kUpdateComplete, InstallProgress::kSucceeded, false, "D:\\Web",
       kFinishButtons, kExitSucceeded},
      {"a failure waits on the completion page, Finish enabled; Cancel is disabled there",
       [](FakeHost&) {}, false, nullptr, nullptr, &TForm1::Cancel1, &TForm1::Next1, 1,
       kUpdateComplete, InstallProgress::kFailed, true, "", kFinishButtons, kExitNotApplied},
      {"a fault leaves the wizard on the install page; Next is disabled there", [](FakeHost&) {},
       false, "Cannot open file \\conf\\httpd.conf", "Cannot open file \\conf\\httpd.conf.",
       &TForm1::Next1, nullptr, 1, kUpdate, InstallProgress::kRunning, true, "",
       "<< Previous- | Next >>- | Cancel+", kExitNotApplied},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WizardWorld w;
    c.arrange(w.host);
    w.Create({"/silent"});
    w.install = [&c](Installer&) {
      if (c.fault) throw FileFault(c.fault);
      return c.install_result;
    };
    if (c.box) ExpectErrorBox(w.screen, c.box, kCaption);
    for (Click click : {c.first_click, c.second_click})
      if (click) w.screen.QueueClick(*w.form, (*w.form).*click);
    w.app.Run(*w.form);  // then the end of input closes the window
    const std::vector<std::string>& ui_log = w.screen.ui_log;
    EXPECT_EQ(w.installs, c.installs);
    EXPECT_EQ(w.form->ActivePageIndex(), c.page);
    EXPECT_EQ(w.form->Progress(), c.progress);
    EXPECT_EQ(std::find(ui_log.begin(), ui_log.end(), "display Form1") != ui_log.end(),
              c.displayed);
    EXPECT_TRUE(w.form->close_requested());  // by Finish or by the end of input
    EXPECT_EQ(w.destination_seen, c.installs ? c.destination : "");
    EXPECT_EQ(w.Buttons(), c.buttons);
    if (c.page == kUpdateComplete) {
      EXPECT_EQ(w.form->UpdateCompleteText1.text, c.install_result ? kSuccessText : kFailureText);
    }
    EXPECT_EQ(w.screen.boxes.empty(), c.box == nullptr);
    EXPECT_TRUE(w.screen.events.empty());
    // A wizard nobody closed before the install: the update did not go ahead.
    EXPECT_EQ(w.form->ExitStatus(), c.status);
  }
}

TEST_F(WizardTest, ExitStatusTellsHowFarTheInstallCame) {
  struct Case {
    const char* what;
    bool begun, stopped_by_no, result, raises;
    int status;
  };
  const Case cases[] = {
      {"refused before any change", false, false, false, false, kExitNotApplied},
      {"a fault before any change", false, false, false, true, kExitNotApplied},
      {"failed after the web server's stop", true, false, false, false, kExitFailed},
      {"a fault after the web server's stop", true, false, false, true, kExitFailed},
      {"a No after the web server's stop", true, true, false, false, kExitStopped},
      {"succeeded", true, false, true, false, kExitSucceeded},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WizardWorld w;
    w.Create({"/verysilent"});
    w.install = [&](Installer& installer) -> bool {
      if (c.begun) installer.app.outcome().MarkChangesBegun();
      if (c.stopped_by_no) installer.app.outcome().MarkStoppedByAnswer();
      if (c.raises) throw FileFault("Cannot open file C:\\php\\\\php.ini");
      return c.result;
    };
    if (c.raises) ExpectErrorBox(w.screen, "Cannot open file C:\\php\\\\php.ini.", kCaption);
    w.app.Run(*w.form);  // the end of input closes the wizard wherever it waits
    EXPECT_TRUE(w.settings.VerySilent);
    EXPECT_EQ(w.form->ExitStatus(), c.status);
  }
}

TEST_F(WizardTest, BrowsedFolderIsTheDestinationUntilTheDestinationPageShowsAgain) {
  host.SetString(kProductKey, "InstallDir", "C:\\Intranet");
  Create();
  ShowPage(kDest);
  screen.browse_answers = {std::nullopt, std::string("D:\\Browsed")};
  form->Click(form->Browse1);  // cancelled
  EXPECT_EQ(form->DestFolder1.text, "C:\\Intranet");
  form->Click(form->Browse1);
  EXPECT_EQ(form->DestFolder1.text, "D:\\Browsed");
  EXPECT_EQ(screen.browse_titles.back(), "Browse for brevoxil - Articles Module Update Folder.");
  EXPECT_EQ(settings.InstallDir, "C:\\Intranet");
  form->Next1Click();
  form->Previous1Click();
  EXPECT_EQ(form->DestFolder1.text, "C:\\Intranet");
  screen.browse_answers = {std::string("D:\\Browsed")};
  form->Click(form->Browse1);
  form->Next1Click();
  form->Next1Click();
  EXPECT_EQ(destination_seen, "D:\\Browsed");
}

TEST_F(WizardTest, CancelAsksAndOnlyYesQuits) {
  Create();
  ShowPage(kLicense);
  for (int answer : {kIdNo, 0, kIdYes}) {  // on the licence page; a box that failed (0) is No
    SCOPED_TRACE(answer);
    ExpectQuitBox(screen, answer);
    form->Click(form->Cancel1);
    EXPECT_EQ(form->close_requested(), answer == kIdYes);
    EXPECT_EQ(form->ActivePageIndex(), kLicense);
  }
  EXPECT_EQ(form->ExitStatus(), kExitNotInstalled);
}

// Cancel and the close box act during the install (at ShowProgress); a
// close then ends the program once the install is over, without waiting on
// the completion page, which would take the vendor link click queued after.
TEST(WizardInstallTest, CancelAndTheCloseBoxDuringTheInstall) {
  const struct {
    const char* what;
    bool close_box;
    int answer;
    bool closes;
  } cases[] = {
      {"Cancel, Yes", false, kIdYes, true},
      {"Cancel, No", false, kIdNo, false},
      {"the close box", true, 0, true},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    WizardWorld w;
    w.Create();
    FakeUi& screen = w.screen;
    TForm1& form = *w.form;
    w.install = [&](Installer& installer) {
      if (k.close_box) {
        screen.QueueCloseBox(form);
      } else {
        screen.QueueClick(form, form.Cancel1);
        ExpectQuitBox(screen, k.answer);
      }
      installer.ui.ShowProgress(50);
      EXPECT_EQ(form.close_requested(), k.closes);
      EXPECT_TRUE(screen.events.empty());
      installer.ui.ShowStatus("still running");
      screen.QueueClick(form, form.Label6);
      return true;
    };
    for (int i = 0; i < 4; ++i) screen.QueueClick(form, form.Next1);
    w.app.Run(form);
    EXPECT_EQ(w.installs, 1);
    EXPECT_EQ(form.ActivePageIndex(), kUpdateComplete);
    EXPECT_EQ(form.UpdateFileName1.text, "still running");
    EXPECT_EQ(form.UpdateCompleteText1.text, kSuccessText);
    EXPECT_EQ(screen.events.size(), k.closes ? 1u : 0u);
    EXPECT_EQ(screen.web_addresses.size(), k.closes ? 0u : 1u);
    EXPECT_EQ(form.ExitStatus(), kExitSucceeded);
  }
}

// Start-up: the title, the wizard, then the login dialog, then the wizard's
// show step; a fault on the way is shown in a box captioned with the title.
TEST(StartUpTest, TitleFormsAndTheStartUpErrorBox) {
  {
    FakeHost host;
    FakeUi screen;
    EXPECT_EQ(RunSetup(host, screen), kExitNotInstalled);  // the end of input closes it
    EXPECT_EQ(screen.ui_log, (std::vector<std::string>{
                                 "title Update...", "attach Form1", "attach DBLoginForm1",
                                 std::string("title ") + kCaption, "display Form1", "hide Form1"}));
  }
  FakeHost host;
  FakeUi screen;
  screen.on_attach = [](Form& form) {
    if (form.name == "DBLoginForm1") throw Fault("Out of system resources");
  };
  ExpectErrorBox(screen, "Out of system resources.", "Update...");
  EXPECT_EQ(RunSetup(host, screen), kExitNotStarted);
  EXPECT_EQ(screen.last_box_owner, nullptr);
  EXPECT_EQ(screen.ui_log,
            (std::vector<std::string>{"title Update...", "attach Form1", "attach DBLoginForm1"}));
}

TEST_F(WizardTest, ThePasswordFileGivesItsFirstLine) {
  host.AddFile("C:\\Keys\\pw.txt", "s3cret pw\r\nsecond line\n");
  Create({"/dbpassfile:C:\\Keys\\pw.txt"});
  EXPECT_EQ(settings.DbPassword, "s3cret pw");
  settings.DbPassword.clear();
  ExpectErrorBox(screen,
                 "Unable to read the password file C:\\none.txt.\ncannot open C:\\none.txt: The "
                 "system cannot find the file specified.");
  Create({"/dbpassfile:C:\\none.txt"});
  EXPECT_EQ(settings.DbPassword, "");
}

TEST(RunLogTest, TheLogAppendsEachRunFromAHeaderToItsResult) {
  FakeHost host;
  FakeUi screen;
  host.AddFile("C:\\Logs\\setup.log", "an earlier run\r\n");
  host.arguments = {"/dbpass:s3cret", "/log:C:\\Logs\\setup.log"};
  EXPECT_EQ(RunSetup(host, screen), kExitNotInstalled);
  const std::string log = host.FileContent("C:\\Logs\\setup.log");
  const std::string first =
      "an earlier run\r\n"
      "   0.000  run of brevoxil - Articles Module Update 2.3.8 started 2010-01-01 00:00:00 +0000 "
      "on WEB01 by admin (elevated): /dbpass:*** /log:C:\\Logs\\setup.log\r\n";
  EXPECT_EQ(log.substr(0, first.size()), first);
  const std::string last =
      "   0.000  result: the wizard was closed before the install began; exit status 2\r\n";
  ASSERT_GE(log.size(), last.size());
  EXPECT_EQ(log.substr(log.size() - last.size()), last);
  for (size_t at = log.find('\n'); at != std::string::npos; at = log.find('\n', at + 1))
    EXPECT_EQ(log[at - 1], '\r') << at;
  EXPECT_EQ(log.find("s3cret"), std::string::npos);
}

TEST(RunLogTest, ALogThatIsOneOfTheRunsFilesIsRefusedUntouched) {
  const char* const logs[] = {"C:\\PHP\\PHP.INI", "c:/apache2.2/conf/httpd.conf",
                              "C:\\Setup\\Data.kpv",
                              "C:\\Intranet\\include\\templates\\version.dat", "C:\\Keys\\pw.txt"};
  const char* const files[] = {"C:\\php\\php.ini", "C:\\Apache2.2\\conf\\httpd.conf",
                               "C:\\Setup\\Data.kpv",
                               "C:\\Intranet\\include\\templates\\version.dat", "C:\\Keys\\pw.txt"};
  for (size_t i = 0; i < std::size(logs); ++i) {
    SCOPED_TRACE(logs[i]);
    FakeHost host;
    FakeUi screen;
    host.SetString("Software\\Apache Group\\Apache\\2.2", "ServerRoot", "C:\\Apache2.2\\");
    host.SetString(kProductKey, "InstallDir", "C:\\Intranet");
    host.AddFile("C:\\Apache2.2\\conf\\httpd.conf",
                 "LoadModule php5_module C:/php/php5apache2_2.dll\n");
    host.AddFile("C:\\php\\php.ini", "[PHP]\n");
    host.AddFile("C:\\Setup\\Data.kpv", "PK");
    host.AddFile("C:\\Intranet\\include\\templates\\version.dat", "2.3.6");
    host.AddFile("C:\\Keys\\pw.txt", "pw\n");
    std::vector<std::string> before;
    for (const char* f : files) before.push_back(host.FileContent(f));
    host.arguments = {"/dbpassfile:C:\\Keys\\pw.txt", std::string("/log:") + logs[i]};
    ExpectErrorBox(screen, std::string("The log file ") + logs[i] + " is " + files[i] +
                               ", which this run reads or writes: the run goes on without a log.");
    EXPECT_EQ(RunSetup(host, screen), kExitNotInstalled);
    for (size_t f = 0; f < std::size(files); ++f) EXPECT_EQ(host.FileContent(files[f]), before[f]);
  }
}

TEST(RunLogTest, AFailedWriteIsToldOnceAndAtTheEnd) {
  FakeHost host;
  FakeUi screen;
  RecordingConsole console;
  host.disk_space = 300;
  host.arguments = {"/log:C:\\Logs\\setup.log"};
  host.AddFolder("C:\\Logs");
  const std::string told =
      "Unable to write the log file C:\\Logs\\setup.log after 0.000 s: the lines from then on "
      "are missing.";
  ExpectErrorBox(screen, told);  // once only
  EXPECT_EQ(RunSetup(host, screen, &console), kExitNotInstalled);
  EXPECT_EQ(console.error,
            "setup: " + told +
                "\nsetup: the log file C:\\Logs\\setup.log is incomplete: it lacks every line "
                "after 0.000 s.\n");
}

// A host that tells a notice at each registry open, as the POSIX host tells
// why its registry cannot be used.
struct NoticingHost : FakeHost {
  void SetNoticeSink(NoticeSink sink) override { sink_ = std::move(sink); }
  std::unique_ptr<HostRegistryKey> OpenLocalMachineKey(const std::string& path,
                                                       bool create) override {
    told.push_back("warning: opened " + path);
    if (sink_) sink_(told.back());
    return FakeHost::OpenLocalMachineKey(path, create);
  }
  NoticeSink sink_;
  std::vector<std::string> told;
};

// The host's notices go to standard error as they come and into the log,
// those told while the log was being opened right after its first lines;
// the run leaves no sink behind.
TEST(StartUpTest, TheHostsNoticesReachStandardErrorAndTheLogInTheirOrder) {
  NoticingHost host;
  FakeUi screen;
  RecordingConsole console;
  host.arguments = {"/log:C:\\setup.log"};
  EXPECT_EQ(RunSetup(host, screen, &console), kExitNotInstalled);
  EXPECT_FALSE(host.sink_);
  ASSERT_GE(host.told.size(), 2u);
  std::string error, logged;
  for (const std::string& line : host.told) error += line + "\n";
  const std::string log = host.FileContent("C:\\setup.log");
  for (size_t at = log.find("warning: "); at != std::string::npos;
       at = log.find("warning: ", at + 1))
    logged += log.substr(at, log.find('\r', at) - at) + "\n";
  EXPECT_EQ(console.error, error);
  EXPECT_EQ(logged, error);
  EXPECT_LT(log.find("package: "), log.find("warning: ")) << log;
}

// A run without an administrator's full rights says so before it reads or
// creates any key, also as a pre-flight, and does not go ahead.
TEST(StartUpTest, ARunWithoutFullRightsIsToldBeforeAnythingIsRead) {
  for (const char* switches : {"", "/check"}) {
    SCOPED_TRACE(switches);
    FakeHost host;
    host.elevated = false;
    if (*switches) host.arguments = {switches};
    FakeUi screen;
    RecordingConsole console;
    ExpectErrorBox(screen, kNotElevatedText);
    EXPECT_EQ(RunSetup(host, screen, &console), kExitNotApplied);
    // The pre-flight's last line gives the box's text as its reason.
    if (*switches) {
      EXPECT_EQ(console.output.substr(console.output.find("The update")),
                "The update would not go ahead: Install needs the full rights of an "
                "administrator, which this run does not have.  Right-click setup.exe and choose "
                "\"Run as administrator\".\n");
    }
    EXPECT_TRUE(screen.ui_log.empty());
    EXPECT_FALSE(host.HasKey(kProductKey));
  }
}

TEST_F(WizardTest, ProgressDisplayRepaintsAndPumps) {
  Create();
  form->DoShow();
  screen.ui_log.clear();
  form->SetStatusText("Extracting file...a.php");
  EXPECT_TRUE(screen.ui_log.empty());
  form->ShowProgress(33);
  form->ShowStatus("Stopping Apache.  Please wait...");
  EXPECT_EQ(screen.ui_log,
            (std::vector<std::string>{"repaint Form1", "pump", "repaint UpdateFileName1"}));
  EXPECT_EQ(form->UpdateProgress1.position, 33);
  EXPECT_EQ(screen.repaints.back().second, "Stopping Apache.  Please wait...");
}

TEST_F(WizardTest, VendorLinkOpensTheWebSite) {
  Create();
  form->DoShow();
  form->Click(form->Label6);
  EXPECT_EQ(screen.web_addresses, std::vector<std::string>{ThePackage().VendorWebAddress});
}

}  // namespace
