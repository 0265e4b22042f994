#include "shell/Main.h"

#include <cctype>

#include "engine/InstallSequence.h"
#include "formlib/Registry.h"
#include "platform/Fault.h"
#include "platform/Text.h"
#include "shell/RunFiles.h"
#include "versiongate/Dblogin.h"

namespace {

// The largest password file read: a password is one short line.
constexpr uint32_t kMaxPasswordFile = 64 * 1024;

// The first line of the password file, without its line end; nullopt, with
// the reason in `why`, when the file cannot be read.
std::optional<std::string> ReadPasswordFile(Host& host, const std::string& native_path,
                                            std::string* why) {
  const std::string path = host.FromNativePath(native_path);
  const std::unique_ptr<HostFile> file = host.OpenFileForRead(path, kShareRead);
  if (file == nullptr) {
    *why = host.LastError().Message();
    return std::nullopt;
  }
  std::string text(kMaxPasswordFile, '\0');
  uint32_t done = 0;
  if (!file->Read(&text[0], kMaxPasswordFile, &done)) {
    *why = "cannot read " + path;
    return std::nullopt;
  }
  text.resize(done);
  const size_t end = text.find_first_of("\r\n");
  return end == std::string::npos ? text : text.substr(0, end);
}

}  // namespace

void ParseCommandLine(const std::vector<std::string>& arguments, Settings& settings) {
  struct ValueSwitch {
    const char* text;
    std::string Settings::*setting;
  };
  static const ValueSwitch kValueSwitches[] = {
      {"/installdir:", &Settings::InstallDir},
      {"/dbhost:", &Settings::DbHost},
      {"/dbuser:", &Settings::DbUser},
      {"/dbpass:", &Settings::DbPassword},
  };
  for (const std::string& argument : arguments) {
    const std::string lower = AnsiLowerCase(argument);
    if (lower == "/silent") {
      settings.SilentMode = true;
      continue;
    }
    if (lower == "/verysilent") {
      settings.SilentMode = settings.VerySilent = true;
      continue;
    }
    if (lower == "/check") {
      settings.SilentMode = settings.VerySilent = settings.CheckOnly = true;
      continue;
    }
    if (lower == "/?" || lower == "/help") {
      settings.ShowHelp = true;
      continue;
    }
    if (StartsWith(lower, "/dbpassfile:")) {
      settings.DbPasswordFile = argument.substr(12);
      continue;
    }
    if (StartsWith(lower, "/dbpass:")) settings.DbPasswordFile.clear();  // the later one wins
    if (lower == "/norollback") {
      settings.NoRollback = true;
      continue;
    }
    if (StartsWith(lower, "/waitlimit:")) {
      // Whole seconds, 1 to a day; anything else keeps the limit before it.
      const std::string digits = argument.substr(11);
      if (!digits.empty() && digits.size() <= 5 &&
          digits.find_first_not_of("0123456789") == std::string::npos) {
        const unsigned long seconds = std::stoul(digits);
        if (seconds >= 1 && seconds <= 86400) settings.WaitLimitSeconds = seconds;
      }
      continue;
    }
    if (StartsWith(lower, "/log:")) {
      settings.LogFile = argument.substr(5);
      settings.LogGiven = true;
      continue;
    }
    for (const ValueSwitch& s : kValueSwitches) {
      const std::string text = s.text;
      if (StartsWith(lower, text)) {
        settings.*s.setting = argument.substr(text.size());
        break;
      }
    }
  }
}

