#pragma once
// The registry below HKEY_LOCAL_MACHINE, kept in one REGEDIT4 file (see
// RegistryFile.h). The file is parsed once and read again only when it
// changed (its inode, size or times differ, or it was written so recently
// that they cannot tell), so edits made outside are seen by the next call;
// every write saves the whole file atomically.
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

// The registry file `host_file` as last read, shared by the keys opened
// on it.
class RegistryStore;
std::shared_ptr<RegistryStore> MakeRegistryStore(const std::string& host_file,
                                                 RegistryWarning warn);

// Opens (or with `create`, creates) `path` below HKEY_LOCAL_MACHINE in the
// store's file. Null when it can be neither opened nor created.
std::unique_ptr<HostRegistryKey> OpenRegistryKey(const std::shared_ptr<RegistryStore>& store,
                                                 const std::string& path, bool create);
