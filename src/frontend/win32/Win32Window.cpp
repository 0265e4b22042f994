// The forms as native windows; see Win32Window.h.
#include "frontend/win32/Win32Window.h"

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>

#include "platform/Fault.h"

const char kFormWindowClass[] = "CorvantisForm";

namespace {

const char kContainerClass[] = "CorvantisContainer";
const COLORREF kLinkColour = RGB(0, 0, 255);

// Static controls break lines at CR LF.
std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

std::string WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthA(hwnd);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int got = GetWindowTextA(hwnd, &text[0], length + 1);
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return text;
}

}  // namespace

// The kind and the bevel are copied from the control: a container paints
// without reaching the model, which may be gone.
struct Win32Ui::ControlWindow {
  Control* control = nullptr;
  ControlKind kind = ControlKind::kLabel;
  bool bevel_lowered = false;
  HWND hwnd = nullptr;
  std::string text;  // the model's text (or joined lines) last given to the window
  int position = -1;
  // The states last given to the window; it is created enabled and hidden.
  bool enabled = true;
  bool visible = false;
  UniqueGdiObject bitmap;
};

struct Win32Ui::FormWindow {
  Win32Ui* ui = nullptr;
  Form* form = nullptr;
  HWND hwnd = nullptr;
  UniqueGdiObject font;
  std::vector<std::unique_ptr<ControlWindow>> controls;
  std::string caption;
  bool shown = false;
  // A control was disabled or hidden, or the window was activated, since the
  // keyboard's target was last checked.
  bool focus_check_due = true;
  std::vector<HWND> disabled_for_modal;  // windows this modal form disabled
  std::vector<HWND> keyboard_order;      // parents first, siblings in tab order

  // The next window after `from` (null: before the first) that takes the
  // keyboard: a tab stop, enabled and visible.
  HWND NextTabStop(HWND from, bool backward) const {
    const int n = static_cast<int>(keyboard_order.size());
    if (n == 0) return nullptr;
    int at = -1;
    for (int i = 0; i < n; ++i)
      if (keyboard_order[static_cast<size_t>(i)] == from) at = i;
    if (at < 0) at = backward ? 0 : n - 1;
    for (int step = 1; step <= n; ++step) {
      const int i = ((backward ? at - step : at + step) % n + n) % n;
      HWND candidate = keyboard_order[static_cast<size_t>(i)];
      if ((GetWindowLongA(candidate, GWL_STYLE) & WS_TABSTOP) && IsWindowEnabled(candidate) &&
          IsWindowVisible(candidate))
        return candidate;
    }
    return nullptr;
  }

  ControlWindow* ById(int id) const {
    const size_t index = static_cast<size_t>(id - kFirstControlId);
    return id >= kFirstControlId && index < controls.size() ? controls[index].get() : nullptr;
  }
  ControlWindow* ByHwnd(HWND child) const {
    for (const auto& cw : controls)
      if (cw->hwnd == child) return cw.get();
    return nullptr;
  }
  ControlWindow* Of(const Control* control) const {
    if (control == nullptr) return nullptr;
    for (const auto& cw : controls)
      if (cw->control == control) return cw.get();
    return nullptr;
  }
  // The first control with the flag that is enabled and showing.
  ControlWindow* ButtonWith(bool Control::*flag) const {
    for (const auto& cw : controls)
      if (cw->control->*flag && cw->control->enabled && cw->control->Showing()) return cw.get();
    return nullptr;
  }
};