TForm1::TForm1(TApplication& app, const PackageDefinition& package, Settings& settings)
    : Form("Form1", 484, 284),
      PageControl1("PageControl1", ControlKind::kPageControl, nullptr, {5, 5, 473, 240}),
      Intro1("Intro1", ControlKind::kPage, &PageControl1, {4, 4, 465, 232}),
      License1("License1", ControlKind::kPage, &PageControl1, {4, 4, 465, 232}),
      Dest1("Dest1", ControlKind::kPage, &PageControl1, {4, 4, 465, 232}),
      StartUpdate1("StartUpdate1", ControlKind::kPage, &PageControl1, {4, 4, 465, 232}),
      Update1("Update1", ControlKind::kPage, &PageControl1, {4, 4, 465, 232}),
      UpdateComplete1("UpdateComplete1", ControlKind::kPage, &PageControl1, {4, 4, 465, 232}),
      Panel2("Panel2", ControlKind::kPanel, nullptr, {5, 20, 51, 51}),
      Image1("Image1", ControlKind::kImage, &Panel2, {1, 1, 48, 48}),
      Panel1("Panel1", ControlKind::kPanel, nullptr, {5, 245, 475, 2}),
      Label6("Label6", ControlKind::kLabel, nullptr, {15, 260, 160, 13}),
      Previous1("Previous1", ControlKind::kButton, nullptr, {238, 254, 75, 25}),
      Next1("Next1", ControlKind::kButton, nullptr, {321, 254, 75, 25}),
      Cancel1("Cancel1", ControlKind::kButton, nullptr, {404, 254, 75, 25}),
      IntroText1("IntroText1", ControlKind::kLabel, &Intro1, {56, 11, 400, 215}),
      LicenseText1("LicenseText1", ControlKind::kMemo, &License1, {56, 10, 400, 172}),
      LicenseQuestion1("LicenseQuestion1", ControlKind::kLabel, &License1, {55, 187, 400, 40}),
      DestText1("DestText1", ControlKind::kLabel, &Dest1, {55, 10, 400, 160}),
      GroupBox1("GroupBox1", ControlKind::kGroupBox, &Dest1, {55, 170, 400, 50}),
      DestFolder1("DestFolder1", ControlKind::kLabel, &GroupBox1, {7, 22, 304, 15}),
      Browse1("Browse1", ControlKind::kButton, &GroupBox1, {316, 15, 75, 25}),
      StartUpdateText1("StartUpdateText1", ControlKind::kLabel, &StartUpdate1, {55, 10, 400, 210}),
      UpdateText1("UpdateText1", ControlKind::kLabel, &Update1, {55, 10, 400, 168}),
      UpdateFileName1("UpdateFileName1", ControlKind::kPanel, &Update1, {55, 177, 400, 21}),
      UpdateProgress1("UpdateProgress1", ControlKind::kProgressBar, &Update1, {55, 205, 400, 16}),
      UpdateCompleteText1("UpdateCompleteText1", ControlKind::kLabel, &UpdateComplete1,
                          {55, 10, 400, 210}),
      SQLConnection1(app.host()),
      SQLQuery1(SQLConnection1),
      app_(app),
      package_(package),
      settings_(settings),
      install_([](Installer& installer) { return RunInstall(installer); }) {
  for (Control* c : {&PageControl1,
                     &Intro1,
                     &License1,
                     &Dest1,
                     &StartUpdate1,
                     &Update1,
                     &UpdateComplete1,
                     &Panel2,
                     &Image1,
                     &Panel1,
                     &Label6,
                     &Previous1,
                     &Next1,
                     &Cancel1,
                     &IntroText1,
                     &LicenseText1,
                     &LicenseQuestion1,
                     &DestText1,
                     &GroupBox1,
                     &DestFolder1,
                     &Browse1,
                     &StartUpdateText1,
                     &UpdateText1,
                     &UpdateFileName1,
                     &UpdateProgress1,
                     &UpdateCompleteText1})
    Add(*c);
  for (int i = 0; i < kPageCount; ++i) Page(i).visible = (i == kIntro);
  Panel2.bevel_lowered = true;
  Panel1.bevel_lowered = true;
  Label6.text = package_.VendorNotice;
  Label6.link = true;
  Label6.key = 'v';
  Previous1.text = "<< Previous";
  Previous1.key = 'p';
  Next1.text = "Next >>";
  Next1.default_button = true;
  Next1.key = 'n';
  Cancel1.text = "Cancel";
  Cancel1.cancel_button = true;
  Cancel1.key = 'c';
  Browse1.text = "Browse";
  Browse1.key = 'b';
  IntroText1.word_wrap = true;
  LicenseText1.word_wrap = true;
  LicenseQuestion1.word_wrap = true;
  DestText1.word_wrap = true;
  // Placeholders; every page's show step replaces its texts.
  IntroText1.text = "IntroText1";
  LicenseQuestion1.text = "LicenseQuestion1";
  DestText1.text = "DestText1";
  DestFolder1.text = "DestFolder1";
  StartUpdateText1.text = "StartUpdateText1";
  UpdateText1.text = "UpdateText1";
  UpdateFileName1.text = "";
  UpdateCompleteText1.text = "UpdateCompleteText1";
  app_.CreateForm(*this);
  ParseCommandLine(app_.host().CommandLineArguments(), settings_);
  if (!settings_.DbPasswordFile.empty()) {
    std::string why;
    if (const std::optional<std::string> password =
            ReadPasswordFile(app_.host(), settings_.DbPasswordFile, &why)) {
      settings_.DbPassword = *password;
      app_.log().Write("database password read from " + settings_.DbPasswordFile);
    } else {
      app_.ui().ShowMessageBox(nullptr,
                               "Unable to read the password file " + settings_.DbPasswordFile +
                                   "." + (why.empty() ? std::string() : "\n" + why),
                               "ERROR", kMbOk | kMbIconError);
    }
  }
}

