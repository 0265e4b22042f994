#pragma once
// The installer's wizard: the form TForm1 with its six pages. The command
// line and the program's start-up have headers of their own, included here.

#include <functional>
#include <string>
#include <vector>

#include "formlib/Application.h"
#include "formlib/Forms.h"
#include "install/Installer.h"
#include "install/PackageDefinition.h"
#include "install/Settings.h"
#include "shell/CommandLine.h"
#include "shell/StartUp.h"
#include "versiongate/Database.h"

class TDBLoginForm1;

// The pages, in their fixed order.
enum PageIndex { kIntro = 0, kLicense, kDest, kStartUpdate, kUpdate, kUpdateComplete, kPageCount };

// How far the wizard's install came.
enum class InstallProgress {
  kNotStarted,  // the install page has not been shown
  kPending,     // the install page is shown: the install runs next
  kRunning,     // the install began and has not returned (a fault leaves it so)
  kSucceeded,   // it returned success
  kFailed,      // it returned failure
};

class TForm1 : public Form, public InstallUi {
 public:
  using InstallSequence = std::function<bool(Installer&)>;

  // Builds the controls; `settings` holds the command line's switches.
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

  int ActivePageIndex() const { return active_page_; }
  InstallProgress Progress() const { return progress_; }
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
  InstallProgress progress_ = InstallProgress::kNotStarted;
  bool start_fault_ = false;  // the registry read of FormShow raised a fault
};
