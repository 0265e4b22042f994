// Drives setup.exe from outside, as a person at the screen would: finds the
// wizard's window, presses its buttons with BM_CLICK, reads back the page
// texts and button states, answers the message boxes (dialogs of class
// "#32770") after reading their text, and fills in the "DB Login" dialog.
//
//   driver SHOTS interactive|silent|import-fails|verysilent|close|help SETUP.EXE [arguments...]
//
// The "DB Login" dialog, when it comes, gets the password in the variable
// CORVANTIS_DB_PASSWORD and, when CORVANTIS_DB_USER is set, that user name.
// interactive: walks the six pages, with a detour through the quit question,
//   and asks for a picture of each page: it creates SHOTS\<name>.req and
//   waits for SHOTS\<name>.png, which the calling script makes; SHOTS "-"
//   takes none. It prints how long the install page took to complete.
// silent: runs setup /silent and expects it to end by itself; with
//   CORVANTIS_EXPECT_BOX set, it expects one error box with that text
//   instead, answers it, and presses Finish on the failure page.
// import-fails: expects the question after a failed import, answers No,
//   expects the box that says the previous state was restored, then the
//   failure text, then presses Finish.
// verysilent: setup's standard output and error go to the files named by
//   CORVANTIS_STDOUT and CORVANTIS_STDERR; it must end by itself within a
//   minute without a visible top-level window ever.
// close: closes the wizard with its close box as soon as it shows.
// help: expects the help box, which names the exit statuses, and presses OK.
// box: expects one error box whose text begins with CORVANTIS_EXPECT_BOX
//   before any window of the wizard, presses OK, and expects setup to end
//   (exit status 7).
// CORVANTIS_EXPECT_STATUS: setup's expected exit status (default 0; 7 after
//   CORVANTIS_EXPECT_BOX, 5 for import-fails, 2 for close).
// CORVANTIS_LIMITED_TOKEN=1: starts setup with the limited token linked to
//   the driver's own (an administrator's run without elevation, as a tool
//   that bypasses the manifest makes it).
// CORVANTIS_PATH_LIBRARIES=FOLDER: first checks that the search for
//   libpq81.dll and libpq.dll finds them in FOLDER (the PATH of a server).
// Exits with 0 when every check held, with 1 otherwise; each check is
// printed.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Win32TestKit.h"
#include "WizardIds.h"

namespace {

const char kCaption[] = "Installing...brevoxil - Articles Module Update 2.3.8";
const char kImportFailed[] =
    "An error occured whilst trying to import data into SQL Server. Continue installation?";
const char kRestored[] = "The previous state was restored and Apache was started again.";
int failures = 0;
int checks = 0;
std::string shots;
PROCESS_INFORMATION setup = {};
// The install is to end on the failure text.
bool expect_failure = false;
std::string expected_box;  // CORVANTIS_EXPECT_BOX
std::string db_user;       // CORVANTIS_DB_USER; empty: keep the dialog's

void Check(bool ok, const std::string& what) {
  ++checks;
  if (!ok) ++failures;
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  std::fflush(stdout);
}

[[noreturn]] void Abort(const std::string& why) {
  std::printf("FAIL %s\n", why.c_str());
  if (setup.hProcess != nullptr) TerminateProcess(setup.hProcess, 99);
  std::exit(1);
}

bool SetupHasEnded() { return WaitForSingleObject(setup.hProcess, 0) == WAIT_OBJECT_0; }

// A visible top-level window of setup's process with this class and, when
// given, this caption.
HWND SetupWindow(const char* window_class, const char* caption) {
  struct Search {
    const char* window_class;
    const char* caption;
    HWND found;
  } search = {window_class, caption, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM lparam) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lparam);
        DWORD process = 0;
        GetWindowThreadProcessId(hwnd, &process);
        char name[64] = {};
        GetClassNameA(hwnd, name, sizeof name);
        if (process != setup.dwProcessId || !IsWindowVisible(hwnd)) return TRUE;
        if (s->window_class != nullptr && std::string(name) != s->window_class) return TRUE;
        if (s->caption != nullptr && WindowText(hwnd) != s->caption) return TRUE;
        s->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct Box {
  HWND hwnd = nullptr;
  std::string caption;
  std::string text;
};

// The message box setup shows now, if any: its caption and its text, the
// longest static text in it.
Box CurrentBox() {
  Box box;
  box.hwnd = SetupWindow("#32770", nullptr);
  if (box.hwnd == nullptr) return box;
  box.caption = WindowText(box.hwnd);
  EnumChildWindows(
      box.hwnd,
      [](HWND hwnd, LPARAM lparam) -> BOOL {
        auto* b = reinterpret_cast<Box*>(lparam);
        char name[64] = {};
        GetClassNameA(hwnd, name, sizeof name);
        if (std::string(name) == "Static") {
          const std::string text = WindowText(hwnd);
          if (text.size() > b->text.size()) b->text = text;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&box));
  return box;
}

Box WaitForBox(double seconds) {
  Box box;
  WaitFor([&] { return (box = CurrentBox()).hwnd != nullptr; }, seconds);
  return box;
}

void Answer(const Box& box, int button) {
  HWND hwnd = GetDlgItem(box.hwnd, button);
  if (hwnd == nullptr)
    Abort("the box \"" + box.caption + "\" has no button " + std::to_string(button));
  Click(hwnd);
  WaitFor([&] { return !IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd); }, 10);
}

HWND wizard_window = nullptr;

// Asks the calling script for a picture of the wizard's window, frame and
// all, and waits for it. The request holds the window's place on the
// screen: "left top width height".
void Shot(const std::string& name, HWND window = nullptr) {
  if (shots == "-") return;  // no pictures wanted
  Sleep(300);                // let the window finish painting
  RECT r = {};
  GetWindowRect(window != nullptr ? window : wizard_window, &r);
  const std::string place = std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                            std::to_string(r.right - r.left) + " " +
                            std::to_string(r.bottom - r.top) + "\n";
  WriteWholeFile(shots + "\\" + name + ".req", place);
  const std::string picture = shots + "\\" + name + ".png";
  Check(WaitFor([&] { return Exists(picture); }, 20), "picture " + name + ".png taken");
}

struct Wizard {
  HWND window;
  HWND Of(int id) const {
    HWND hwnd = ControlWithId(window, id);
    if (hwnd == nullptr) Abort("no control with id " + std::to_string(id));
    return hwnd;
  }
  bool Showing(int id) const { return IsWindowVisible(Of(id)) != FALSE; }
  bool Enabled(int id) const { return IsWindowEnabled(Of(id)) != FALSE; }
  std::string TextOf(int id) const { return WindowText(Of(id)); }

