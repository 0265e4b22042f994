#pragma once
// Small pieces every part of the Windows host shares: owners of OS handles,
// the text of a system error, and the conversion of ANSI text to UTF-16.
// Only src/platform/win32 includes <windows.h>.

#include <windows.h>

#include <string>
#include <utility>

#include "platform/Host.h"

// Owns a kernel handle (a file, a process, a thread) and closes it.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  HANDLE get() const { return handle_; }
  // CreateFileA fails with INVALID_HANDLE_VALUE, other calls with null.
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE release() { return std::exchange(handle_, nullptr); }
  void reset(HANDLE handle = nullptr) {
    if (valid()) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

// Owns an open registry key and closes it (RegCloseKey).
class UniqueKey {
 public:
  UniqueKey() = default;
  explicit UniqueKey(HKEY key) : key_(key) {}
  UniqueKey(UniqueKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  UniqueKey& operator=(UniqueKey&& other) noexcept {
    if (this != &other) {
      reset();
      key_ = std::exchange(other.key_, nullptr);
    }
    return *this;
  }
  UniqueKey(const UniqueKey&) = delete;
  UniqueKey& operator=(const UniqueKey&) = delete;
  ~UniqueKey() { reset(); }

  HKEY get() const { return key_; }
  void reset() {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

// Owns a GDI object (a font, a brush, a bitmap) and deletes it.
class UniqueGdiObject {
 public:
  UniqueGdiObject() = default;
  explicit UniqueGdiObject(HGDIOBJ object) : object_(object) {}
  UniqueGdiObject(UniqueGdiObject&& other) noexcept
      : object_(std::exchange(other.object_, nullptr)) {}
  UniqueGdiObject& operator=(UniqueGdiObject&& other) noexcept {
    if (this != &other) {
      reset();
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }
  UniqueGdiObject(const UniqueGdiObject&) = delete;
  UniqueGdiObject& operator=(const UniqueGdiObject&) = delete;
  ~UniqueGdiObject() { reset(); }

  HGDIOBJ get() const { return object_; }
  void reset() {
    if (object_ != nullptr) DeleteObject(object_);
    object_ = nullptr;
  }

 private:
  HGDIOBJ object_ = nullptr;
};

// The system's text for an error code (GetLastError), without the line
// break the system appends, followed by the code.
std::string SystemErrorText(DWORD code);

// `what` and the system's text of the last error: "what: text (code)".
std::string LastErrorMessage(const std::string& what);

// The one place where a GetLastError() code becomes a host's error.
HostError Win32Error(const std::string& operation, const std::string& path, DWORD code);

// ANSI text (the system code page) as UTF-16; empty for an empty text or one
// that does not convert.
std::wstring AnsiToWide(const std::string& text);
