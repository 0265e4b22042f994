#pragma once
// Helpers for the tests of the Windows host: a fresh scratch folder, and
// the whole-file reads and writes of Win32TestKit.h, on the plain Win32 API,
// not on the host.

#include <windows.h>

#include <string>

#include "e2e/Win32TestKit.h"

// A new empty folder below the temp folder, its path ending in "\". Wine
// hands out the same process ids again, so the name is tried until it is new.
inline std::string MakeScratchFolder(const std::string& name) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  static unsigned counter = GetTickCount();
  for (;;) {
    const std::string folder = std::string(temp) + "corvantis-" + name + "-" +
                               std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(++counter) + "\\";
    if (CreateDirectoryA(folder.c_str(), nullptr)) return folder;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return folder;
  }
}
