#pragma once
// Small pieces every part of the Windows host shares: owners of OS handles,
// the text of a system error, and the conversion of ANSI text to UTF-16.
// Only src/platform/win32 includes <windows.h>.

#include <windows.h>

#include <string>
#include <utility>

#include "platform/Host.h"

// Owns one operating-system handle and closes it as `Traits` says; moves,
// never copies. One holder for every kind of handle the hosts keep.
template <typename Traits>
class UniqueOsHandle {
 public:
  using Handle = typename Traits::Handle;
  UniqueOsHandle() = default;
  explicit UniqueOsHandle(Handle handle) : handle_(handle) {}
  UniqueOsHandle(UniqueOsHandle&& other) noexcept : handle_(other.release()) {}
  UniqueOsHandle& operator=(UniqueOsHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueOsHandle(const UniqueOsHandle&) = delete;
  UniqueOsHandle& operator=(const UniqueOsHandle&) = delete;
  ~UniqueOsHandle() { reset(); }

  Handle get() const { return handle_; }
  bool valid() const { return Traits::Valid(handle_); }
  Handle release() { return std::exchange(handle_, Handle()); }
  void reset(Handle handle = Handle()) {
    if (valid()) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Handle();
};

// A kernel handle (a file, a process, a thread). CreateFileA fails with
// INVALID_HANDLE_VALUE, other calls with null.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
// An open registry key (RegCloseKey).
struct RegistryKeyTraits {
  using Handle = HKEY;
  static bool Valid(HKEY key) { return key != nullptr; }
  static void Close(HKEY key) { RegCloseKey(key); }
};
// A GDI object: a font, a brush, a bitmap (DeleteObject).
struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static bool Valid(HGDIOBJ object) { return object != nullptr; }
  static void Close(HGDIOBJ object) { DeleteObject(object); }
};

using UniqueHandle = UniqueOsHandle<KernelHandleTraits>;
using UniqueKey = UniqueOsHandle<RegistryKeyTraits>;
using UniqueGdiObject = UniqueOsHandle<GdiObjectTraits>;

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
