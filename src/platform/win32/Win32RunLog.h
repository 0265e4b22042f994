#pragma once
// The Windows host's side of the run's log: the file, file identities and
// the facts of the header.

#include <optional>
#include <string>

#include "platform/Host.h"
#include "platform/win32/Win32Support.h"

LogFileHandle OpenWin32LogFile(const std::string& path, HostError* error);
std::optional<std::string> Win32FileIdentity(const std::string& path);
RunnerFacts Win32Runner();
