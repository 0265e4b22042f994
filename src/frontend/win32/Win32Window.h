#pragma once
// The native windows of the forms. Each Form becomes a top-level window with
// a fixed single border, the system menu and the close box; each Control a
// child window at its bounds, relative to its parent's window:
//
//   page control, page, panel, group box   our container window class
//   label                                  STATIC (SS_NOTIFY for a link)
//   button                                 BUTTON (BS_DEFPUSHBUTTON for the default)
//   memo                                   read-only multi-line EDIT, vertical scroll bar
//   edit                                   EDIT (ES_PASSWORD with a password character)
//   image                                  STATIC SS_BITMAP, the bitmap resource named
//                                          after the control ("IMAGE1" for Image1)
//   progress bar                           msctls_progress32, range 0 to 100
//
// The model stays authoritative: Sync brings the windows up to date with the
// controls' texts, lines, states and positions, and runs before every paint,
// message pump and message box. User input becomes queued UiEvents; typed
// text goes back into the edit's Control. The windows never call the core.
//
// Each control's window has the id 100 + its index in Form::controls(), so
// a program driving the wizard from outside can find it.

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formlib/Forms.h"
#include "formlib/Ui.h"
#include "platform/win32/Win32Support.h"

constexpr int kFirstControlId = 100;
extern const char kFormWindowClass[];  // the class of every form's window

class Win32Ui final : public Ui {
 public:
  Win32Ui();
  ~Win32Ui() override;

  void SetApplicationTitle(const std::string& title) override;
  void AttachForm(Form& form) override;
  void DisplayForm(Form& form, bool modal) override;
  void HideForm(Form& form) override;
  void BringToFront(Form& form) override;
  void Repaint(Form& form, const Control* control) override;
  void PumpEvents() override;
  bool NextEvent(UiEvent* event, bool wait) override;
  // MessageBoxA, over the windows as the model has them now.
  int ShowMessageBox(const Form* owner, const std::string& text, const std::string& caption,
                     unsigned flags) override;
  // SHBrowseForFolderA (Win32Shell.cpp).
  std::optional<std::string> BrowseForFolder(const Form* owner, const std::string& title) override;
  // ShellExecuteA "open" (Win32Shell.cpp).
  void OpenWebAddress(const std::string& url) override;
  // The window of an attached form, or null.
  HWND WindowOf(const Form* form) const;
  // Brings every form's windows up to date with its model.
  void SyncAll();

  struct FormWindow;
  struct ControlWindow;

 private:
  static LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK ContainerProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleFormMessage(FormWindow& fw, UINT message, WPARAM wparam, LPARAM lparam);
  // WM_COMMAND: a button pressed, a link clicked, an edit's text changed.
  // False when no control of the form sent it.
  bool HandleCommand(FormWindow& fw, WPARAM wparam);
  void CreateChildren(FormWindow& fw, Control* parent);
  void CreateControlWindow(FormWindow& fw, Control& control, int id);
  void Sync(FormWindow& fw);
  // True when the control's enabled or visible state changed.
  bool SyncControl(ControlWindow& cw);
  void FixFocus(FormWindow& fw);
  void Queue(FormWindow& fw, Control* control);
  void Dispatch(MSG& msg);
  FormWindow* Find(const Form* form) const;
  // The first form attached: a dialog's window belongs to it.
  bool IsMain(const FormWindow& fw) const;
  FormWindow* FindRoot(HWND hwnd) const;

  HINSTANCE instance_;
  std::string title_;
  std::vector<std::unique_ptr<FormWindow>> forms_;
  std::deque<UiEvent> events_;
  bool quit_ = false;
  bool com_initialized_ = false;  // for the folder browser's new-style dialog
};
