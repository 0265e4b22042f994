#include "formlib/RunLog.h"

#include <cstdio>

#include "formlib/Forms.h"

RunLog::RunLog(Host& host) : host_(host), start_(host.TickCount()) {}

RunLog::~RunLog() = default;

bool RunLog::Open(const std::string& native_path) {
  file_.reset();
  identity_.clear();
  LogFileHandle log = host_.OpenLogFile(native_path);
  if (log.file == nullptr) return false;
  file_ = std::move(log.file);
  identity_ = log.identity;
  line_end_ = log.line_end;
  return true;
}

std::string SecondsText(uint32_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%03u", static_cast<unsigned>(ms / 1000),
                static_cast<unsigned>(ms % 1000));
  return text;
}

void RunLog::Write(const std::string& text) {
  if (file_ == nullptr) return;
  std::string line = Elapsed();
  if (line.size() < 8) line.insert(0, 8 - line.size(), ' ');
  line += "  ";
  for (char c : text) {
    if (c == '\n')
      line += "\\n";
    else if (c == '\r')
      line += "\\r";
    else
      line += c;
  }
  line += line_end_;
  if (!WriteAll(*file_, line.data(), line.size())) {
    // A log that can no longer be written is given up, and said so once.
    file_.reset();
    failed_at_ = Elapsed();
    if (on_write_failure_) on_write_failure_(failed_at_);
  }
}

void RunPlan::Report(const std::string& text) {
  if (output_) output_(text + "\n");
  log_.Write(text);
}

std::string MessageBoxFlagsText(unsigned flags) {
  std::string text = (flags & kMbButtonMask) == kMbYesNo ? "MB_YESNO" : "MB_OK";
  if ((flags & kMbButtonMask) != kMbYesNo && (flags & kMbButtonMask) != kMbOk) {
    char other[16];
    std::snprintf(other, sizeof other, "0x%X", flags & kMbButtonMask);
    text = other;
  }
  if (flags & kMbIconError) text += "|MB_ICONERROR";
  if (flags & kMbIconQuestion) text += "|MB_ICONQUESTION";
  if (flags & kMbDefButton2) text += "|MB_DEFBUTTON2";
  return text;
}

std::string MessageBoxAnswerText(int answer) {
  switch (answer) {
    case kIdOk:
      return "OK";
    case kIdCancel:
      return "Cancel";
    case kIdYes:
      return "Yes";
    case kIdNo:
      return "No";
    default:
      return "none (" + std::to_string(answer) + ")";
  }
}

void LoggingUi::DisplayForm(Form& form, bool modal) {
  if (modal) log_.Write("dialog \"" + form.caption + "\" opened");
  UiWrapper::DisplayForm(form, modal);
}

int LoggingUi::ShowMessageBox(const Form* owner, const std::string& text,
                              const std::string& caption, unsigned flags) {
  // The box is written before it waits for its answer, so a run killed
  // meanwhile still shows what it was asking.
  log_.Write("box \"" + caption + "\" " + MessageBoxFlagsText(flags) + ": " + text);
  const int answer = UiWrapper::ShowMessageBox(owner, text, caption, flags);
  log_.Write("box answered: " + MessageBoxAnswerText(answer));
  return answer;
}
