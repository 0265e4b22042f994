#include "shell/Main.h"

#include "engine/InstallSequence.h"
#include "formlib/Registry.h"
#include "platform/Fault.h"
#include "platform/Text.h"

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
        settings_.InstallDir = registry.ReadString(kInstallFolderValue);
      } catch (const std::exception& e) {
        // Shown by the event loop; the install never runs unattended then.
        start_fault_ = true;
        app_.outcome().NoteReason(e.what());
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
  progress_ = InstallProgress::kPending;
}

void TForm1::UpdateComplete1Show() {
  Cancel1.enabled = false;
  Previous1.enabled = false;
  Next1.text = "Finish";
  const bool succeeded = progress_ == InstallProgress::kSucceeded;
  if (succeeded)
    UpdateCompleteText1.text =
        "Install has successfully installed all necessary files on you computer.";
  else
    UpdateCompleteText1.text =
        "An error occured installing some or all of the necessary files on you "
        "computer.\n\nMake sure that no program are running and try again.";
  if (succeeded && settings_.SilentMode) Finish1Click();
}

void TForm1::Next1Click() {
  SetActivePage(active_page_ + 1);
  if (progress_ != InstallProgress::kPending) return;
  if (login_ == nullptr) throw Fault("The login dialog does not exist");
  Installer installer{app_, package_, settings_, *this, SQLConnection1, SQLQuery1, *login_};
  progress_ = InstallProgress::kRunning;
  progress_ = install_(installer) ? InstallProgress::kSucceeded : InstallProgress::kFailed;
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
    if (active_page_ == kUpdateComplete)  // Next1 acts as Finish
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
  if (progress_ == InstallProgress::kNotStarted || progress_ == InstallProgress::kPending)
    return start_fault_ ? kExitNotApplied : kExitNotInstalled;
  if (progress_ == InstallProgress::kSucceeded) return kExitSucceeded;
  // Up to the web server's stop nothing has been changed; a fault raised
  // there counts as a refusal too.
  const InstallOutcome& outcome = app_.outcome();
  if (!outcome.changes_begun())
    return outcome.already_current() ? kExitAlreadyCurrent : kExitNotApplied;
  if (outcome.restore() == InstallOutcome::Restore::kIncomplete ||
      outcome.restore() == InstallOutcome::Restore::kNotRestored)
    return kExitNotRestored;
  const bool returned = progress_ == InstallProgress::kFailed;
  return returned && outcome.stopped_by_answer() ? kExitStopped : kExitFailed;
}
