#pragma once
// The small Win32 helpers of the Windows test programs: the driver that
// walks setup.exe's windows, the programs the tests start in the place of
// others (the process tests' child, psql.exe), and the host's own tests.
// They use the plain Win32 API, never the host under test.

#include <windows.h>

#include <string>

// The value of the environment variable `name`; empty when it is not set.
inline std::string Variable(const char* name) {
  const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
  if (size == 0) return std::string();
  std::string value(size, '\0');
  const DWORD length = GetEnvironmentVariableA(name, &value[0], size);
  value.resize(length < size ? length : 0);
  return value;
}

// A new file at `path` (an existing one emptied) that holds `bytes`.
inline bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  CloseHandle(file);
  return ok && done == bytes.size();
}

// Appends the file's bytes to `bytes`; false when it cannot be opened.
inline bool ReadWholeFile(const std::string& path, std::string* bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    bytes->append(buffer, got);
  CloseHandle(file);
  return true;
}

// The file's bytes; "<missing>" when it cannot be opened.
inline std::string ReadWholeFile(const std::string& path) {
  std::string bytes;
  return ReadWholeFile(path, &bytes) ? bytes : "<missing>";
}

inline bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Waits up to `seconds` for `condition`, asking every 50 ms.
template <typename Condition>
bool WaitFor(Condition condition, double seconds) {
  for (int i = 0; i < static_cast<int>(seconds * 20); ++i) {
    if (condition()) return true;
    Sleep(50);
  }
  return condition();
}

// A window's text by WM_GETTEXT, since GetWindowText does not read another
// process's controls; "<no answer>" when the window does not answer.
inline std::string WindowText(HWND hwnd) {
  char buffer[8192] = {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                           SMTO_ABORTIFHUNG, 10000, &length))
    return "<no answer>";
  return std::string(buffer, length);
}

// A button pressed as a click from outside does it: its own BM_CLICK.
inline void Click(HWND button) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 10000, &result);
}

// The window below `window`, at any depth, whose control id is `id`; null
// when there is none.
inline HWND ControlWithId(HWND window, int id) {
  struct Search {
    int id;
    HWND found;
  } search = {id, nullptr};
  EnumChildWindows(
      window,
      [](HWND hwnd, LPARAM lparam) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lparam);
        if (GetDlgCtrlID(hwnd) != s->id) return TRUE;
        s->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}
