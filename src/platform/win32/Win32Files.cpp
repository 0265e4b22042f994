// Files and folders: CreateFileA, ReadFile, WriteFile, SetFilePointer,
// GetFileAttributesW, CreateDirectoryA, MoveFileExA, DeleteFileA,
// GetTempPathA, GetShortPathNameA.
#include "platform/win32/Win32Host.h"

namespace {

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

}  // namespace

std::unique_ptr<HostFile> Win32Host::OpenFileForRead(const std::string& path,
                                                     unsigned share_mode) {
  DWORD share = 0;
  if (share_mode & kShareRead) share |= FILE_SHARE_READ;
  if (share_mode & kShareWrite) share |= FILE_SHARE_WRITE;
  UniqueHandle handle(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) return nullptr;
  // A folder opens only with backup semantics, but be sure: it is no file.
  if (GetFileType(handle.get()) != FILE_TYPE_DISK) return nullptr;
  return std::make_unique<Win32File>(std::move(handle));
}

std::unique_ptr<HostFile> Win32Host::CreateFileForWrite(const std::string& path) {
  UniqueHandle handle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) return nullptr;
  // A device name ("aux.php", "\\.\COM1") or a pipe opens as well; only a
  // file on a disk is a file that was written.
  if (GetFileType(handle.get()) != FILE_TYPE_DISK) return nullptr;
  return std::make_unique<Win32File>(std::move(handle));
}

uint32_t Win32Host::FileAttributes(const std::string& path) {
  const std::wstring wide = AnsiToWide(path);
  if (wide.empty()) return kInvalidFileAttributes;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return kInvalidFileAttributes;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kAttributeDirectory : kAttributeNormal;
}

bool Win32Host::MakeOneDirectory(const std::string& path) {
  return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool Win32Host::ReplaceFileWith(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool Win32Host::RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

std::string Win32Host::TempPath() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(MAX_PATH, buffer);
  if (length == 0 || length > MAX_PATH) return std::string();
  std::string path(buffer, length);
  if (path.back() != '\\') path += '\\';
  return path;
}

std::string Win32Host::ShortPathName(const std::string& path) {
  char buffer[MAX_PATH] = {};
  const DWORD length = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return path;
  return std::string(buffer, length);
}