  // The buttons' captions and states, as "<< Previous/off Next >>/on Cancel/on".
  std::string Buttons() const {
    using namespace wizard_ids;
    std::string s;
    for (int id : {kPrevious1, kNext1, kCancel1}) {
      if (!s.empty()) s += ' ';
      s += TextOf(id) + (Enabled(id) ? "/on" : "/off");
    }
    return s;
  }
  bool WaitForPage(int page, double seconds = 20) const {
    return WaitFor([&] { return Showing(page); }, seconds);
  }
};

// The window is brought up to date one control after the other: a state is
// given a few seconds to arrive.
void ExpectButtons(const Wizard& w, const std::string& page, const std::string& expected) {
  std::string buttons;
  WaitFor([&] { return (buttons = w.Buttons()) == expected; }, 5);
  Check(buttons == expected, page + ": buttons " + buttons);
}

void ExpectText(const Wizard& w, int id, const std::string& start, const std::string& what) {
  std::string text;
  WaitFor([&] { return (text = w.TextOf(id)).compare(0, start.size(), start) == 0; }, 5);
  Check(text.compare(0, start.size(), start) == 0, what + ": " + text.substr(0, 60));
}

// Checks the "DB Login" dialog's fields and fills in the server, the
// password and, when one was given, the user name.
void FillLogin(HWND login, const std::string& password) {
  HWND edit = ControlWithId(login, login_ids::kPassword1);
  Check(edit != nullptr && (GetWindowLongA(edit, GWL_STYLE) & ES_PASSWORD),
        "login: the password edit hides what is typed");
  HWND server = ControlWithId(login, login_ids::kServer1);
  HWND user = ControlWithId(login, login_ids::kUsername1);
  Check(server != nullptr && WindowText(server) == "localhost",
        "login: the server from the settings");
  Check(user != nullptr && WindowText(user) == "root", "login: the user from the settings");
  SendMessageA(server, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("127.0.0.1"));
  if (!db_user.empty())
    SendMessageA(user, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(db_user.c_str()));
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(password.c_str()));
}

