// The run's log file and the facts of its header: CreateFileA with
// FILE_APPEND_DATA, GetFileInformationByHandle, GetLocalTime,
// GetTimeZoneInformation, GetComputerNameA, GetUserNameA and the token's
// elevation.
#include "platform/win32/Win32RunLog.h"

#include <cstdio>
#include <string>

namespace {

class Win32LogFile : public HostFile {
 public:
  explicit Win32LogFile(UniqueHandle handle) : handle_(std::move(handle)) {}
  bool Read(void*, uint32_t, uint32_t* done) override {
    *done = 0;
    return false;
  }
  bool Write(const void* buffer, uint32_t count, uint32_t* done) override {
    DWORD put = 0;
    const BOOL ok = WriteFile(handle_.get(), buffer, count, &put, nullptr);
    *done = put;
    return ok != FALSE;
  }
  int64_t Seek(int64_t, SeekOrigin) override { return -1; }

 private:
  UniqueHandle handle_;
};

std::string IdentityOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(handle, &info)) return std::string();
  char text[64];
  std::snprintf(text, sizeof text, "%08lx:%08lx%08lx",
                static_cast<unsigned long>(info.dwVolumeSerialNumber),
                static_cast<unsigned long>(info.nFileIndexHigh),
                static_cast<unsigned long>(info.nFileIndexLow));
  return text;
}

}  // namespace

LogFileHandle OpenWin32LogFile(const std::string& path, HostError* error) {
  LogFileHandle log;
  log.line_end = "\r\n";
  if (path.empty() || path.back() == '\\' || path.back() == '/') {
    *error = Win32Error("cannot open the log", path, ERROR_INVALID_NAME);
    return log;
  }
  // FILE_APPEND_DATA alone: every write lands at the end, whoever else
  // appends; readers may open the file while the run writes it.
  UniqueHandle handle(CreateFileA(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) {
    *error = Win32Error("cannot open the log", path, GetLastError());
    return log;
  }
  if (GetFileType(handle.get()) == FILE_TYPE_DISK) log.identity = IdentityOf(handle.get());
  log.file = std::make_unique<Win32LogFile>(std::move(handle));
  return log;
}

std::optional<std::string> Win32FileIdentity(const std::string& path) {
  UniqueHandle handle(CreateFileA(path.c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle.valid()) return std::nullopt;
  std::string identity = IdentityOf(handle.get());
  if (identity.empty()) return std::nullopt;
  return identity;
}

RunnerFacts Win32Runner() {
  RunnerFacts facts;
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  TIME_ZONE_INFORMATION zone = {};
  const DWORD kind = GetTimeZoneInformation(&zone);
  long bias = zone.Bias;
  if (kind == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
  if (kind == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
  const long east = -bias;  // minutes east of UTC
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u %c%02ld%02ld", now.wYear,
                now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, east < 0 ? '-' : '+',
                (east < 0 ? -east : east) / 60, (east < 0 ? -east : east) % 60);
  facts.local_time = text;
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (GetComputerNameA(name, &size)) facts.host_name.assign(name, size);
  char user[257] = {};
  DWORD user_size = sizeof user;
  if (GetUserNameA(user, &user_size) && user_size > 0) facts.user.assign(user, user_size - 1);
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    TOKEN_ELEVATION elevation = {};
    DWORD got = 0;
    if (GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &got))
      facts.elevated = elevation.TokenIsElevated != 0;
    CloseHandle(token);
  }
  return facts;
}
