// The wizard and the login dialog as native windows, read back through the
// Win32 API as a person (or a test driver) would see them.
#include <gtest/gtest.h>

#include <thread>

#include "formlib/Application.h"
#include "platform/Host.h"
#include "shell/Main.h"
#include "support/FakeHost.h"
#include "support/FakeUi.h"
#include "versiongate/Dblogin.h"
// After the core's headers: <windows.h> defines MessageBox as a macro.
#include "WizardIds.h"
#include "platform/win32/Win32TestSupport.h"

namespace {

// The control id of `control`: 100 + its index among the form's controls.
int IdOf(const Form& form, const Control& control) {
  const std::vector<Control*>& all = form.controls();
  return 100 + static_cast<int>(std::find(all.begin(), all.end(), &control) - all.begin());
}

HWND ControlWindow(HWND form_window, const Form& form, const Control& control) {
  return ControlWithId(form_window, IdOf(form, control));
}

// Bounds relative to the parent window's client area.
Bounds BoundsOf(HWND hwnd) {
  RECT rect;
  GetWindowRect(hwnd, &rect);
  MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// Answers the next message box captioned `caption` from another thread, as
// a person would: notes the window that owns it, then presses `button`.
// The owner stays null when no such box comes within five seconds.
std::thread AnswerBox(const char* caption, int button, HWND* owner) {
  return std::thread([caption, button, owner] {
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = FindWindowA("#32770", caption)) != nullptr; }, 5)) return;
    *owner = GetWindow(box, GW_OWNER);
    PostMessageA(box, WM_COMMAND, button, 0);
  });
}

class Win32WizardTest : public ::testing::Test {
 protected:
  Win32WizardTest()
      : host_(CreateHost(0, nullptr)),
        ui_(CreateUi(*host_)),
        app_(*host_, *ui_),
        form_(app_, ThePackage(), settings_) {
    settings_.SilentMode = false;
  }
  void Show() {
    form_.DoShow();
    form_.displayed = true;
    ui_->DisplayForm(form_, false);
    window_ = FindWindowA("CorvantisForm", form_.caption.c_str());
    ASSERT_NE(window_, nullptr);
  }
  HWND Of(const Control& control) { return ControlWindow(window_, form_, control); }
  // What a click from outside does: the button's own BM_CLICK.
  void Press(const Control& button) {
    SendMessageA(Of(button), BM_CLICK, 0, 0);
    app_.ProcessMessages();
    ui_->PumpEvents();
  }

  std::unique_ptr<Host> host_;
  std::unique_ptr<Ui> ui_;
  TApplication app_;
  Settings settings_;
  TForm1 form_;
  HWND window_ = nullptr;
};

