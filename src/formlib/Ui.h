#pragma once
// Ui: the seam between the core and a front-end, everything the installer
// asks of the screen and the user: the application title, the forms (shown,
// hidden, repainted now), the pump of pending window events and the queue
// of user actions, message boxes, the folder browser and opening a web
// address. The login dialog is a form like the wizard (TDBLoginForm1),
// shown modally and played through NextEvent.
//
// The Terminal (frontend/posix) and the native windows (frontend/win32)
// implement it; tests use FakeUi (tests/support). A run is built from one
// Host (the machine) and one Ui.

#include <memory>
#include <optional>
#include <string>

class Form;
class Control;
class Host;

// MessageBoxA flags and results, with the values of the Windows API.
constexpr unsigned kMbOk = 0x00;
constexpr unsigned kMbYesNo = 0x04;
constexpr unsigned kMbIconError = 0x10;
constexpr unsigned kMbIconQuestion = 0x20;
constexpr unsigned kMbDefButton2 = 0x100;
constexpr unsigned kMbButtonMask = 0x0F;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// One user action on a form, queued by the front-end.
struct UiEvent {
  Form* form = nullptr;
  Control* control = nullptr;  // the button or label clicked; null: close box
};

class Ui {
 public:
  Ui() = default;
  Ui(const Ui&) = delete;
  Ui& operator=(const Ui&) = delete;
  virtual ~Ui() = default;

  // The application title (task-bar text).
  virtual void SetApplicationTitle(const std::string& title) = 0;
  // A form now exists (its window is created, still hidden).
  virtual void AttachForm(Form& form) = 0;
  // Displays a form on screen (centred the first time); modal for dialogs.
  virtual void DisplayForm(Form& form, bool modal) = 0;
  // Hides a displayed form.
  virtual void HideForm(Form& form) = 0;
  // Brings a displayed form to the front.
  virtual void BringToFront(Form& form) = 0;
  // Brings the window up to date with its model and paints it at once:
  // only `control` when given, else the whole form.
  virtual void Repaint(Form& form, const Control* control) = 0;
  // Processes pending window-system events; user actions are queued.
  virtual void PumpEvents() = 0;
  // Takes the next queued user action. With `wait`, blocks until there is
  // one; false then means no more input will come (treated as the close box
  // of the topmost form). Without `wait`, false means none is queued.
  virtual bool NextEvent(UiEvent* event, bool wait) = 0;
  // MessageBoxA owned by `owner` (null: no owner). Returns the button
  // pressed (kIdOk, kIdYes, kIdNo...), or 0 when the box could not be shown.
  virtual int ShowMessageBox(const Form* owner, const std::string& text, const std::string& caption,
                             unsigned flags) = 0;
  // The folder browser: the chosen folder's file-system path, or nullopt
  // when it is unavailable, cancelled, or the choice has no path.
  virtual std::optional<std::string> BrowseForFolder(const Form* owner,
                                                     const std::string& title) = 0;
  // ShellExecuteA "open" of a web address; the outcome is not reported.
  virtual void OpenWebAddress(const std::string& url) = 0;
  // The installer is about to start a program that may write where the
  // front-end writes: what the front-end has open there (a line drawn in
  // place) is ended and its output flushed. Nothing by default.
  virtual void EndOpenLine() {}
};

// The base of a decorator: forwards every call to the front-end `inner`
// (which must outlive it); a decorator overrides only what it adds to.
class UiWrapper : public Ui {
 public:
  explicit UiWrapper(Ui& inner) : inner_(inner) {}

  void SetApplicationTitle(const std::string& title) override { inner_.SetApplicationTitle(title); }
  void AttachForm(Form& form) override { inner_.AttachForm(form); }
  void DisplayForm(Form& form, bool modal) override { inner_.DisplayForm(form, modal); }
  void HideForm(Form& form) override { inner_.HideForm(form); }
  void BringToFront(Form& form) override { inner_.BringToFront(form); }
  void Repaint(Form& form, const Control* control) override { inner_.Repaint(form, control); }
  void PumpEvents() override { inner_.PumpEvents(); }
  bool NextEvent(UiEvent* event, bool wait) override { return inner_.NextEvent(event, wait); }
  int ShowMessageBox(const Form* owner, const std::string& text, const std::string& caption,
                     unsigned flags) override {
    return inner_.ShowMessageBox(owner, text, caption, flags);
  }
  std::optional<std::string> BrowseForFolder(const Form* owner, const std::string& title) override {
    return inner_.BrowseForFolder(owner, title);
  }
  void OpenWebAddress(const std::string& url) override { inner_.OpenWebAddress(url); }
  void EndOpenLine() override { inner_.EndOpenLine(); }

 private:
  Ui& inner_;
};

// The front-end of the platform being built for, on the machine `host`
// (which must outlive it). Defined once per platform, in frontend/.
std::unique_ptr<Ui> CreateUi(Host& host);

// The console the program was started from, for what a run without a
// window prints: standard output and standard error. On Windows those are
// the handles the program was given when they are redirected, else the
// console of the program that started it; with neither, nothing is written.
class Console {
 public:
  Console() = default;
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;
  virtual ~Console() = default;
  virtual void Output(const std::string& text) = 0;
  virtual void Error(const std::string& text) = 0;
  // The command line's help: a box on Windows, standard output elsewhere.
  virtual void ShowHelp(const std::string& caption, const std::string& text) = 0;
  // For a run without a window: the programs the installer starts from now
  // on print nothing on the console but their errors (their standard output
  // is discarded on POSIX). Their windows are hidden by the run itself
  // (ProcessOptions::quiet).
  virtual void QuietStartedPrograms() = 0;
};
// The program's console. Defined once per platform, in frontend/.
std::unique_ptr<Console> CreateConsole();

// The front-end of an unattended run ("/verysilent"): no window is ever
// shown and no input is read, so the wizard closes wherever it would wait.
// A box answers itself: OK is acknowledged, every question is answered No.
// Each box is written to `console`'s standard error, which gets nothing
// else. In frontend/unattended/, the same on every platform.
std::unique_ptr<Ui> CreateUnattendedUi(Console& console);