// Answers what the install asks until the completion page shows: the login
// dialog with the given credentials, and every box with Yes or OK.
void AnswerUntilComplete(const Wizard& w, const std::string& password) {
  using namespace wizard_ids;
  bool login_seen = false;
  bool retried = false;
  for (int i = 0; i < 6000; ++i) {  // five minutes: a package of many files
    if (w.Showing(kUpdateComplete1)) {
      Check(login_seen, "the DB Login dialog asked for the password");
      return;
    }
    if (SetupHasEnded()) Abort("setup ended during the install");
    HWND login = SetupWindow(nullptr, "DB Login");
    if (login != nullptr && !login_seen) {
      login_seen = true;
      Shot("login", login);
      FillLogin(login, password);
      Shot("login-filled", login);
      Click(ControlWithId(login, login_ids::kOk1));
      continue;
    }
    const Box box = CurrentBox();
    if (box.hwnd != nullptr) {
      std::printf("     box \"%s\": %s\n", box.caption.c_str(), box.text.c_str());
      // A database error's "Try again?" is answered Yes once; a second one
      // means the error stays, and No ends the install with its message shown.
      const bool retry =
          box.text.size() >= 10 && box.text.compare(box.text.size() - 10, 10, "Try again?") == 0;
      if (retry && retried) Abort("the database error stays: " + box.text);
      if (retry) retried = true;
      Answer(box, GetDlgItem(box.hwnd, IDYES) != nullptr ? IDYES : IDOK);
      continue;
    }
    Sleep(50);
  }
  Abort("the completion page did not come");
}

void Interactive(const std::string& password) {
  using namespace wizard_ids;
  HWND window = nullptr;
  if (!WaitFor([&] { return (window = SetupWindow(nullptr, kCaption)) != nullptr; }, 30))
    Abort("no window \"" + std::string(kCaption) + "\"");
  const Wizard w{window};
  wizard_window = window;
  RECT client;
  GetClientRect(window, &client);
  Check(client.right == 484 && client.bottom == 284, "the client area is 484 x 284");
  Check(!(GetWindowLongA(window, GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)),
        "no minimise or maximise box, no sizing border");

  Check(w.Showing(kIntro1) && !w.Showing(kLicense1), "Intro1 is the only page shown");
  ExpectText(w, kIntroText1, "Welcome to the brevoxil - Articles Module Update", "Intro1");
  ExpectButtons(w, "Intro1", "<< Previous/off Next >>/on Cancel/on");
  Shot("intro");

  Click(w.Of(kNext1));
  Check(w.WaitForPage(kLicense1), "Next shows License1");
  ExpectButtons(w, "License1", "<< Previous/on Yes/on No/on");
  ExpectText(w, kLicenseText1, "Hollinvale\r\nEnd User Licence Agreement", "License1");
  Shot("licence");

  // "No" asks the quit question; No to that stays on the page.
  Click(w.Of(kCancel1));
  Box box = WaitForBox(10);
  Check(box.caption == "Exit Install", "No asks the quit question: \"" + box.caption + "\"");
  Check(box.text.find("Install is not complete.") == 0, "the quit question's text");
  if (box.hwnd != nullptr) Answer(box, IDNO);
  Check(w.Showing(kLicense1) && !SetupHasEnded(), "answered No, the wizard stays on License1");

  Click(w.Of(kNext1));
  Check(w.WaitForPage(kDest1), "Yes shows Dest1");
  ExpectButtons(w, "Dest1", "<< Previous/on Next >>/on Cancel/on");
  ExpectText(w, kDestFolder1, "C:\\Intranet", "Dest1: the destination from the registry");
  Check(w.Showing(kBrowse1), "Dest1: Browse is there");
  Shot("destination");

  Click(w.Of(kNext1));
  Check(w.WaitForPage(kStartUpdate1), "Next shows StartUpdate1");
  ExpectButtons(w, "StartUpdate1", "<< Previous/on Next >>/on Cancel/on");
  Shot("ready");

  Click(w.Of(kNext1));
  Check(w.WaitForPage(kUpdate1, 10), "Next shows Update1 and the install starts");
  ExpectButtons(w, "Update1", "<< Previous/off Next >>/off Cancel/on");
  Shot("installing");
  const ULONGLONG started = GetTickCount64();
  AnswerUntilComplete(w, password);
  std::printf("     the install page completed in %llu ms\n", GetTickCount64() - started);

  ExpectButtons(w, "UpdateComplete1", "<< Previous/off Finish/on Cancel/off");
  ExpectText(w, kUpdateCompleteText1,
             expect_failure ? "An error occured installing some or all of the necessary files"
                            : "Install has successfully installed all necessary files on you "
                              "computer.",
             "UpdateComplete1");
  Shot("complete");
  Click(w.Of(kNext1));
  Check(WaitFor(SetupHasEnded, 20), "Finish ends setup");
}