namespace {

using ControlWindow = Win32Ui::ControlWindow;

// How the model's text reaches a control's window.
enum class TextSync {
  kNone,
  kText,   // the text as it is
  kCrLf,   // the text with CR LF line ends
  kLines,  // the lines, joined by CR LF
};

void PaintPageControl(HDC dc, RECT rect, const ControlWindow&) {
  DrawEdge(dc, &rect, EDGE_RAISED, BF_RECT);
}

void PaintPanel(HDC dc, RECT rect, const ControlWindow& cw) {
  if (cw.bevel_lowered) DrawEdge(dc, &rect, BDR_SUNKENOUTER, BF_RECT);
  if (cw.text.empty()) return;
  InflateRect(&rect, -2, -1);
  DrawTextA(dc, cw.text.c_str(), static_cast<int>(cw.text.size()), &rect,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void PaintGroupBox(HDC dc, RECT rect, const ControlWindow& cw) {
  TEXTMETRICA metrics;
  GetTextMetricsA(dc, &metrics);
  RECT frame = rect;
  frame.top += metrics.tmHeight / 2;
  DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
  if (cw.text.empty()) return;
  RECT text_rect = {8, 0, rect.right - 8, metrics.tmHeight};
  SetBkMode(dc, OPAQUE);
  DrawTextA(dc, cw.text.c_str(), static_cast<int>(cw.text.size()), &text_rect,
            DT_LEFT | DT_TOP | DT_SINGLELINE | DT_CALCRECT);
  InflateRect(&text_rect, 2, 0);
  FillRect(dc, &text_rect, GetSysColorBrush(COLOR_BTNFACE));
  InflateRect(&text_rect, -2, 0);
  DrawTextA(dc, cw.text.c_str(), static_cast<int>(cw.text.size()), &text_rect,
            DT_LEFT | DT_TOP | DT_SINGLELINE);
}

DWORD LabelStyle(const Control& c) {
  DWORD style = c.word_wrap ? SS_LEFT : SS_LEFTNOWORDWRAP;
  // Only a label that names an edit shows its "&" as an accelerator.
  if (c.focus_control == nullptr) style |= SS_NOPREFIX;
  if (c.link) style |= SS_NOTIFY;
  return style;
}
DWORD ButtonStyle(const Control& c) { return c.default_button ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON; }
DWORD MemoStyle(const Control& c) { return c.word_wrap ? 0 : WS_HSCROLL | ES_AUTOHSCROLL; }
DWORD EditStyle(const Control& c) { return c.password_char != 0 ? ES_PASSWORD : 0; }

void SetUpEdit(ControlWindow& cw, HINSTANCE) {
  const char mask = cw.control->password_char;
  if (mask != 0)
    SendMessageA(cw.hwnd, EM_SETPASSWORDCHAR, static_cast<WPARAM>(static_cast<unsigned char>(mask)),
                 0);
}
void SetUpProgressBar(ControlWindow& cw, HINSTANCE) {
  SendMessageA(cw.hwnd, PBM_SETRANGE32, 0, 100);
}
void SetUpImage(ControlWindow& cw, HINSTANCE instance) {
  // Resource names ignore letter case.
  cw.bitmap =
      UniqueGdiObject(LoadImageA(instance, cw.control->name.c_str(), IMAGE_BITMAP, 0, 0, 0));
  if (cw.bitmap.get() != nullptr)
    SendMessageA(cw.hwnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(cw.bitmap.get()));
}

// What each kind of control is as a window.
struct KindInfo {
  ControlKind kind;
  const char* window_class;  // null: our container class
  DWORD style;               // beside WS_CHILD | WS_CLIPSIBLINGS
  DWORD ex_style;
  DWORD (*style_of)(const Control&);          // the style bits the control chooses, or null
  void (*set_up)(ControlWindow&, HINSTANCE);  // after the window is made, or null
  TextSync text;
  bool position;                                   // shows the position, 0 to 100
  void (*paint)(HDC, RECT, const ControlWindow&);  // a container's painting, or null
};

// The keyboard visits the controls inside a container.
constexpr DWORD kContainerStyle = WS_CLIPCHILDREN;
constexpr DWORD kContainerExStyle = WS_EX_CONTROLPARENT;

constexpr KindInfo kKinds[] = {
    {ControlKind::kPageControl, nullptr, kContainerStyle, kContainerExStyle, nullptr, nullptr,
     TextSync::kText, false, PaintPageControl},
    {ControlKind::kPage, nullptr, kContainerStyle, kContainerExStyle, nullptr, nullptr,
     TextSync::kText, false, nullptr},
    {ControlKind::kPanel, nullptr, kContainerStyle, kContainerExStyle, nullptr, nullptr,
     TextSync::kText, false, PaintPanel},
    {ControlKind::kImage, "STATIC", SS_BITMAP | SS_CENTERIMAGE, 0, nullptr, SetUpImage,
     TextSync::kNone, false, nullptr},
    {ControlKind::kLabel, "STATIC", 0, 0, LabelStyle, nullptr, TextSync::kCrLf, false, nullptr},
    {ControlKind::kButton, "BUTTON", WS_TABSTOP, 0, ButtonStyle, nullptr, TextSync::kText, false,
     nullptr},
    {ControlKind::kMemo, "EDIT",
     WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE,
     MemoStyle, nullptr, TextSync::kLines, false, nullptr},
    {ControlKind::kGroupBox, nullptr, kContainerStyle, kContainerExStyle, nullptr, nullptr,
     TextSync::kText, false, PaintGroupBox},
    {ControlKind::kProgressBar, PROGRESS_CLASSA, 0, 0, nullptr, SetUpProgressBar, TextSync::kNone,
     true, nullptr},
    {ControlKind::kEdit, "EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, EditStyle,
     SetUpEdit, TextSync::kText, false, nullptr},
};

// The table is in the order of the enumeration.
constexpr bool InEnumOrder() {
  for (size_t i = 0; i < sizeof kKinds / sizeof kKinds[0]; ++i)
    if (static_cast<size_t>(kKinds[i].kind) != i) return false;
  return true;
}
static_assert(InEnumOrder() && sizeof kKinds / sizeof kKinds[0] == 10,
              "one row per control kind, in the order of ControlKind");

const KindInfo& InfoOf(ControlKind kind) { return kKinds[static_cast<size_t>(kind)]; }

bool IsContainer(ControlKind kind) { return InfoOf(kind).window_class == nullptr; }

}  // namespace

bool Win32Ui::IsMain(const FormWindow& fw) const {
  return !forms_.empty() && forms_.front().get() == &fw;
}

Win32Ui::Win32Ui() : instance_(GetModuleHandleA(nullptr)) {
  // The folder browser's new-style dialog needs COM on this thread.
  com_initialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  WNDCLASSEXA form_class = {};
  form_class.cbSize = sizeof form_class;
  form_class.lpfnWndProc = FormProc;
  form_class.hInstance = instance_;
  form_class.hIcon = LoadIconA(instance_, "MAINICON");
  if (form_class.hIcon == nullptr) form_class.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  form_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  form_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form_class.lpszClassName = kFormWindowClass;
  RegisterClassExA(&form_class);

  WNDCLASSEXA container_class = form_class;
  container_class.lpfnWndProc = ContainerProc;
  container_class.hIcon = nullptr;
  container_class.lpszClassName = kContainerClass;
  RegisterClassExA(&container_class);
}

Win32Ui::~Win32Ui() {
  for (auto& fw : forms_) {
    // The forms may be gone already: the windows must not reach them.
    SetWindowLongPtrA(fw->hwnd, GWLP_USERDATA, 0);
    for (auto& cw : fw->controls)
      if (IsContainer(cw->kind)) SetWindowLongPtrA(cw->hwnd, GWLP_USERDATA, 0);
  }
  for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) DestroyWindow((*it)->hwnd);
  if (com_initialized_) CoUninitialize();
}

void Win32Ui::SetApplicationTitle(const std::string& title) {
  title_ = title;
  for (auto& fw : forms_)
    if (IsMain(*fw) && fw->form->caption.empty()) SetWindowTextA(fw->hwnd, title_.c_str());
}

void Win32Ui::AttachForm(Form& form) {
  if (Find(&form) != nullptr) return;
  auto fw = std::make_unique<FormWindow>();
  fw->ui = this;
  fw->form = &form;
  // A single border that cannot be resized, the system menu with its close
  // box, no minimise or maximise box.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD ex_style = WS_EX_CONTROLPARENT;
  RECT rect = {0, 0, form.client_width, form.client_height};
  AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  // Dialogs belong to the main window: they stay in front of it and share
  // its task-bar button.
  HWND owner = forms_.empty() ? nullptr : forms_.front()->hwnd;
  fw->hwnd = CreateWindowExA(ex_style, kFormWindowClass, form.caption.c_str(), style, CW_USEDEFAULT,
                             CW_USEDEFAULT, rect.right - rect.left, rect.bottom - rect.top, owner,
                             nullptr, instance_, nullptr);
  if (fw->hwnd == nullptr) throw Fault(LastErrorMessage("Cannot create the window " + form.name));
  SetWindowLongPtrA(fw->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(fw.get()));
  fw->font = UniqueGdiObject(CreateFontA(form.font_height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                         DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                         form.font_name.c_str()));
  SendMessageA(fw->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fw->font.get()), FALSE);

