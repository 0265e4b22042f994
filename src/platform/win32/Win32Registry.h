#pragma once
// The registry below HKEY_LOCAL_MACHINE for the Windows host, in the 32-bit
// view, with full access.

#include <memory>
#include <string>

#include "platform/win32/Win32Support.h"

// RegOpenKeyExA, or RegCreateKeyExA when `create`; null when neither works.
std::unique_ptr<HostRegistryKey> OpenWin32LocalMachineKey(const std::string& path, bool create);
