#pragma once
// Everything the install sequence and the version gate reach during one
// install: the host, the settings and package constants, the wizard's
// progress display and destination folder, the database components and the
// login dialog. The wizard builds one for each run of RunInstall().

#include <string>

#include "formlib/Application.h"
#include "platform/Host.h"

struct PackageDefinition;
struct Settings;
class TZConnection;
class TZQuery;
class TDBLoginForm1;

// The wizard's side of the install: its progress display and its
// destination folder.
class InstallUi {
 public:
  virtual ~InstallUi() = default;
  // Sets the status panel's text and repaints it at once.
  virtual void ShowStatus(const std::string& text) = 0;
  // Sets the progress bar, repaints the window, processes pending events.
  virtual void ShowProgress(int percent) = 0;
  // Sets the status panel's text without repainting it.
  virtual void SetStatusText(const std::string& text) = 0;
  // The destination folder: the text of DestFolder1.
  virtual std::string DestinationFolder() const = 0;
  // The window that owns the install's message boxes.
  virtual const Form* Owner() const = 0;
};

struct Installer {
  TApplication& app;
  const PackageDefinition& package;
  Settings& settings;
  InstallUi& ui;
  TZConnection& SQLConnection1;
  TZQuery& SQLQuery1;
  TDBLoginForm1& DBLoginForm1;

  Host& host() const { return app.host(); }
  // A message box owned by the wizard window, captioned "ERROR". Its text
  // (with the answer to a question) is the run's reason for stopping, unless
  // a later box or a caller gives another.
  int ErrorBox(const std::string& text, unsigned flags) const {
    app.outcome().NoteReason(text);
    const int answer = app.ui().ShowMessageBox(ui.Owner(), text, "ERROR", flags);
    if ((flags & kMbButtonMask) == kMbYesNo)
      app.outcome().NoteReason(text + " (answered " + MessageBoxAnswerText(answer) + ")");
    return answer;
  }
};
