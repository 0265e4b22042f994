#pragma once
// The PostgreSQL client library for the Windows host, loaded at its first
// use and bound with GetProcAddress.

#include <string>
#include <utility>

#include "platform/PqApi.h"
#include "platform/win32/Win32Support.h"

// Takes the current folder out of the DLL search of the whole process, so
// that no library, the client library's own dependencies included, is taken
// from wherever the installer was started: SetDllDirectoryA puts the system
// folder, searched anyway, in the current folder's place. (An empty name
// does the same on Windows, but Wine reads it as no folder at all and keeps
// the current one.) Called once at start-up.
void RemoveCurrentFolderFromDllSearch();

class Win32PqLibrary {
 public:
  // `own_folder`: the installer's folder, ending in "\\", searched first.
  explicit Win32PqLibrary(std::string own_folder) : own_folder_(std::move(own_folder)) {}
  Win32PqLibrary(const Win32PqLibrary&) = delete;
  Win32PqLibrary& operator=(const Win32PqLibrary&) = delete;

  // The functions, the library loaded on the first call; a library that
  // cannot be loaded, or lacks a function, raises a DatabaseFault.
  const PqApi& Api();

 private:
  std::string own_folder_;
  HMODULE library_ = nullptr;  // stays loaded for the rest of the run
  PqApi api_;
};