void Silent(const std::string& password) {
  // Nothing to answer but the login dialog, when no password was given, and
  // the one box expected: the run must end by itself, or on the failure
  // page after that box.
  bool login_seen = false;
  bool box_seen = false;
  const bool ended = WaitFor(
      [&] {
        HWND login = SetupWindow(nullptr, "DB Login");
        if (login != nullptr && !login_seen && !password.empty()) {
          login_seen = true;
          FillLogin(login, password);
          Click(ControlWithId(login, login_ids::kOk1));
          return false;
        }
        const Box box = CurrentBox();
        if (box.hwnd != nullptr) {
          if (box_seen || box.text != expected_box) Abort("a box: " + box.text);
          box_seen = true;
          Check(box.caption == "ERROR", "the box \"" + box.text + "\" is an error box");
          Answer(box, IDOK);
          return false;
        }
        if (!expected_box.empty() && box_seen) {
          HWND window = SetupWindow(nullptr, kCaption);
          if (window != nullptr) {
            const Wizard w{window};
            if (w.Showing(wizard_ids::kUpdateComplete1)) Click(w.Of(wizard_ids::kNext1));
          }
        }
        return SetupHasEnded();
      },
      60);
  Check(ended,
        expected_box.empty() ? "setup /silent ends by itself" : "setup /silent ends after the box");
  if (!expected_box.empty()) Check(box_seen, "the box \"" + expected_box + "\" came");
  if (!password.empty()) Check(login_seen, "the DB Login dialog asked for the password");
}

// The PATH of a server with PostgreSQL 8.x: its bin folder, where the
// search for the client library finds its own libpq81.dll and libpq.dll.
void CheckLibrariesOnPath(const std::string& folder) {
  for (const char* name : {"libpq81.dll", "libpq.dll"}) {
    char found[MAX_PATH] = {};
    const DWORD n = SearchPathA(nullptr, name, nullptr, MAX_PATH, found, nullptr);
    const std::string path = n > 0 && n < MAX_PATH ? std::string(found, n) : "(none)";
    Check(path == folder + "\\" + name, std::string("the search finds ") + name + ": " + path);
  }
}

void ImportFails() {
  using namespace wizard_ids;
  const Box box = WaitForBox(60);
  if (box.hwnd == nullptr) Abort("no question after the failed import");
  Check(box.caption == "ERROR" && box.text == kImportFailed,
        "the import question: [" + box.caption + "] " + box.text);
  Check(GetDlgItem(box.hwnd, IDYES) != nullptr && GetDlgItem(box.hwnd, IDNO) != nullptr,
        "the question has Yes and No");
  Answer(box, IDNO);
  // The changes made since the web server's stop are undone, and said so.
  const Box restored = WaitForBox(60);
  if (restored.hwnd == nullptr) Abort("no box after the restore");
  Check(restored.text == kRestored, "the restore is told: " + restored.text);
  Answer(restored, IDOK);
  HWND window = nullptr;
  if (!WaitFor([&] { return (window = SetupWindow(nullptr, kCaption)) != nullptr; }, 10))
    Abort("no window \"" + std::string(kCaption) + "\"");
  const Wizard w{window};
  Check(w.WaitForPage(kUpdateComplete1), "No shows UpdateComplete1");
  ExpectText(w, kUpdateCompleteText1,
             "An error occured installing some or all of the necessary files", "UpdateComplete1");
  Click(w.Of(kNext1));
  Check(WaitFor(SetupHasEnded, 20), "Finish ends setup");
}

// An unattended run: it ends by itself, and no window of setup's ever
// becomes visible (a box, the wizard, the DB Login dialog).
void VerySilent() {
  std::string seen;
  const bool ended = WaitFor(
      [&] {
        HWND window = SetupWindow(nullptr, nullptr);
        if (window != nullptr && seen.empty()) {
          char name[64] = {};
          GetClassNameA(window, name, sizeof name);
          seen = std::string(name) + " \"" + WindowText(window) + "\"";
        }
        return SetupHasEnded();
      },
      60);
  Check(seen.empty(), "no window of setup's was shown" + (seen.empty() ? "" : ": " + seen));
  Check(ended, "setup /verysilent ends by itself");
}

void CloseWizard() {
  HWND window = nullptr;
  if (!WaitFor([&] { return (window = SetupWindow(nullptr, kCaption)) != nullptr; }, 30))
    Abort("no window \"" + std::string(kCaption) + "\"");
  PostMessageA(window, WM_CLOSE, 0, 0);
  Check(WaitFor(SetupHasEnded, 20), "the close box ends setup");
}

