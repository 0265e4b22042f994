#pragma once
// RunLog: the plain-text log of one run ("/log:FILE").
//
// Each line is written to the file as it happens, so a run that is killed
// leaves every line up to the kill. The file is appended to, so it keeps
// every run. A line starts with the seconds since start-up and ends as the
// host's text files do (CR LF on Windows); line breaks inside a text are
// written as "\n". Without a file the lines go nowhere.
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
};

// The plan of a "/check" run: what an install would do, one line at a
// time. Every line goes to the log and, once an output is set, to it as
// well (standard output).
class RunPlan {
 public:
  explicit RunPlan(RunLog& log) : log_(log) {}
  void SetOutput(std::function<void(const std::string&)> output) { output_ = std::move(output); }
  void Report(const std::string& text);

 private:
  RunLog& log_;
  std::function<void(const std::string&)> output_;
};

// The flags of a box in words: "MB_YESNO|MB_ICONERROR|MB_DEFBUTTON2".
std::string MessageBoxFlagsText(unsigned flags);
// A box's result in words: "OK", "Yes", "No", "Cancel", or "none (0)".
std::string MessageBoxAnswerText(int answer);

class LoggingUi : public UiWrapper {
 public:
  LoggingUi(Ui& inner, RunLog& log) : UiWrapper(inner), log_(log) {}

  void DisplayForm(Form& form, bool modal) override;
  int ShowMessageBox(const Form* owner, const std::string& text, const std::string& caption,
                     unsigned flags) override;

 private:
  RunLog& log_;
};
