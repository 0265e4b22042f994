#pragma once
// The registry below HKEY_LOCAL_MACHINE, kept in one REGEDIT4 file (see
// RegistryFile.h). Every open and every call on a key reads the file again,
// so edits made outside are seen; every write saves the whole file
// atomically.
//
// Keys are always opened with full access: when the file cannot be written
// (it is a folder or read-only, its folder is missing or read-only) every
// open fails, as Windows refuses a full-access open to an account that may
// not write HKEY_LOCAL_MACHINE. A file that is not a REGEDIT4 file is never
// overwritten: every open fails too.

#include <functional>
#include <memory>
#include <string>

#include "platform/Host.h"

// Receives the reason when the registry cannot be used.
using RegistryWarning = std::function<void(const std::string&)>;

// Opens (or with `create`, creates) `path` below HKEY_LOCAL_MACHINE in the
// registry file `host_file`. Null when it can be neither opened nor created.
std::unique_ptr<HostRegistryKey> OpenRegistryKey(const std::string& host_file,
                                                 const std::string& path, bool create,
                                                 RegistryWarning warn);
