#pragma once
// Files on the host for HostFile: open for reading, create for writing.
// Share modes cannot be enforced on POSIX (there are no mandatory locks):
// a file opened "without sharing" can still be opened by others.

#include <memory>
#include <string>

#include "platform/Host.h"

// Opens an existing file for reading. Null, with errno in `*error`, when it
// cannot be opened or is a folder.
std::unique_ptr<HostFile> OpenHostFileForRead(const std::string& host_path, int* error);
// Creates the file or truncates it, for writing. Null, with errno in
// `*error`, on failure.
std::unique_ptr<HostFile> CreateHostFileForWrite(const std::string& host_path, int* error);