TForm1::~TForm1() = default;

Control& TForm1::Page(int index) {
  Control* pages[kPageCount] = {&Intro1,       &License1, &Dest1,
                                &StartUpdate1, &Update1,  &UpdateComplete1};
  return *pages[index];
}

void TForm1::SetActivePage(int index) {
  if (index < 0 || index >= kPageCount) return;
  active_page_ = index;
  for (int i = 0; i < kPageCount; ++i) Page(i).visible = (i == index);
  RunShowStep(index);
}

void TForm1::RunShowStep(int index) {
  switch (index) {
    case kIntro:
      Intro1Show();
      break;
    case kLicense:
      License1Show();
      break;
    case kDest:
      Dest1Show();
      break;
    case kStartUpdate:
      StartUpdate1Show();
      break;
    case kUpdate:
      Update1Show();
      break;
    case kUpdateComplete:
      UpdateComplete1Show();
      break;
  }
}

void TForm1::DoShow() {
  RunShowStep(active_page_);
  FormShow();
}

void TForm1::FormShow() {
  caption = "Installing..." + package_.ProductTitle + " " + package_.ThisVersion;
  app_.SetTitle(caption);
  active_page_ = kIntro;  // already the active page: no show step runs again
  {
    TRegistry registry(app_.host());
    // The pre-flight creates no key: a missing one reads as the empty key a
    // real run would create, and one that cannot be created either as a
    // real run finds it, not opened.
    const bool opened = registry.OpenKey(kProductKey, !settings_.CheckOnly);
    std::string why;
    if (!opened && settings_.CheckOnly && ProductKeyWritable(app_.host(), &why)) {
      app_.log().Write("registry key HKEY_LOCAL_MACHINE\\" + std::string(kProductKey) +
                       RegistryViewNote(app_.host()) + " missing: an install would create it");
      settings_.InstallDir.clear();
    } else if (opened) {
      try {
        settings_.InstallDir = registry.ReadString("InstallDir");
      } catch (const std::exception& e) {
        // Shown by the event loop; the install never runs unattended then.
        start_fault_ = true;
        app_.log().NoteReason(e.what());
        throw;
      }
      app_.log().Write("InstallDir from the registry" + RegistryViewNote(app_.host()) + ": " +
                       settings_.InstallDir);
    } else if (!settings_.SilentMode) {
      app_.ui().ShowMessageBox(
          this,
          "Unable to read registration details from the registry. Corvantis will not function "
          "without this information.  Contact your technical support.",
          "ERROR", kMbOk | kMbIconError);
    }
  }
  if (settings_.SilentMode)
    for (int i = 0; i < 4; ++i) Next1Click();
}

void TForm1::Intro1Show() {
  Next1.text = "Next >>";
  Cancel1.text = "Cancel";
  Previous1.enabled = false;
  const std::string& t = package_.ProductTitle;
  IntroText1.text = "Welcome to the " + t + " Installation program.\nThis program will install " +
                    t + " onto your computer." +
                    "\n\nIt is strongly recommended that you exit all Windows programs before "
                    "running this Install program." +
                    "\n\nClick Cancel to quit Install and then close any program you have "
                    "running.  Click Next to continue with the Install program." +
                    "\n\n\n" + "\n\n";
}

