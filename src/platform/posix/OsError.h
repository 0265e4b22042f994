#pragma once
// The one place where errno values become texts. A message names the
// operation, the Windows path the core asked for and, when it differs, the
// host path it was mapped to, so a failure can be traced through the prefix.

#include <string>

// "<operation> <path>: <strerror(error)>", e.g.
// "cannot open C:\conf\httpd.conf (/home/me/.corvantis/drive_c/conf/httpd.conf):
// No such file or directory".
std::string OsErrorMessage(const std::string& operation, const std::string& path,
                           const std::string& host_path, int error);
// The same for a host path alone.
std::string OsErrorMessage(const std::string& operation, const std::string& host_path, int error);
