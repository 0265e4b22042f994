#pragma once
// Terminal: the installer's windows and boxes as text on a terminal, one
// input line per answer.
//
// Keys (a line holding one key, then Enter; letter case does not matter):
//   wizard     n  Next / Yes / Finish   p  Previous   c  Cancel / No
//              b  Browse                v  the vendor link
//              q  the window's close box
//              Enter alone presses the default button (shown on the key line)
//   DB Login   each field is asked in turn: type a new value, or Enter alone
//              to keep the one shown (the password is shown as '*' and read
//              without echo); then o or Enter: OK, c: Cancel, q: close box
//   messages   y  Yes   n  No   o  OK   Enter alone: the default button
//   browse     a folder (a host path such as /srv/www, or a Windows name
//              such as C:\Intranet), or Enter alone to cancel
// End of input closes the topmost window, and a message box then returns 0.
//
// The topmost displayed form takes the input. While the install runs no
// input is read (NextEvent without wait returns at once); the progress bar
// and status are drawn in place on a terminal, and printed as a new line
// whenever they change otherwise.

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "formlib/Forms.h"
#include "formlib/Ui.h"

class Terminal : public Ui {
 public:
  // Turns a host path typed in the folder browser into its Windows name.
  using WindowsName = std::function<std::string(const std::string&)>;

  // `is_terminal`: `in` is the standard input and it and `out` are a
  // terminal: passwords are read with the standard input's echo off, the
  // progress is drawn in place. The four-argument form tells the two apart.
  Terminal(std::istream& in, std::ostream& out, bool is_terminal);
  Terminal(std::istream& in, std::ostream& out, bool input_is_terminal, bool output_is_terminal);

  void SetWindowsName(WindowsName windows_name) { windows_name_ = std::move(windows_name); }

  const std::string& application_title() const { return title_; }
  void SetApplicationTitle(const std::string& title) override { title_ = title; }

  void AttachForm(Form& form) override;
  void DisplayForm(Form& form, bool modal) override;
  void HideForm(Form& form) override;
  void BringToFront(Form& form) override;
  // The topmost displayed form, or null.
  Form* TopForm() const { return stack_.empty() ? nullptr : stack_.back(); }

  void Repaint(Form& form, const Control* control) override;
  void PumpEvents() override;
  bool NextEvent(UiEvent* event, bool wait) override;
  int ShowMessageBox(const Form* owner, const std::string& text, const std::string& caption,
                     unsigned flags) override;
  std::optional<std::string> BrowseForFolder(const Form* owner, const std::string& title) override;
  void OpenWebAddress(const std::string& url) override;

  // Ends a progress line drawn in place, before anything else is printed.
  void EndOpenLine();

 private:
  // One line of input without its line end; false at end of input.
  bool ReadLine(std::string* line, bool secret = false);
  void PrintBody(const Form& form, const Control* root);
  void DrawProgress(const Form& form);
  bool WizardEvent(Form& form, UiEvent* event);
  bool DialogEvent(Form& form, UiEvent* event);
  // Prints the line of keys and reads until one is chosen; the close box is
  // an event with no control. False at end of input.
  bool ChooseButton(Form& form, bool dialog, UiEvent* event);

  std::istream& in_;
  std::ostream& out_;
  const bool input_is_terminal_;
  const bool output_is_terminal_;
  WindowsName windows_name_;
  std::string title_;
  std::vector<Form*> forms_;  // attached
  std::vector<Form*> stack_;  // displayed, topmost last
  bool input_ended_ = false;
  bool line_open_ = false;     // a progress line drawn in place is not ended yet
  std::string progress_line_;  // the progress line drawn last
};
