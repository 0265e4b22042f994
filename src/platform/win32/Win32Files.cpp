// Files and folders: CreateFileA, ReadFile, WriteFile, SetFilePointer,
// GetFileAttributesW, CreateDirectoryA, ReplaceFileA, MoveFileExA,
// DeleteFileA, GetTempPathA, GetShortPathNameA.
#include "platform/win32/Win32Files.h"

#include <string>

namespace {

// The path of the file a path names, links resolved (GetFinalPathNameByHandleA);
// the path itself when it names nothing or cannot be resolved.
std::string FinalPath(const std::string& path) {
  UniqueHandle handle(CreateFileA(path.c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle.valid()) return path;
  char buffer[MAX_PATH * 4] = {};
  const DWORD length = GetFinalPathNameByHandleA(handle.get(), buffer, sizeof buffer,
                                                 FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length >= sizeof buffer) return path;
  std::string final_path(buffer, length);
  // "\\?\C:\..." for a drive path; "\\?\UNC\server\..." for a share.
  if (final_path.compare(0, 8, "\\\\?\\UNC\\") == 0) return "\\" + final_path.substr(7);
  if (final_path.compare(0, 4, "\\\\?\\") == 0) return final_path.substr(4);
  return final_path;
}

// Something at the path that a new file replaces rather than writes
// through: a link (a reparse point) or a file with other hard links.
bool IsLinkToReplace(const std::string& path) {
  UniqueHandle handle(CreateFileA(
      path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!handle.valid() || !GetFileInformationByHandle(handle.get(), &info)) return false;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  return (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || info.nNumberOfLinks > 1;
}

class Win32File : public HostFile {
 public:
  explicit Win32File(UniqueHandle handle) : handle_(std::move(handle)) {}

  bool Read(void* buffer, uint32_t count, uint32_t* done) override {
    DWORD got = 0;
    const BOOL ok = ReadFile(handle_.get(), buffer, count, &got, nullptr);
    *done = got;
    return ok != FALSE;
  }

  bool Write(const void* buffer, uint32_t count, uint32_t* done) override {
    DWORD put = 0;
    const BOOL ok = WriteFile(handle_.get(), buffer, count, &put, nullptr);
    *done = put;
    return ok != FALSE;
  }

  int64_t Seek(int64_t distance, SeekOrigin origin) override {
    LONG high = static_cast<LONG>(distance >> 32);
    const DWORD method = origin == SeekOrigin::kBegin ? FILE_BEGIN : FILE_CURRENT;
    SetLastError(NO_ERROR);
    const DWORD low =
        SetFilePointer(handle_.get(), static_cast<LONG>(distance & 0xFFFFFFFF), &high, method);
    // A low part of all ones is a valid position too; the error code tells.
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
    return (static_cast<int64_t>(high) << 32) | low;
  }

 private:
  UniqueHandle handle_;
};

// Null, with the reason in `*error`.
std::nullptr_t Fail(HostError* error, const char* operation, const std::string& path, DWORD code) {
  *error = Win32Error(operation, path, code);
  return nullptr;
}

// A handle that opened, but on no file on a disk: a device or a pipe.
std::nullptr_t NotOnDisk(HostError* error, const char* operation, const std::string& path) {
  *error = HostError{operation, path, "It is no file on a disk"};
  return nullptr;
}

}  // namespace

std::unique_ptr<HostFile> OpenWin32FileForRead(const std::string& path, unsigned share_mode,
                                               HostError* error) {
  DWORD share = 0;
  if (share_mode & kShareRead) share |= FILE_SHARE_READ;
  if (share_mode & kShareWrite) share |= FILE_SHARE_WRITE;
  UniqueHandle handle(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) return Fail(error, "cannot open", path, GetLastError());
  // A folder opens only with backup semantics, but be sure: it is no file.
  if (GetFileType(handle.get()) != FILE_TYPE_DISK) return NotOnDisk(error, "cannot open", path);
  return std::make_unique<Win32File>(std::move(handle));
}

std::unique_ptr<HostFile> CreateWin32FileForWrite(const std::string& path, HostError* error) {
  // A link's target is not the installer's to write: the link goes and a
  // new file takes its place.
  if (IsLinkToReplace(path) && !DeleteFileA(path.c_str()))
    return Fail(error, "cannot replace the link", path, GetLastError());
  UniqueHandle handle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) return Fail(error, "cannot create", path, GetLastError());
  // A device name ("aux.php", "\\.\COM1") or a pipe opens as well; only a
  // file on a disk is a file that was written.
  if (GetFileType(handle.get()) != FILE_TYPE_DISK) return NotOnDisk(error, "cannot create", path);
  return std::make_unique<Win32File>(std::move(handle));
}

std::unique_ptr<HostFile> OverwriteWin32File(const std::string& path, HostError* error) {
  UniqueHandle handle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) return Fail(error, "cannot overwrite", path, GetLastError());
  if (GetFileType(handle.get()) != FILE_TYPE_DISK)
    return NotOnDisk(error, "cannot overwrite", path);
  return std::make_unique<Win32File>(std::move(handle));
}

std::unique_ptr<HostFile> CreateWin32FileBeside(const std::string& path, std::string* name,
                                                HostError* error) {
  // A fresh name each time, made with CREATE_NEW, which fails on anything
  // already there, a link included.
  const std::string base = FinalPath(path) + ".~";
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    wsprintfA(suffix, "%08lx",
              static_cast<unsigned long>(GetTickCount() ^ (GetCurrentProcessId() << 16) ^
                                         (++counter * 2654435761u)));
    const std::string candidate = base + suffix;
    UniqueHandle handle(CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle.valid()) {
      *name = candidate;
      return std::make_unique<Win32File>(std::move(handle));
    }
    const DWORD code = GetLastError();
    if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS)
      return Fail(error, "cannot create a file beside", path, code);
  }
  return Fail(error, "cannot create a file beside", path, ERROR_FILE_EXISTS);
}

