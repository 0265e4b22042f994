#pragma once
// TApplication: the form library's application object, on top of the host
// (the machine) and the front-end (the screen and the user).
// It holds the title, runs the event loop of the main form and the modal
// loops of dialogs, pumps pending events on request, and shows an exception
// that escapes an event handler.

#include <exception>
#include <string>

#include "formlib/Forms.h"
#include "formlib/InstallOutcome.h"
#include "formlib/RunLog.h"
#include "formlib/Ui.h"
#include "platform/Host.h"

class TApplication {
 public:
  TApplication(Host& host, Ui& ui) : host_(host), log_(host), plan_(log_), ui_(ui, log_) {}
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  Host& host() { return host_; }
  // The front-end, with every box and modal dialog written to the log.
  Ui& ui() { return ui_; }
  RunLog& log() { return log_; }
  // The plan of a "/check" run, written to the log (and standard output).
  RunPlan& plan() { return plan_; }
  // How far the install came, what stopped it and why.
  InstallOutcome& outcome() { return outcome_; }
  const InstallOutcome& outcome() const { return outcome_; }

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title);

  // A form has been built: its window exists, hidden.
  void CreateForm(Form& form);

  // Shows the main form (its show step first, then on screen unless it
  // closed meanwhile) and dispatches user actions until it closes.
  void Run(Form& main_form);
  bool Terminated() const { return main_form_ != nullptr && main_form_->close_requested(); }

  // Shows `dialog` modally and returns when it closes.
  void ShowModal(Form& dialog);

  // Processes every pending event, running the handlers of queued actions.
  void ProcessMessages();

  // The default exception display: a box with the error icon, captioned
  // with the title; the message gets a full stop when its last character
  // sorts after ".". The box's text is the run's reason for stopping.
  void ShowException(const std::exception& e);
  static std::string ExceptionText(const std::string& message);

 private:
  void Dispatch(const UiEvent& event);

  Host& host_;
  RunLog log_;
  RunPlan plan_;
  InstallOutcome outcome_;
  LoggingUi ui_;
  std::string title_;
  Form* main_form_ = nullptr;
};