void TForm1::License1Show() {
  Next1.enabled = true;
  Next1.text = "Yes";
  Cancel1.text = "No";
  Previous1.enabled = true;
  LicenseText1.lines.clear();
  const std::string& text = package_.LicenceText;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    LicenseText1.lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  LicenseQuestion1.text =
      "Do you accept all the terms of the preceding License Agreement? If you choose no, "
      "Install will close. To install " +
      package_.ProductTitle + ", you must accept this agreement.";
}

void TForm1::Dest1Show() {
  Next1.text = "Next >>";
  Cancel1.text = "Cancel";
  Previous1.enabled = true;
  const std::string& t = package_.ProductTitle;
  DestText1.text = "Install will install " + t + " in the following location." + "\n\nTo install " +
                   t + " to this local folder, click Next." + " To install " + t +
                   " in a different folder, click Browse." + "\n\nYou can choose not to install " +
                   t +
                   " by clicking on Cancel to exit "
                   "Install.";
  DestFolder1.text = settings_.InstallDir;
}

void TForm1::StartUpdate1Show() {
  StartUpdateText1.text =
      std::string(
          "Install will now install all necessary files to complete the installation "
          "process.") +
      "\n\nTo install the nessesary files, click Next." + "\n\nTo quit Install, click on Cancel.";
}

void TForm1::Update1Show() {
  Previous1.enabled = false;
  Next1.enabled = false;
  UpdateText1.text =
      "Install will now update all necessary files to complete the installation process.";
  app_.ui().Repaint(*this, &Update1);
  InstallPending = true;
}

void TForm1::UpdateComplete1Show() {
  InstallPending = false;
  Cancel1.enabled = false;
  Previous1.enabled = false;
  Next1.text = "Finish";
  finish_mode_ = true;
  if (InstallResult)
    UpdateCompleteText1.text =
        "Install has successfully installed all necessary files on you computer.";
  else
    UpdateCompleteText1.text =
        "An error occured installing some or all of the necessary files on you "
        "computer.\n\nMake sure that no program are running and try again.";
  if (InstallResult && settings_.SilentMode) Finish1Click();
}

void TForm1::Next1Click() {
  SetActivePage(active_page_ + 1);
  if (!InstallPending) return;
  if (login_ == nullptr) throw Fault("The login dialog does not exist");
  Installer installer{app_, package_, settings_, *this, SQLConnection1, SQLQuery1, *login_};
  install_started_ = true;
  InstallResult = install_(installer);
  install_returned_ = true;
  Next1.enabled = true;
  Next1Click();
}

void TForm1::Previous1Click() {
  if (active_page_ > kIntro) SetActivePage(active_page_ - 1);
}

void TForm1::Cancel1Click() {
  const int answer = app_.ui().ShowMessageBox(
      this,
      "Install is not complete. If you quit the Install now, the program will not be "
      "installed.\n\nYou may run the Install program at a later time to complete the "
      "installation.\n\nDo you really want to quit?",
      "Exit Install", kMbYesNo | kMbIconQuestion);
  if (answer == kIdYes) Close();
}

void TForm1::Browse1Click() {
  const std::optional<std::string> folder =
      app_.ui().BrowseForFolder(this, "Browse for " + package_.ProductTitle + " Folder.");
  if (folder) DestFolder1.text = *folder;
}

void TForm1::Finish1Click() { Close(); }

void TForm1::Label6Click() { app_.ui().OpenWebAddress(package_.VendorWebAddress); }

void TForm1::Click(Control& control) {
  if (&control == &Next1) {
    if (finish_mode_)
      Finish1Click();
    else
      Next1Click();
  } else if (&control == &Previous1) {
    Previous1Click();
  } else if (&control == &Cancel1) {
    Cancel1Click();
  } else if (&control == &Browse1) {
    Browse1Click();
  } else if (&control == &Label6) {
    Label6Click();
  }
}

void TForm1::ShowStatus(const std::string& text) {
  app_.log().Write("status: " + text);
  UpdateFileName1.text = text;
  app_.ui().Repaint(*this, &UpdateFileName1);
}

