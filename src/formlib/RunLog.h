#pragma once
// RunLog: the plain-text log of one run ("/log:FILE") and what the run has
// done so far, from which the exit status is told.
//
// Each line is written to the file as it happens, so a run that is killed
// leaves every line up to the kill. The file is appended to, so it keeps
// every run. A line starts with the seconds since start-up and ends as the
// host's text files do (CR LF on Windows); line breaks inside a text are
// written as "\n". Without a file the lines go nowhere, but the run's facts
// are still kept.
//
// LoggingUi sits in front of a front-end and writes every message box (its
// caption, text, flags and the answer taken) and the modal dialogs shown.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "formlib/Ui.h"
#include "platform/Host.h"

// A duration in milliseconds as seconds: "12.345".
std::string SecondsText(uint32_t milliseconds);

class RunLog {
 public:
  explicit RunLog(Host& host);
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;
  ~RunLog();

  // Opens the file the user named (in the host's own syntax) for
  // appending; false, with no log, when it cannot be opened.
  bool Open(const std::string& native_path);
  // Ends the log: nothing more is written.
  void Close() { file_.reset(); }
  bool active() const { return file_ != nullptr; }
  // The identity of the file opened (Host::FileIdentity).
  const std::string& identity() const { return identity_; }

  // Runs once, with the seconds since start-up, when a write fails; the log
  // is given up from that line on.
  void SetWriteFailureHandler(std::function<void(const std::string&)> handler) {
    on_write_failure_ = std::move(handler);
  }
  // A write failed: the file lacks the lines from then on.
  bool incomplete() const { return !failed_at_.empty(); }
  const std::string& failed_at() const { return failed_at_; }

  void Write(const std::string& text);

  // A line of the log that is also a line of the plan of a "/check" run,
  // which goes to `output` (standard output) as well once it is set.
  void SetPlanOutput(std::function<void(const std::string&)> output) {
    plan_output_ = std::move(output);
  }
  void Report(const std::string& text);

  // The run has come to its first change of the machine (the web server's
  // stop): a failure from here on leaves it changed.
  void MarkChangesBegun() { changes_begun_ = true; }
  bool changes_begun() const { return changes_begun_; }
  // The server already runs the version this package installs, and the
  // re-install was not asked for: nothing to do.
  void MarkAlreadyCurrent() { already_current_ = true; }
  bool already_current() const { return already_current_; }
  // The install was stopped by a No to a question.
  void MarkStoppedByAnswer() { stopped_by_answer_ = true; }
  bool stopped_by_answer() const { return stopped_by_answer_; }
  // What a failure after the first change left: restored as it was, not
  // completely restored, or (the module record) deliberately left.
  enum class Restore { kNone, kRestored, kIncomplete, kNotRestored };
  void MarkRestore(Restore restore) { restore_ = restore; }
  Restore restore() const { return restore_; }
  // Why the install did not go ahead: the text of the last box shown or
  // fault raised.
  void NoteReason(const std::string& reason) { reason_ = reason; }
  const std::string& reason() const { return reason_; }

  // Seconds since start-up, as "12.345".
  std::string Elapsed() const { return SecondsText(host_.TickCount() - start_); }

 private:
  Host& host_;
  uint32_t start_;
  std::unique_ptr<HostFile> file_;
  std::string identity_;
  std::string line_end_ = "\n";
  std::function<void(const std::string&)> on_write_failure_;
  std::string failed_at_;
  std::function<void(const std::string&)> plan_output_;
  bool changes_begun_ = false;
  bool stopped_by_answer_ = false;
  bool already_current_ = false;
  Restore restore_ = Restore::kNone;
  std::string reason_;
};

// The flags of a box in words: "MB_YESNO|MB_ICONERROR|MB_DEFBUTTON2".
std::string MessageBoxFlagsText(unsigned flags);
// A box's result in words: "OK", "Yes", "No", "Cancel", or "none (0)".
std::string MessageBoxAnswerText(int answer);

class LoggingUi : public Ui {
 public:
  LoggingUi(Ui& inner, RunLog& log) : inner_(inner), log_(log) {}

  void SetApplicationTitle(const std::string& title) override { inner_.SetApplicationTitle(title); }
  void AttachForm(Form& form) override { inner_.AttachForm(form); }
  void DisplayForm(Form& form, bool modal) override;
  void HideForm(Form& form) override { inner_.HideForm(form); }
  void BringToFront(Form& form) override { inner_.BringToFront(form); }
  void Repaint(Form& form, const Control* control) override { inner_.Repaint(form, control); }
  void PumpEvents() override { inner_.PumpEvents(); }
  bool NextEvent(UiEvent* event, bool wait) override { return inner_.NextEvent(event, wait); }
  int ShowMessageBox(const Form* owner, const std::string& text, const std::string& caption,
                     unsigned flags) override;
  std::optional<std::string> BrowseForFolder(const Form* owner, const std::string& title) override {
    return inner_.BrowseForFolder(owner, title);
  }
  void OpenWebAddress(const std::string& url) override { inner_.OpenWebAddress(url); }
  void EndOpenLine() override { inner_.EndOpenLine(); }

 private:
  Ui& inner_;
  RunLog& log_;
};
