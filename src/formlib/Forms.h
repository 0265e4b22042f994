#pragma once
// A small model of the form library's windows and controls. The core sets
// texts, captions and states on it; a front-end renders it (a native window
// on Windows, text on a terminal) and reports user actions back as clicks.

#include <string>
#include <vector>

enum class ControlKind {
  kPageControl,  // holds pages; only the active one is visible
  kPage,
  kPanel,
  kImage,
  kLabel,
  kButton,
  kMemo,
  kGroupBox,
  kProgressBar,
  kEdit,
};

struct Bounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

class Control {
 public:
  Control(std::string control_name, ControlKind control_kind, Control* parent_control,
          Bounds control_bounds)
      : name(std::move(control_name)),
        kind(control_kind),
        parent(parent_control),
        bounds(control_bounds) {}
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string name;
  const ControlKind kind;
  Control* const parent;  // null: the form's client area
  const Bounds bounds;

  std::string text;                // caption, label text or edit text
  std::vector<std::string> lines;  // memo lines
  bool enabled = true;
  bool visible = true;
  int position = 0;  // progress bar, 0 to 100

  // Presentation attributes, fixed when the form is built.
  bool word_wrap = false;
  bool default_button = false;  // Enter presses it
  bool cancel_button = false;   // Escape presses it
  bool link = false;            // blue text with a hand cursor; clickable
  bool bevel_lowered = false;
  char password_char = 0;            // edits: shown for every character
  char key = 0;                      // the key that presses it on a terminal
  Control* focus_control = nullptr;  // a label's edit
  int tab_order = 0;

  // Visible on screen: it and all its parents are visible.
  bool Showing() const {
    for (const Control* c = this; c != nullptr; c = c->parent)
      if (!c->visible) return false;
    return true;
  }
};

class Form {
 public:
  Form(std::string form_name, int width, int height)
      : name(std::move(form_name)), client_width(width), client_height(height) {}
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form() = default;

  const std::string name;
  const int client_width;
  const int client_height;
  std::string caption;
  std::string font_name = "MS Sans Serif";
  int font_height = -11;

  // In creation order: every control after its parent.
  const std::vector<Control*>& controls() const { return controls_; }

  // The show step, run when the form is shown.
  virtual void DoShow() {}
  // A button (or link label) was clicked. Disabled controls get no clicks.
  virtual void Click(Control& control) = 0;
  // The window's close box (or the system menu's Close, Alt+F4).
  virtual void CloseBox() { Close(); }

  // Close: for the main form, ends the event loop once the handler running
  // now returns; for a modal dialog, ends its modal loop.
  void Close() { close_requested_ = true; }
  bool close_requested() const { return close_requested_; }
  void ResetClose() { close_requested_ = false; }

  bool displayed = false;  // on screen now

 protected:
  void Add(Control& control) { controls_.push_back(&control); }

 private:
  std::vector<Control*> controls_;
  bool close_requested_ = false;
};