TEST_F(Win32WizardTest, EveryControlHasItsWindowAtItsBounds) {
  Show();
  RECT client;
  GetClientRect(window_, &client);
  EXPECT_EQ(client.right, 484);
  EXPECT_EQ(client.bottom, 284);
  const LONG style = GetWindowLongA(window_, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_EQ(WindowText(window_), "Installing...brevoxil - Articles Module Update 2.3.8");
  // Centred on the screen.
  RECT frame;
  GetWindowRect(window_, &frame);
  EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

  for (const Control* control : form_.controls()) {
    SCOPED_TRACE(control->name);
    HWND hwnd = Of(*control);
    ASSERT_NE(hwnd, nullptr);
    const Bounds b = BoundsOf(hwnd);
    EXPECT_EQ(b.left, control->bounds.left);
    EXPECT_EQ(b.top, control->bounds.top);
    EXPECT_EQ(b.width, control->bounds.width);
    EXPECT_EQ(b.height, control->bounds.height);
    EXPECT_EQ(IsWindowVisible(hwnd) != FALSE, control->Showing());
    if (control->kind == ControlKind::kImage) continue;  // no text, no font
    LOGFONTA font = {};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
    EXPECT_EQ(font.lfHeight, -11);
  }
  EXPECT_NE(SendMessageA(Of(form_.Image1), STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  const LONG progress_range = static_cast<LONG>(
      SendMessageA(Of(form_.UpdateProgress1), 0x407 /* PBM_GETRANGE */, FALSE, 0));
  EXPECT_EQ(progress_range, 100);
  EXPECT_TRUE(GetWindowLongA(Of(form_.Label6), GWL_STYLE) & SS_NOTIFY);
  EXPECT_TRUE(GetWindowLongA(Of(form_.Next1), GWL_STYLE) & BS_DEFPUSHBUTTON);
}

TEST_F(Win32WizardTest, PressedButtonsMoveThroughThePagesAndTheWindowsFollow) {
  Show();
  EXPECT_FALSE(IsWindowEnabled(Of(form_.Previous1)));
  EXPECT_EQ(WindowText(Of(form_.Next1)), "Next >>");
  EXPECT_TRUE(IsWindowVisible(Of(form_.IntroText1)));
  EXPECT_EQ(WindowText(Of(form_.IntroText1)).substr(0, 54),
            "Welcome to the brevoxil - Articles Module Update Insta");

  Press(form_.Next1);
  EXPECT_EQ(form_.ActivePageIndex(), kLicense);
  EXPECT_EQ(WindowText(Of(form_.Next1)), "Yes");
  EXPECT_EQ(WindowText(Of(form_.Cancel1)), "No");
  EXPECT_TRUE(IsWindowEnabled(Of(form_.Previous1)));
  EXPECT_FALSE(IsWindowVisible(Of(form_.IntroText1)));
  HWND licence = Of(form_.LicenseText1);
  EXPECT_TRUE(IsWindowVisible(licence));
  EXPECT_TRUE(GetWindowLongA(licence, GWL_STYLE) & ES_READONLY);
  EXPECT_TRUE(GetWindowLongA(licence, GWL_STYLE) & WS_VSCROLL);
  const std::string shown = WindowText(licence);
  EXPECT_EQ(shown.substr(0, 38), "Hollinvale\r\nEnd User Licence Agreement");
  EXPECT_EQ(shown.substr(shown.size() - 13), "OTHER DAMAGE.");

  Press(form_.Previous1);
  EXPECT_EQ(form_.ActivePageIndex(), kIntro);
  EXPECT_EQ(WindowText(Of(form_.Cancel1)), "Cancel");
  Press(form_.Previous1);  // disabled: nothing happens
  EXPECT_EQ(form_.ActivePageIndex(), kIntro);

  Press(form_.Next1);
  Press(form_.Next1);
  EXPECT_EQ(form_.ActivePageIndex(), kDest);
  EXPECT_TRUE(IsWindowVisible(Of(form_.Browse1)));
  EXPECT_EQ(WindowText(Of(form_.DestFolder1)), settings_.InstallDir);
}

TEST_F(Win32WizardTest, EnterPressesTheDefaultButtonOnlyWhileItIsEnabled) {
  Show();
  PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
  app_.ProcessMessages();
  EXPECT_EQ(form_.ActivePageIndex(), kLicense);

  form_.Next1.enabled = false;  // as on the installing page
  ui_->PumpEvents();
  EXPECT_FALSE(IsWindowEnabled(Of(form_.Next1)));
  PostMessageA(GetFocus() != nullptr ? GetFocus() : window_, WM_KEYDOWN, VK_RETURN, 0);
  app_.ProcessMessages();
  EXPECT_EQ(form_.ActivePageIndex(), kLicense);
  // Escape presses Cancel: the quit question, owned by the wizard's window.
  HWND owner = nullptr;
  std::thread answer = AnswerBox("Exit Install", IDNO, &owner);
  PostMessageA(GetFocus() != nullptr ? GetFocus() : window_, WM_KEYDOWN, VK_ESCAPE, 0);
  app_.ProcessMessages();
  answer.join();
  EXPECT_EQ(owner, window_);
  EXPECT_FALSE(form_.close_requested());
  EXPECT_EQ(form_.ActivePageIndex(), kLicense);
}

TEST_F(Win32WizardTest, ShowStatusAndShowProgressReachTheWindowAtOnce) {
  Show();
  form_.Page(kIntro).visible = false;
  form_.Update1.visible = true;
  form_.ShowStatus("Installing module.  Please wait...");
  EXPECT_EQ(WindowText(Of(form_.UpdateFileName1)), "Installing module.  Please wait...");
  form_.ShowProgress(40);
  EXPECT_EQ(SendMessageA(Of(form_.UpdateProgress1), 0x408 /* PBM_GETPOS */, 0, 0), 40);
  form_.ShowProgress(150);
  EXPECT_EQ(SendMessageA(Of(form_.UpdateProgress1), 0x408 /* PBM_GETPOS */, 0, 0), 100);
}

class MainForm : public Form {
 public:
  MainForm() : Form("Form1", 200, 100) {}
  void Click(Control&) override {}
};

TEST(Win32LoginTest, TheDialogTakesTypedTextAndAnswersEnterEscapeAndTheCloseBox) {
  std::unique_ptr<Host> host = CreateHost(0, nullptr);
  std::unique_ptr<Ui> ui = CreateUi(*host);
  TApplication app(*host, *ui);
  MainForm main_form;
  app.CreateForm(main_form);
  main_form.displayed = true;
  ui->DisplayForm(main_form, false);
  HWND main_window = FindWindowA("CorvantisForm", "");
  ASSERT_NE(main_window, nullptr);
  Settings settings;
  settings.DbHost = "db.example";
  TDBLoginForm1 login(app, settings);
  HWND dialog = FindWindowA("CorvantisForm", "DB Login");
  ASSERT_NE(dialog, nullptr);
  RECT client;
  GetClientRect(dialog, &client);
  EXPECT_EQ(client.right, 230);
  EXPECT_EQ(client.bottom, 160);
  HWND password = ControlWindow(dialog, login, login.Password1);
  EXPECT_EQ(SendMessageA(password, EM_GETPASSWORDCHAR, 0, 0), '*');
  EXPECT_EQ(WindowText(ControlWindow(dialog, login, login.Ok1)), "&OK");
  const Bounds ok = BoundsOf(ControlWindow(dialog, login, login.Ok1));
  EXPECT_EQ(ok.left, 30);
  EXPECT_EQ(ok.top, 125);

  // Typed into the password edit, then Enter: OK with the typed text.
  for (char c : std::string("s3cret")) PostMessageA(password, WM_CHAR, c, 0);
  PostMessageA(password, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(login.ShowLogin());
  EXPECT_EQ(login.Password1.text, "s3cret");
  EXPECT_EQ(login.Server1.text, "db.example");
  EXPECT_FALSE(IsWindowVisible(dialog));
  EXPECT_TRUE(IsWindowEnabled(main_window));  // the dialog gave the input back

  PostMessageA(password, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_FALSE(login.ShowLogin());
  PostMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_FALSE(login.ShowLogin());
  ui->HideForm(main_form);
}

TEST(Win32WizardIdsTest, TheIdsTheDriverUsesNameTheFormsControls) {
  FakeHost host;
  FakeUi screen;
  TApplication app(host, screen);
  Settings settings;
  TForm1 form(app, ThePackage(), settings);
  TDBLoginForm1 login(app, settings);
  using namespace wizard_ids;
  using Ids = std::initializer_list<std::pair<int, const Control*>>;
  auto expect_ids = [](const Form& owner, Ids ids) {
    for (const auto& [id, control] : ids) {
      SCOPED_TRACE(control->name);
      EXPECT_EQ(IdOf(owner, *control), id);
    }
  };
  expect_ids(form, {{kPageControl1, &form.PageControl1},
                    {kIntro1, &form.Intro1},
                    {kLicense1, &form.License1},
                    {kDest1, &form.Dest1},
                    {kStartUpdate1, &form.StartUpdate1},
                    {kUpdate1, &form.Update1},
                    {kUpdateComplete1, &form.UpdateComplete1},
                    {kLabel6, &form.Label6},
                    {kPrevious1, &form.Previous1},
                    {kNext1, &form.Next1},
                    {kCancel1, &form.Cancel1},
                    {kIntroText1, &form.IntroText1},
                    {kLicenseText1, &form.LicenseText1},
                    {kDestFolder1, &form.DestFolder1},
                    {kBrowse1, &form.Browse1},
                    {kUpdateFileName1, &form.UpdateFileName1},
                    {kUpdateCompleteText1, &form.UpdateCompleteText1}});
  expect_ids(login, {{login_ids::kServer1, &login.Server1},
                     {login_ids::kUsername1, &login.Username1},
                     {login_ids::kPassword1, &login.Password1},
                     {login_ids::kOk1, &login.Ok1},
                     {login_ids::kCancel1, &login.Cancel1}});
}

}  // namespace