  const std::vector<Control*>& all = form.controls();
  for (size_t i = 0; i < all.size(); ++i) fw->controls.push_back(std::make_unique<ControlWindow>());
  CreateChildren(*fw, nullptr);
  // A control made later lies over the ones before it (the product picture
  // over the page control), as the form library paints them.
  for (HWND hwnd : fw->keyboard_order)
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  FormWindow& attached = *fw;
  forms_.push_back(std::move(fw));
  Sync(attached);
}

// The children of `parent` (null: the form's client area) and theirs, each
// parent first and siblings in tab order, so that the keyboard visits them
// in that order.
void Win32Ui::CreateChildren(FormWindow& fw, Control* parent) {
  const std::vector<Control*>& all = fw.form->controls();
  std::vector<size_t> children;
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i]->parent == parent) children.push_back(i);
  std::stable_sort(children.begin(), children.end(),
                   [&](size_t a, size_t b) { return all[a]->tab_order < all[b]->tab_order; });
  for (size_t i : children) {
    CreateControlWindow(fw, *all[i], kFirstControlId + static_cast<int>(i));
    fw.keyboard_order.push_back(fw.controls[i]->hwnd);
    CreateChildren(fw, all[i]);
  }
}

void Win32Ui::CreateControlWindow(FormWindow& fw, Control& control, int id) {
  ControlWindow& cw = *fw.controls[static_cast<size_t>(id - kFirstControlId)];
  cw.control = &control;
  cw.kind = control.kind;
  cw.bevel_lowered = control.bevel_lowered;
  const ControlWindow* parent = fw.Of(control.parent);
  HWND parent_hwnd = parent != nullptr ? parent->hwnd : fw.hwnd;

  const KindInfo& info = InfoOf(control.kind);
  const char* window_class = info.window_class != nullptr ? info.window_class : kContainerClass;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | info.style;
  if (info.style_of != nullptr) style |= info.style_of(control);
  const Bounds& b = control.bounds;
  cw.hwnd = CreateWindowExA(info.ex_style, window_class, "", style, b.left, b.top, b.width,
                            b.height, parent_hwnd,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
  if (cw.hwnd == nullptr) throw Fault(LastErrorMessage("Cannot create the window " + control.name));
  if (IsContainer(control.kind))
    SetWindowLongPtrA(cw.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&cw));
  SendMessageA(cw.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fw.font.get()), FALSE);
  if (info.set_up != nullptr) info.set_up(cw, instance_);
}