void TForm1::ShowProgress(int percent) {
  UpdateProgress1.position = percent;
  app_.ui().Repaint(*this, nullptr);
  app_.ProcessMessages();
}

void TForm1::SetStatusText(const std::string& text) {
  app_.log().Write("status: " + text);
  UpdateFileName1.text = text;
}

int TForm1::ExitStatus() const {
  // A fault before the install began (a wrong type of "InstallDir") is a
  // refusal with nothing changed, not a wizard someone closed.
  if (!install_started_) return start_fault_ ? kExitNotApplied : kExitNotInstalled;
  if (install_returned_ && InstallResult) return kExitSucceeded;
  // Up to the web server's stop nothing has been changed; a fault raised
  // there counts as a refusal too.
  const RunLog& log = app_.log();
  if (!log.changes_begun()) return log.already_current() ? kExitAlreadyCurrent : kExitNotApplied;
  if (log.restore() == RunLog::Restore::kIncomplete ||
      log.restore() == RunLog::Restore::kNotRestored)
    return kExitNotRestored;
  return install_returned_ && log.stopped_by_answer() ? kExitStopped : kExitFailed;
}

std::string LoggedCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  // After a masked argument, the parts that a password with blanks was
  // split into: every one up to the closing quote the value opened, and
  // every following one that is no switch.
  char open_quote = 0;
  bool after_masked = false;
  for (const std::string& argument : arguments) {
    std::string shown = argument;
    if (StartsWith(AnsiLowerCase(argument), "/dbpass")) {
      // Any spelling and any separator: the switch's letters stay.
      size_t keep = 7;
      while (keep < argument.size() && std::isalpha(static_cast<unsigned char>(argument[keep])))
        ++keep;
      if (keep < argument.size()) ++keep;  // the separator
      shown = argument.substr(0, keep) + "***";
      const std::string value = argument.substr(keep);
      open_quote = 0;
      if (!value.empty() && (value[0] == '"' || value[0] == '\'') &&
          value.find(value[0], 1) == std::string::npos)
        open_quote = value[0];
      after_masked = true;
    } else if (open_quote != 0) {
      if (argument.find(open_quote) != std::string::npos) open_quote = 0;
      shown = "***";
    } else if (after_masked && !StartsWith(argument, "/")) {
      shown = "***";
    } else {
      after_masked = false;
    }
    if (shown.empty() || shown.find_first_of(" \t") != std::string::npos)
      shown = "\"" + shown + "\"";
    if (!line.empty()) line += ' ';
    line += shown;
  }
  return line;
}

namespace {

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

const char* ResultText(int status, bool check) {
  if (check && status == kExitAlreadyCurrent)
    return "nothing to do: the server already runs this version";
  if (check)
    return status == kExitSucceeded ? "the update would go ahead" : "the update would not go ahead";
  switch (status) {
    case kExitSucceeded:
      return "the install succeeded";
    case kExitNotStarted:
      return "the installer could not start";
    case kExitNotInstalled:
      return "the wizard was closed before the install began";
    case kExitFailed:
      return "the install failed after it began changing the machine";
    case kExitStopped:
      return "the install was stopped by a No after it began changing the machine";
    case kExitNotRestored:
      return "the install failed and the machine is not as it was before";
    case kExitNotApplied:
      return "the update did not go ahead; nothing was changed";
    case kExitAlreadyCurrent:
      return "nothing to do: the server already runs this version";
  }
  return "unknown";
}

// A run without an administrator's full rights, told in its box already.
struct NotElevated {};

// Without an administrator's full rights every key below HKEY_LOCAL_MACHINE
// opened for writing would fail and be told as missing, and the web server
// could not be stopped: the run says what is wrong before anything is read,
// and ends.
void RequireElevation(TApplication& app) {
  if (app.host().Elevated()) return;
  app.log().Write("not elevated: the installer runs without an administrator's full rights");
  app.ui().ShowMessageBox(nullptr, kNotElevatedText, "ERROR", kMbOk | kMbIconError);
  throw NotElevated();
}

}  // namespace

const char kNotElevatedText[] =
    "Install needs the full rights of an administrator, which this run does not have.\n\n"
    "Right-click setup.exe and choose \"Run as administrator\".";

