#pragma once
// Files and folders for the Windows host: each call is the Win32 call the
// Host contract names, with a failure's reason in `*error`.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/win32/Win32Support.h"

std::unique_ptr<HostFile> OpenWin32FileForRead(const std::string& path, unsigned share_mode,
                                               HostError* error);
std::unique_ptr<HostFile> CreateWin32FileForWrite(const std::string& path, HostError* error);
std::unique_ptr<HostFile> OverwriteWin32File(const std::string& path, HostError* error);
std::unique_ptr<HostFile> CreateWin32FileBeside(const std::string& path, std::string* name,
                                                HostError* error);
uint32_t Win32FileAttributes(const std::string& path);
bool MakeWin32Directory(const std::string& path, HostError* error);
bool ReplaceWin32File(const std::string& from, const std::string& to, HostError* error);
Host::FolderRoom Win32RoomIn(const std::string& path);
bool RemoveWin32File(const std::string& path, HostError* error);
// MoveFileExA with MOVEFILE_REPLACE_EXISTING and MOVEFILE_WRITE_THROUGH.
bool MoveWin32File(const std::string& from, const std::string& to, HostError* error);
bool LinkWin32File(const std::string& existing, const std::string& link, HostError* error);
bool RemoveWin32Directory(const std::string& path, HostError* error);
std::string Win32TempPath();
std::string Win32ShortPathName(const std::string& path);