Win32Ui::FormWindow* Win32Ui::Find(const Form* form) const {
  for (const auto& fw : forms_)
    if (fw->form == form) return fw.get();
  return nullptr;
}

Win32Ui::FormWindow* Win32Ui::FindRoot(HWND hwnd) const {
  HWND root = GetAncestor(hwnd, GA_ROOT);
  for (const auto& fw : forms_)
    if (fw->hwnd == root) return fw.get();
  return nullptr;
}

HWND Win32Ui::WindowOf(const Form* form) const {
  const FormWindow* fw = Find(form);
  return fw != nullptr ? fw->hwnd : nullptr;
}

// --- Bringing the windows up to date ----------------------------------------

bool Win32Ui::SyncControl(ControlWindow& cw) {
  Control& c = *cw.control;
  const KindInfo& info = InfoOf(c.kind);
  if (info.text != TextSync::kNone) {
    const std::string text = info.text == TextSync::kLines ? JoinLines(c.lines) : c.text;
    if (text != cw.text) {
      cw.text = text;
      SetWindowTextA(cw.hwnd, (info.text == TextSync::kCrLf ? WithCrLf(text) : text).c_str());
      // A container paints its text itself.
      if (IsContainer(c.kind)) InvalidateRect(cw.hwnd, nullptr, TRUE);
    }
  }
  if (info.position) {
    const int position = std::min(std::max(c.position, 0), 100);
    if (position != cw.position) {
      cw.position = position;
      SendMessageA(cw.hwnd, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    }
  }
  bool state_changed = false;
  if (cw.enabled != c.enabled) {
    cw.enabled = c.enabled;
    EnableWindow(cw.hwnd, c.enabled);
    state_changed = true;
  }
  if (cw.visible != c.visible) {
    cw.visible = c.visible;
    ShowWindow(cw.hwnd, c.visible ? SW_SHOWNA : SW_HIDE);
    state_changed = true;
  }
  return state_changed;
}

void Win32Ui::Sync(FormWindow& fw) {
  std::string caption = fw.form->caption;
  if (caption.empty() && IsMain(fw)) caption = title_;
  if (caption != fw.caption) {
    fw.caption = caption;
    SetWindowTextA(fw.hwnd, caption.c_str());
  }
  for (auto& cw : fw.controls)
    if (SyncControl(*cw)) fw.focus_check_due = true;
  // Only a change of state can take the keyboard's target away: a status
  // text repainted per file does no focus work.
  if (fw.focus_check_due) FixFocus(fw);
}

void Win32Ui::SyncAll() {
  for (auto& fw : forms_) Sync(*fw);
}

// A control that loses the focus by being disabled or hidden leaves the
// keyboard with no target. The default button takes it then, when it can;
// else the window itself, so that Enter presses nothing and Escape still
// reaches the cancel button.
void Win32Ui::FixFocus(FormWindow& fw) {
  if (!fw.shown || GetActiveWindow() != fw.hwnd) return;
  fw.focus_check_due = false;
  HWND focus = GetFocus();
  if (focus != nullptr && (focus == fw.hwnd || IsChild(fw.hwnd, focus)) && IsWindowEnabled(focus) &&
      IsWindowVisible(focus))
    return;
  const ControlWindow* def = fw.ButtonWith(&Control::default_button);
  SetFocus(def != nullptr ? def->hwnd : fw.hwnd);
}

// --- Showing and hiding -------------------------------------------------------

void Win32Ui::DisplayForm(Form& form, bool modal) {
  FormWindow* fw = Find(&form);
  if (fw == nullptr) return;
  Sync(*fw);
  if (modal) {
    // While the dialog is up, only it takes input.
    fw->disabled_for_modal.clear();
    for (auto& other : forms_)
      if (other.get() != fw && other->shown && IsWindowEnabled(other->hwnd)) {
        EnableWindow(other->hwnd, FALSE);
        fw->disabled_for_modal.push_back(other->hwnd);
      }
  }
  if (!fw->shown) {
    RECT rect;
    GetWindowRect(fw->hwnd, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(fw->hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  fw->shown = true;
  ShowWindow(fw->hwnd, SW_SHOW);
  SetForegroundWindow(fw->hwnd);
  // The first control in tab order that can take the keyboard.
  HWND first = fw->NextTabStop(nullptr, false);
  if (first != nullptr) SetFocus(first);
  FixFocus(*fw);
  RedrawWindow(fw->hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Win32Ui::HideForm(Form& form) {
  FormWindow* fw = Find(&form);
  if (fw == nullptr) return;
  // Give the input back before hiding, so that the owner becomes active.
  for (HWND other : fw->disabled_for_modal) EnableWindow(other, TRUE);
  fw->disabled_for_modal.clear();
  fw->shown = false;
  ShowWindow(fw->hwnd, SW_HIDE);
}

void Win32Ui::BringToFront(Form& form) {
  FormWindow* fw = Find(&form);
  if (fw == nullptr || !fw->shown) return;
  BringWindowToTop(fw->hwnd);
  SetForegroundWindow(fw->hwnd);
}

void Win32Ui::Repaint(Form& form, const Control* control) {
  FormWindow* fw = Find(&form);
  if (fw == nullptr) return;
  Sync(*fw);
  const ControlWindow* cw = control != nullptr ? fw->Of(control) : nullptr;
  RedrawWindow(cw != nullptr ? cw->hwnd : fw->hwnd, nullptr, nullptr,
               RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// --- Input --------------------------------------------------------------------

void Win32Ui::Queue(FormWindow& fw, Control* control) {
  // A hidden form takes no input; its model may be gone.
  if (!fw.shown) return;
  events_.push_back(UiEvent{fw.form, control});
  // A click sent from another program is handled inside GetMessageA, which
  // then goes on waiting: a posted message makes it return.
  PostMessageA(fw.hwnd, WM_NULL, 0, 0);
}

void Win32Ui::Dispatch(MSG& msg) {
  // Enter, Escape, Tab and the accelerator keys, as in a dialog.
  FormWindow* fw = FindRoot(msg.hwnd);
  if (fw != nullptr && IsDialogMessageA(fw->hwnd, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

void Win32Ui::PumpEvents() {
  SyncAll();
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quit_ = true;
      break;
    }
    Dispatch(msg);
  }
  SyncAll();
}

bool Win32Ui::NextEvent(UiEvent* event, bool wait) {
  // The handler of the event before may have changed the model.
  SyncAll();
  for (;;) {
    if (!events_.empty()) {
      *event = events_.front();
      events_.pop_front();
      return true;
    }
    if (!wait || quit_) return false;
    SyncAll();
    MSG msg;
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      quit_ = true;
      return false;
    }
    Dispatch(msg);
  }
}

// --- Window procedures --------------------------------------------------------

LRESULT CALLBACK Win32Ui::FormProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* fw = reinterpret_cast<FormWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (fw == nullptr) return DefWindowProcA(hwnd, message, wparam, lparam);
  return fw->ui->HandleFormMessage(*fw, message, wparam, lparam);
}

bool Win32Ui::HandleCommand(FormWindow& fw, WPARAM wparam) {
  const int id = LOWORD(wparam);
  const int code = HIWORD(wparam);
  if (id == IDOK || id == IDCANCEL) {
    // Enter presses the focused button, else the default button;
    // Escape the cancel button. A disabled one is not pressed.
    ControlWindow* target = nullptr;
    if (id == IDOK) {
      ControlWindow* focused = fw.ByHwnd(GetFocus());
      if (focused != nullptr && focused->kind == ControlKind::kButton &&
          focused->control->enabled && focused->control->Showing())
        target = focused;
      else
        target = fw.ButtonWith(&Control::default_button);
    } else {
      target = fw.ButtonWith(&Control::cancel_button);
    }
    if (target != nullptr) Queue(fw, target->control);
    return true;
  }
  ControlWindow* cw = fw.ById(id);
  if (cw == nullptr) return false;
  if (cw->kind == ControlKind::kButton && code == BN_CLICKED) {
    Queue(fw, cw->control);
  } else if (cw->kind == ControlKind::kLabel && code == STN_CLICKED && cw->control->link) {
    Queue(fw, cw->control);
  } else if (cw->kind == ControlKind::kEdit && code == EN_CHANGE) {
    cw->text = WindowText(cw->hwnd);
    cw->control->text = cw->text;
  }
  return true;
}

LRESULT Win32Ui::HandleFormMessage(FormWindow& fw, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(fw.font.get());
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) fw.focus_check_due = true;
      break;
    case WM_CLOSE:  // the close box, the system menu's Close, Alt+F4
      Queue(fw, nullptr);
      return 0;
    case WM_COMMAND:
      if (!HandleCommand(fw, wparam)) break;
      return 0;
    case WM_NEXTDLGCTL: {  // Tab and Shift+Tab, from IsDialogMessage
      HWND next =
          lparam != 0 ? reinterpret_cast<HWND>(wparam) : fw.NextTabStop(GetFocus(), wparam != 0);
      if (next != nullptr) SetFocus(next);
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      const ControlWindow* cw = fw.ByHwnd(reinterpret_cast<HWND>(lparam));
      if (cw != nullptr && cw->control->link) {
        HDC dc = reinterpret_cast<HDC>(wparam);
        SetTextColor(dc, kLinkColour);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    }
    case WM_SETCURSOR: {
      const ControlWindow* cw = fw.ByHwnd(reinterpret_cast<HWND>(wparam));
      if (cw != nullptr && cw->control->link && cw->control->enabled) {
        SetCursor(LoadCursorA(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    }
    default:
      break;
  }
  return DefWindowProcA(fw.hwnd, message, wparam, lparam);
}

LRESULT CALLBACK Win32Ui::ContainerProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* cw = reinterpret_cast<ControlWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (cw == nullptr) return DefWindowProcA(hwnd, message, wparam, lparam);
  HWND form_hwnd = GetAncestor(hwnd, GA_ROOT);
  switch (message) {
    // The controls inside notify their parent: the form handles it all.
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      return SendMessageA(form_hwnd, message, wparam, lparam);
    case WM_GETFONT:
      return SendMessageA(form_hwnd, WM_GETFONT, 0, 0);
    case WM_SETFONT:
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      RECT rect;
      GetClientRect(hwnd, &rect);
      HGDIOBJ old_font =
          SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(form_hwnd, WM_GETFONT, 0, 0)));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
      if (const auto paint_kind = InfoOf(cw->kind).paint) paint_kind(dc, rect, *cw);
      SelectObject(dc, old_font);
      EndPaint(hwnd, &paint);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

int Win32Ui::ShowMessageBox(const Form* owner, const std::string& text, const std::string& caption,
                            unsigned flags) {
  // The box shows over the window as the model has it now.
  SyncAll();
  return MessageBoxA(WindowOf(owner), text.c_str(), caption.c_str(), flags);
}