std::string HelpText() {
  return "setup [/silent | /verysilent | /check] [/log:FILE] [/installdir:FOLDER]\n"
         "      [/dbhost:HOST] [/dbuser:USER] [/dbpass:PASSWORD | /dbpassfile:FILE]\n"
         "      [/norollback] [/waitlimit:SECONDS]\n"
         "\n"
         "/silent             goes through the pages by itself; boxes still ask\n"
         "/verysilent         shows no window: an OK box is acknowledged, every\n"
         "                    question is answered No, the DB Login counts as\n"
         "                    cancelled; errors go to standard error\n"
         "/check              changes nothing: checks the versions, finds Apache,\n"
         "                    PHP and PostgreSQL, reads the package, and prints what\n"
         "                    an install would do (implies /verysilent)\n"
         "/log:FILE           writes a log of the run to FILE (the password as ***)\n"
         "/installdir:FOLDER  the destination only when the product's registry key\n"
         "                    can be neither opened nor created; once the key\n"
         "                    exists its \"InstallDir\" wins, even an empty one\n"
         "/dbhost:HOST /dbuser:USER /dbpass:PASSWORD\n"
         "                    the database login; without a password it is asked for\n"
         "/dbpassfile:FILE    the password is FILE's first line: a command line can be\n"
         "                    read by every user of the machine, a file only by those\n"
         "                    its ACL lets in\n"
         "/norollback         a failure after the web server's stop leaves everything\n"
         "                    as it is, the web server stopped (to inspect it);\n"
         "                    without it the previous state is restored\n"
         "/waitlimit:SECONDS  with /verysilent or /check: a program setup starts that\n"
         "                    runs longer is ended and counts as failed (1800)\n"
         "/? /help            shows this text\n"
         "\n"
         "Exit status:\n"
         "0  the install ran to the end and recorded the new module version\n"
         "   (/check: the install would go ahead)\n"
         "1  the installer could not start\n"
         "2  the wizard was closed before the install began\n"
         "4  the install failed after the web server's stop; the previous state was\n"
         "   restored and the web server started again (/norollback: left as it was)\n"
         "5  a No stopped the install after the web server's stop; restored as for 4\n"
         "7  the update did not go ahead and nothing was changed\n"
         "   (/check: the install would not go ahead)\n"
         "9  the install failed and the machine is not as it was before: the restore\n"
         "   could not complete, or the module record failed after the restart (the\n"
         "   new files stay; run setup again); the log says what to look at\n"
         "10 nothing to do: this server already runs Articles 2.3.8\n"
         "   (/verysilent and /check alike; nothing was changed)\n"
         "On Linux, 128+N: the installer was killed by signal N.\n";
}

std::string RunHeader(const RunnerFacts& runner, const PackageDefinition& package,
                      const std::vector<std::string>& arguments) {
  std::string elevation;
  if (runner.elevated) elevation = *runner.elevated ? " (elevated)" : " (not elevated)";
  return "run of " + package.ProductTitle + " " + package.ThisVersion + " started " +
         runner.local_time + " on " + runner.host_name + " by " + runner.user + elevation + ": " +
         LoggedCommandLine(arguments);
}

namespace {

// Opens the log, unless it is one of the files the run reads or writes:
// such a log is refused before anything is written to it, and the run goes
// on without one, as when the log cannot be created.
void OpenRunLog(TApplication& app, const PackageDefinition& package, const Settings& switches) {
  Host& host = app.host();
  RunLog& log = app.log();
  const std::string windows_name = host.FromNativePath(switches.LogFile);
  const std::vector<std::string> run_files = RunFilePaths(host, package, switches);
  const std::optional<std::string> before = host.FileIdentity(windows_name);
  std::string clash = RunFileNamedBy(host, windows_name, before.value_or(""), run_files);
  if (clash.empty()) {
    if (!log.Open(switches.LogFile)) {
      const std::string why = host.LastError().Message();
      app.ui().ShowMessageBox(nullptr,
                              "Unable to create the log file " + switches.LogFile + "." +
                                  (why.empty() ? std::string() : "\n" + why),
                              "ERROR", kMbOk | kMbIconError);
      return;
    }
    // The file opened may be another one than the name suggested (a link).
    if (!log.identity().empty())
      clash = RunFileNamedBy(host, windows_name, log.identity(), run_files);
    if (clash.empty()) return;
    log.Close();
  }
  app.ui().ShowMessageBox(nullptr,
                          "The log file " + switches.LogFile + " is " + clash +
                              ", which this run reads or writes: the run goes on without a log.",
                          "ERROR", kMbOk | kMbIconError);
}

}  // namespace