void Help() {
  const Box box = WaitForBox(30);
  if (box.hwnd == nullptr) Abort("no help box");
  Check(box.text.find("/verysilent") != std::string::npos &&
            box.text.find("7  the update did not go ahead and nothing was changed") !=
                std::string::npos,
        "the help box names the switches and the exit statuses");
  Answer(box, IDOK);
  Check(WaitFor(SetupHasEnded, 20), "OK ends setup");
}

void OneBox() {
  const Box box = WaitForBox(30);
  if (box.hwnd == nullptr) Abort("no box");
  Check(box.caption == "ERROR" && box.text.rfind(expected_box, 0) == 0,
        "the box \"" + box.caption + "\" says: " + box.text);
  Check(SetupWindow(nullptr, kCaption) == nullptr, "no wizard window came before it");
  Answer(box, IDOK);
  Check(WaitFor(SetupHasEnded, 20), "OK ends setup");
}

// An inheritable handle of a new file for setup's standard output or error.
HANDLE OutputFile(const std::string& path) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Abort("cannot create " + path);
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: driver SHOTS interactive|silent|import-fails|verysilent|close|help "
                 "SETUP.EXE [arguments...]\n");
    return 2;
  }
  shots = argv[1];
  const std::string mode = argv[2];
  std::string command_line = std::string("\"") + argv[3] + "\"";
  for (int i = 4; i < argc; ++i) command_line += std::string(" ") + argv[i];
  expected_box = Variable("CORVANTIS_EXPECT_BOX");
  DWORD expected = 0;
  if (!expected_box.empty()) {
    expect_failure = true;
    expected = 7;  // refused before anything changed
  }
  if (mode == "import-fails") expected = 5;
  if (mode == "close") expected = 2;
  const std::string expected_status = Variable("CORVANTIS_EXPECT_STATUS");
  if (!expected_status.empty()) expected = static_cast<DWORD>(std::stoul(expected_status));
  db_user = Variable("CORVANTIS_DB_USER");
  const std::string password = Variable("CORVANTIS_DB_PASSWORD");
  const std::string path_libraries = Variable("CORVANTIS_PATH_LIBRARIES");
  if (!path_libraries.empty()) CheckLibrariesOnPath(path_libraries);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  const std::string stdout_path = Variable("CORVANTIS_STDOUT");
  const std::string stderr_path = Variable("CORVANTIS_STDERR");
  const bool redirect = !stdout_path.empty() && !stderr_path.empty();
  if (redirect) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = OutputFile(stdout_path);
    startup.hStdError = OutputFile(stderr_path);
  }
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back('\0');
  HANDLE limited = nullptr;
  if (Variable("CORVANTIS_LIMITED_TOKEN") == "1") {
    HANDLE own = nullptr;
    TOKEN_LINKED_TOKEN linked = {};
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own) ||
        !GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size))
      Abort("no limited token linked to the driver's");
    CloseHandle(own);
    limited = linked.LinkedToken;
    TOKEN_ELEVATION elevation = {};
    GetTokenInformation(limited, TokenElevation, &elevation, sizeof elevation, &size);
    Check(elevation.TokenIsElevated == 0, "the linked token is not elevated");
  }
  const BOOL started =
      limited != nullptr
          ? CreateProcessAsUserA(limited, nullptr, line.data(), nullptr, nullptr,
                                 redirect ? TRUE : FALSE, 0, nullptr, nullptr, &startup, &setup)
          : CreateProcessA(nullptr, line.data(), nullptr, nullptr, redirect ? TRUE : FALSE, 0,
                           nullptr, nullptr, &startup, &setup);
  if (limited != nullptr) CloseHandle(limited);
  if (!started) Abort("setup.exe did not start: " + command_line);
  if (redirect) {
    CloseHandle(startup.hStdOutput);
    CloseHandle(startup.hStdError);
  }
  if (mode == "silent") {
    Silent(password);
  } else if (mode == "import-fails") {
    expect_failure = true;
    ImportFails();
  } else if (mode == "verysilent") {
    VerySilent();
  } else if (mode == "close") {
    CloseWizard();
  } else if (mode == "help") {
    Help();
  } else if (mode == "box") {
    OneBox();
  } else {
    Interactive(password);
  }
  DWORD status = 0;
  GetExitCodeProcess(setup.hProcess, &status);
  Check(status == expected,
        "setup's exit status is " + std::to_string(expected) + ": " + std::to_string(status));
  std::printf("%d passed, %d failed\n", checks - failures, failures);
  return failures == 0 ? 0 : 1;
}
