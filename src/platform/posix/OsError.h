#pragma once
// The one place where errno values become texts. The error names the
// operation, the Windows path the core asked for and, when it differs, the
// host path it was mapped to, so a failure can be traced through the prefix.

#include <string>

#include "platform/Host.h"

// {"cannot open", "C:\conf\httpd.conf (/home/me/.corvantis/drive_c/conf/httpd.conf)",
//  strerror(error)}. An empty `host_path` is a path that names no place on
// this host.
HostError PosixError(const std::string& operation, const std::string& path,
                     const std::string& host_path, int error);

// PosixError(...).Message() for a host path alone.
std::string OsErrorMessage(const std::string& operation, const std::string& host_path, int error);