int RunSetup(Host& host, Ui& ui, Console* console) {
  TApplication app(host, ui);
  RunLog& log = app.log();
  const std::vector<std::string> arguments = host.CommandLineArguments();
  Settings switches;
  ParseCommandLine(arguments, switches);
  const PackageDefinition& package = ThePackage();
  if (switches.LogGiven) OpenRunLog(app, package, switches);
  // Only now: a log at /dev/stdout is the output the run was started with.
  if (switches.VerySilent && console != nullptr) console->QuietStartedPrograms();
  if (switches.CheckOnly && console != nullptr)
    log.SetPlanOutput([console](const std::string& text) { console->Output(text); });
  log.SetWriteFailureHandler([&app, &switches, console](const std::string& at) {
    const std::string text = "Unable to write the log file " + switches.LogFile + " after " + at +
                             " s: the lines from then on are missing.";
    if (console != nullptr && !switches.VerySilent) console->Error("setup: " + text + "\n");
    app.ui().ShowMessageBox(nullptr, text, "ERROR", kMbOk | kMbIconError);
  });
  log.Write(RunHeader(host.Runner(), package, arguments));
  log.Write(package.ProductTitle + " " + package.ThisVersion);
  log.Write("command line: " + LoggedCommandLine(arguments));
  log.Write("installer folder: " + host.ProgramFolder());
  log.Write("package: " + host.ProgramFolder() + "Data.kpv");
  if (switches.CheckOnly)
    log.Report("Pre-flight check of " + package.ProductTitle + " " + package.ThisVersion +
               ": nothing is changed");
  int status = kExitNotStarted;
  try {
    RequireElevation(app);
    app.SetTitle("Update...");
    Settings settings;
    TForm1 form(app, package, settings);
    TDBLoginForm1 login(app, settings);
    form.SetLoginForm(&login);
    app.Run(form);
    status = form.ExitStatus();
  } catch (const NotElevated&) {
    status = kExitNotApplied;
  } catch (const std::exception& e) {
    // The forms are gone by now: the box has no owner.
    app.ui().ShowMessageBox(nullptr, TApplication::ExceptionText(e.what()), app.Title(),
                            kMbOk | kMbIconError);
    status = kExitNotStarted;
  }
  if (switches.CheckOnly && status != kExitSucceeded && status != kExitNotStarted &&
      status != kExitAlreadyCurrent)
    status = kExitNotApplied;
  if (switches.CheckOnly) {
    if (status == kExitSucceeded)
      log.Report("The update would go ahead.");
    else if (status == kExitAlreadyCurrent)
      log.Report("Nothing to do: this server already runs " + package.ModuleName + " " +
                 package.ThisVersion + ".");
    else
      log.Report("The update would not go ahead: " + OneLine(log.reason()));
  }
  log.Write(std::string("result: ") + ResultText(status, switches.CheckOnly) + "; exit status " +
            std::to_string(status));
  if (log.incomplete() && console != nullptr)
    console->Error("setup: the log file " + switches.LogFile +
                   " is incomplete: it lacks every line after " + log.failed_at() + " s.\n");
  return status;
}

int RunProgram(Host& host, Console& console, const UiFactory& make_ui,
               const UiFactory& make_unattended_ui) {
  Settings switches;
  ParseCommandLine(host.CommandLineArguments(), switches);
  if (switches.ShowHelp) {
    console.ShowHelp(ThePackage().ProductTitle + " " + ThePackage().ThisVersion, HelpText());
    return kExitSucceeded;
  }
  std::unique_ptr<Ui> ui = switches.VerySilent ? make_unattended_ui() : make_ui();
  return RunSetup(host, *ui, &console);
}
