#pragma once
// The installer shell: the command line, the wizard form TForm1 with its six
// pages, and the program's start-up.

#include <functional>
#include <string>
#include <vector>

#include "formlib/Application.h"
#include "formlib/Forms.h"
#include "install/Installer.h"
#include "install/PackageDefinition.h"
#include "install/Settings.h"
#include "versiongate/Database.h"

class TDBLoginForm1;

// Applies the command-line switches to the settings. Arguments that match
// no switch are ignored.
void ParseCommandLine(const std::vector<std::string>& arguments, Settings& settings);

// Exit statuses of the installer, in Inno Setup's numbering where the
// meaning matches.
constexpr int kExitSucceeded = 0;        // the install ran to the end and recorded the version
constexpr int kExitNotStarted = 1;       // the installer could not start
constexpr int kExitNotInstalled = 2;     // the wizard closed before the install began
constexpr int kExitFailed = 4;           // it failed after the stop; the previous state restored
constexpr int kExitStopped = 5;          // a No stopped it after the stop; previous state restored
constexpr int kExitNotApplied = 7;       // it did not go ahead, and nothing was changed
constexpr int kExitNotRestored = 9;      // it failed, and the machine is not as it was before
constexpr int kExitAlreadyCurrent = 10;  // the server already runs this version: nothing to do

// The command line for the log: every argument that begins with "/dbpass"
// (any spelling) has its value as "***", and so has every part a password
// with blanks was split into after it.
std::string LoggedCommandLine(const std::vector<std::string>& arguments);
// The log's first line of a run: who ran what, where and when.
std::string RunHeader(const RunnerFacts& runner, const PackageDefinition& package,
                      const std::vector<std::string>& arguments);

// The text of "/?" and "/help": the switches and the exit statuses.
std::string HelpText();
// The box of a run without an administrator's full rights (exit status 7).
extern const char kNotElevatedText[];

// The pages, in their fixed order.
enum PageIndex { kIntro = 0, kLicense, kDest, kStartUpdate, kUpdate, kUpdateComplete, kPageCount };

class TForm1 : public Form, public InstallUi {
 public:
  using InstallSequence = std::function<bool(Installer&)>;

  // Builds the controls, then parses the host's command line into `settings`.
  TForm1(TApplication& app, const PackageDefinition& package, Settings& settings);
  ~TForm1() override;

  // The login dialog, created after this form at start-up.
  void SetLoginForm(TDBLoginForm1* login) { login_ = login; }
  // Replaces RunInstall (for tests of the wizard alone).
  void SetInstallSequence(InstallSequence sequence) { install_ = std::move(sequence); }

  // Controls, with the names of the form layout.
  Control PageControl1;
  Control Intro1, License1, Dest1, StartUpdate1, Update1, UpdateComplete1;
  Control Panel2, Image1, Panel1, Label6;
  Control Previous1, Next1, Cancel1;
  Control IntroText1;
  Control LicenseText1, LicenseQuestion1;
  Control DestText1, GroupBox1, DestFolder1, Browse1;
  Control StartUpdateText1;
  Control UpdateText1, UpdateFileName1, UpdateProgress1;
  Control UpdateCompleteText1;

  TZConnection SQLConnection1;
  TZQuery SQLQuery1;

  bool InstallPending = false;
  bool InstallResult = false;

  int ActivePageIndex() const { return active_page_; }
  Control& Page(int index);

  // Handlers.
  void FormShow();
  void Intro1Show();
  void License1Show();
  void Dest1Show();
  void StartUpdate1Show();
  void Update1Show();
  void UpdateComplete1Show();
  void Next1Click();
  void Previous1Click();
  void Cancel1Click();
  void Browse1Click();
  void Finish1Click();
  void Label6Click();

  // Form.
  void DoShow() override;
  void Click(Control& control) override;

  // InstallUi.
  void ShowStatus(const std::string& text) override;
  void ShowProgress(int percent) override;
  void SetStatusText(const std::string& text) override;
  std::string DestinationFolder() const override { return DestFolder1.text; }
  const Form* Owner() const override { return this; }

  // The program's exit status, from how far the install came.
  int ExitStatus() const;

 private:
  void SetActivePage(int index);
  void RunShowStep(int index);

  TApplication& app_;
  const PackageDefinition& package_;
  Settings& settings_;
  TDBLoginForm1* login_ = nullptr;
  InstallSequence install_;
  int active_page_ = kIntro;
  bool finish_mode_ = false;  // Next1 acts as Finish
  bool install_started_ = false;
  bool install_returned_ = false;
  bool start_fault_ = false;  // the registry read of FormShow raised a fault
};

// Start-up: the application on the machine `host` and the front-end `ui`,
// the log ("/log:"), the wizard form, the login dialog and the event loop.
// A "/check" run writes its plan to `console`. Returns the exit status.
int RunSetup(Host& host, Ui& ui, Console* console = nullptr);

// The program: "/?" or "/help" shows the help on `console`; "/verysilent"
// and "/check" run with the front-end `make_unattended_ui` makes, other
// runs with the platform's own from `make_ui`.
using UiFactory = std::function<std::unique_ptr<Ui>()>;
int RunProgram(Host& host, Console& console, const UiFactory& make_ui,
               const UiFactory& make_unattended_ui);
