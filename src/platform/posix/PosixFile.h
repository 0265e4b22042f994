#pragma once
// Files on the host for HostFile. Share modes cannot be enforced on POSIX
// (there are no mandatory locks): a file opened "without sharing" can still
// be opened by others.
//
// Only regular files are opened: a folder, a pipe or a device is refused
// without waiting for it (a pipe with no writer would block an open for
// reading for ever).

#include <sys/types.h>

#include <memory>
#include <string>

#include "platform/Host.h"
#include "platform/Path.h"  // HostFolderOf

// Opens an existing regular file for reading, a link followed to it. Null,
// with errno in `*error`, when it cannot be opened or is no regular file.
std::unique_ptr<HostFile> OpenHostFileForRead(const std::string& host_path, int* error);
// Creates the file or truncates it, for writing. A symbolic link, or a file
// with other hard links, at the path is removed and a new file made in its
// place; a folder, pipe or device there is refused. Null, with errno in
// `*error`, on failure.
std::unique_ptr<HostFile> CreateHostFileForWrite(const std::string& host_path, int* error);
// Opens an existing regular file, a link followed to it, for writing and
// empties it. Null, with errno in `*error`, when there is none, it is no
// regular file, or it may not be written.
std::unique_ptr<HostFile> OverwriteHostFile(const std::string& host_path, int* error);
// A new empty file "<file>.XXXXXX" beside the file the path names (a link
// at the path followed to its target), created exclusively. Null, with
// errno in `*error`, when the folder takes no new file.
std::unique_ptr<HostFile> CreateHostFileBeside(const std::string& host_path, std::string* created,
                                               int* error);
// The path with every symbolic link in it resolved, when it exists; the
// path itself otherwise.
std::string ResolvedHostPath(const std::string& host_path);
// Whether this account may not write the existing file: no write bit for
// anyone (so not even the superuser writes it, as Windows' read-only
// attribute), or no write access for this account.
bool IsReadOnlyHostFile(const std::string& host_path, const struct stat& st);
// Gives `host_to` the bytes of the file `host_from` in one rename, keeping
// `host_to`'s mode, owner and group, and the link when `host_to` is one (the
// file it names is replaced). False, nothing changed, with errno in
// `*error`, when that fails or cannot keep them: `host_to` is not a regular
// file, is read-only, has other hard links, or its owner cannot be set.
bool ReplaceHostFileKeepingIdentity(const std::string& host_from, const std::string& host_to,
                                    int* error);
// Opens the file at a host path for appending, created when missing, a link
// followed: a regular file, a terminal or device, or a pipe that has a
// reader (one without is refused, not waited for). A path ending in '/' or
// naming a folder is refused. `*st` receives the opened file's status.
std::unique_ptr<HostFile> AppendHostFile(const std::string& host_path, struct stat* st, int* error);
