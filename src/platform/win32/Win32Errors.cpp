#include "platform/Text.h"
#include "platform/win32/Win32Support.h"

std::string SystemErrorText(DWORD code) {
  char buffer[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, buffer, sizeof buffer, nullptr);
  std::string text = TrimRight(std::string(buffer, length), "\r\n .");
  if (text.empty()) text = "System error";
  return text + " (" + std::to_string(code) + ")";
}

std::string LastErrorMessage(const std::string& what) {
  const DWORD code = GetLastError();
  return what + ": " + SystemErrorText(code);
}

HostError Win32Error(const std::string& operation, const std::string& path, DWORD code) {
  return HostError{operation, path, SystemErrorText(code)};
}

std::wstring AnsiToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, &wide[0], length);
  return wide;
}