uint32_t Win32FileAttributes(const std::string& path) {
  const std::wstring wide = AnsiToWide(path);
  if (wide.empty()) return kInvalidFileAttributes;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return kInvalidFileAttributes;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return kAttributeDirectory;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return kAttributeDevice;
  return (attributes & FILE_ATTRIBUTE_READONLY) ? kAttributeNormal | kAttributeReadOnly
                                                : kAttributeNormal;
}

Host::FolderRoom Win32RoomIn(const std::string& path) {
  Host::FolderRoom room;
  const std::wstring wide = AnsiToWide(path);
  if (wide.empty()) return room;
  // Only a folder: a file opens for the same rights (FILE_ADD_FILE is
  // FILE_WRITE_DATA).
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return room;
  // The right to add files and folders, checked by opening the folder for
  // it, as the creation would be: the read-only attribute of a folder says
  // nothing about that.
  HANDLE folder = CreateFileW(wide.c_str(), FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder != INVALID_HANDLE_VALUE) {
    room.writable = true;
    CloseHandle(folder);
  }
  ULARGE_INTEGER available;
  if (GetDiskFreeSpaceExW(wide.c_str(), &available, nullptr, nullptr))
    room.free_bytes = available.QuadPart;
  // The mount point the folder lies on ("C:\", or a folder a volume is
  // mounted at), as a key only.
  wchar_t volume[MAX_PATH + 1];
  if (GetVolumePathNameW(wide.c_str(), volume, MAX_PATH + 1))
    room.volume.assign(reinterpret_cast<const char*>(volume), wcslen(volume) * sizeof(wchar_t));
  return room;
}

bool MakeWin32Directory(const std::string& path, HostError* error) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return true;
  *error = Win32Error("cannot make the folder", path, GetLastError());
  return false;
}

bool ReplaceWin32File(const std::string& from, const std::string& to, HostError* error) {
  const auto failed = [&] {
    *error = Win32Error("cannot replace", to, GetLastError());
    return false;
  };
  if (GetFileAttributesA(to.c_str()) == INVALID_FILE_ATTRIBUTES)
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) || failed();
  // ReplaceFileA gives the new file the old one's attributes, security and
  // creation time; a failure to merge them fails the call. The attributes
  // are set on the new file first as well, for the systems whose ReplaceFileA
  // leaves them out (Wine).
  const std::string target = FinalPath(to);
  const DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES)
    SetFileAttributesA(from.c_str(),
                       attributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                     FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
  return ReplaceFileA(target.c_str(), from.c_str(), nullptr, 0, nullptr, nullptr) || failed();
}

bool RemoveWin32File(const std::string& path, HostError* error) {
  if (DeleteFileA(path.c_str())) return true;
  *error = Win32Error("cannot remove", path, GetLastError());
  return false;
}

bool MoveWin32File(const std::string& from, const std::string& to, HostError* error) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  *error = Win32Error("cannot move", to, GetLastError());
  return false;
}

bool LinkWin32File(const std::string& existing, const std::string& link, HostError* error) {
  if (CreateHardLinkA(link.c_str(), existing.c_str(), nullptr)) return true;
  *error = Win32Error("cannot link", link, GetLastError());
  return false;
}

bool RemoveWin32Directory(const std::string& path, HostError* error) {
  if (RemoveDirectoryA(path.c_str())) return true;
  *error = Win32Error("cannot remove the folder", path, GetLastError());
  return false;
}

std::string Win32TempPath() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(MAX_PATH, buffer);
  if (length == 0 || length > MAX_PATH) return std::string();
  std::string path(buffer, length);
  if (path.back() != '\\') path += '\\';
  return path;
}

std::string Win32ShortPathName(const std::string& path) {
  char buffer[MAX_PATH] = {};
  const DWORD length = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return path;
  return std::string(buffer, length);
}
