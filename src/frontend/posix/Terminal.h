#pragma once
// Terminal: the installer's windows and boxes as text on a terminal, one
// input line per answer.
//
// Keys (a line holding one key, then Enter; letter case does not matter):
//   wizard     n  Next / Yes / Finish   p  Previous   c  Cancel / No
//              b  Browse                v  the vendor link
//              q  the window's close box
//              Enter alone presses the default button (shown on the key line)
//   DB Login   each field is asked in turn. On a terminal it is a small line
//              editor that starts with the field's text: typing appends,
//              Backspace deletes a character, the sequence of a cursor or
//              function key is ignored, Enter accepts what is shown;
//              the password is shown as '*'. From a file or a pipe a line
//              replaces the field and an empty line keeps it. Then o or
//              Enter: OK, c: Cancel, q: close box
//   messages   y  Yes   n  No   o  OK   Enter alone: the default button
//   browse     a folder that exists, with its drive (C:\Intranet) or as a
//              path of this computer (/srv/www, Z:); Enter alone cancels
// End of input closes the topmost window; a message box then presses its
// default button, once: the same box asked again gets 0.
//
// The topmost displayed form takes the input. While the install runs, the
// keys of lines already typed on a terminal act at once (c, q, v); from a
// file or a pipe nothing is read then (NextEvent without wait returns at
// once), so they wait for the next question. The progress bar and status
// are drawn in place on a terminal, and printed as a new line whenever
// they change otherwise.

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "formlib/Forms.h"
#include "formlib/Ui.h"

class Terminal : public Ui {
 public:
  // Whether a whole line has been typed and waits to be read.
  using TypedAhead = std::function<bool()>;

  // `is_terminal`: `in` is the standard input and it and `out` are a
  // terminal: passwords are read with the standard input's echo off, the
  // progress is drawn in place. The four-argument form tells the two apart.
  Terminal(std::istream& in, std::ostream& out, bool is_terminal);
  Terminal(std::istream& in, std::ostream& out, bool input_is_terminal, bool output_is_terminal);

  // The machine, for the folder browser: it names a host path in Windows
  // form and tells whether a folder exists.
  void SetHost(Host* host) { host_ = host; }
  // The terminal's characters are UTF-8 (the locale says so): Backspace
  // removes a character's every byte, and a password shows one '*' for it.
  void SetUtf8(bool utf8) { utf8_ = utf8; }
  // Read while the install runs when the input is a terminal.
  void SetTypedAhead(TypedAhead typed_ahead) { typed_ahead_ = std::move(typed_ahead); }

  // A terminal has no task bar to name the program in.
  void SetApplicationTitle(const std::string&) override {}

  // A form shows only while displayed: attaching keeps nothing.
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

  // Ends a progress line drawn in place, before anything else is printed,
  // and flushes what was printed.
  void EndOpenLine() override;

 private:
  // One line of input without its line end; false at end of input.
  bool ReadLine(std::string* line, bool secret = false);
  void PrintBody(const Form& form, const Control* root);
  void DrawProgress(const Form& form);
  bool WizardEvent(Form& form, UiEvent* event);
  bool DialogEvent(Form& form, UiEvent* event);
  // The controls a key presses, the one Enter presses (or null), and the
  // line that shows them.
  struct Keys {
    std::vector<Control*> pressable;
    Control* enter = nullptr;
    std::string line;
  };
  Keys KeysOf(Form& form, bool dialog) const;
  // The event an answer (one key, or empty for Enter) stands for; false
  // when it stands for none.
  static bool Answer(Form& form, const Keys& keys, const std::string& answer, UiEvent* event);
  // Prints the line of keys and reads until one is chosen; the close box is
  // an event with no control. False at end of input.
  bool ChooseButton(Form& form, bool dialog, UiEvent* event);
  // The first key among the lines already typed that stands for an event.
  bool TypedKey(Form& form, UiEvent* event);
  // The field edited key by key; false at end of input.
  bool EditField(Control* edit);
  size_t CharacterCount(const std::string& text) const;
  // The full Windows name of the typed folder when it exists; else nullopt
  // and why in `why`.
  std::optional<std::string> ExistingFolder(const std::string& typed, std::string* why) const;

  std::istream& in_;
  std::ostream& out_;
  const bool input_is_terminal_;
  const bool output_is_terminal_;
  Host* host_ = nullptr;
  TypedAhead typed_ahead_;
  std::vector<Form*> stack_;  // displayed, topmost last
  bool input_ended_ = false;
  bool utf8_ = false;
  std::vector<std::string> asked_at_end_;  // boxes answered by the end of input
  bool line_open_ = false;                 // a progress line drawn in place is not ended yet
  std::string progress_line_;              // the progress line drawn last
};
