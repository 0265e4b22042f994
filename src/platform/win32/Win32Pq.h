#pragma once
// The PostgreSQL client library for the Windows host, loaded at its first
// use with LoadLibraryA and bound with GetProcAddress.

#include "platform/PqApi.h"
#include "platform/win32/Win32Support.h"

class Win32PqLibrary {
 public:
  Win32PqLibrary() = default;
  Win32PqLibrary(const Win32PqLibrary&) = delete;
  Win32PqLibrary& operator=(const Win32PqLibrary&) = delete;

  // The functions, the library loaded on the first call; a library that
  // cannot be loaded, or lacks a function, raises a DatabaseFault.
  const PqApi& Api();

 private:
  HMODULE library_ = nullptr;  // stays loaded for the rest of the run
  PqApi api_;
};
