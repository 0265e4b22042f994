// The Windows host: every host call on the Win32 API. The class is private
// to this file; the core reaches it through CreateHost. Its calls are made in
// files named after what they do: Win32Files, Win32Registry, Win32Process,
// Win32Pq, Win32Security.
#include <cstdlib>
#include <ctime>

#include "platform/CommandLine.h"
#include "platform/win32/Win32Files.h"
#include "platform/win32/Win32Pq.h"
#include "platform/win32/Win32Process.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32RunLog.h"
#include "platform/win32/Win32Security.h"

namespace {

class Win32Host final : public Host {
 public:
  Win32Host() : pq_(ProgramFolder()) {}

  std::vector<std::string> CommandLineArguments() override {
    // The C runtime's argv follows other rules for backslashes before
    // quotes, so the line is split by the installer's own rules.
    std::vector<std::string> arguments = SplitCommandLine(GetCommandLineA());
    if (!arguments.empty()) arguments.erase(arguments.begin());
    return arguments;
  }

  std::string ProgramFolder() override {
    std::string path(MAX_PATH, '\0');
    for (;;) {
      const DWORD length = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
      if (length == 0) return std::string();
      if (length < path.size()) {
        path.resize(length);
        break;
      }
      path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of("\\/") + 1);
  }

  // A relative name is completed with the current folder, so a tool's
  // folder argument can be made with its parents.
  std::string FromNativePath(const std::string& native_path) override {
    if (native_path.empty()) return native_path;
    const DWORD needed = GetFullPathNameA(native_path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return native_path;
    std::string full(needed, '\0');
    const DWORD length = GetFullPathNameA(native_path.c_str(), needed, &full[0], nullptr);
    if (length == 0 || length >= needed) return native_path;
    full.resize(length);
    return full;
  }

  std::unique_ptr<HostFile> OpenFileForRead(const std::string& path, unsigned share) override {
    return OpenWin32FileForRead(path, share, &last_error_);
  }
  std::unique_ptr<HostFile> CreateFileForWrite(const std::string& path) override {
    return CreateWin32FileForWrite(path, &last_error_);
  }
  std::unique_ptr<HostFile> OpenFileForOverwrite(const std::string& path) override {
    return OverwriteWin32File(path, &last_error_);
  }
  std::unique_ptr<HostFile> CreateFileBeside(const std::string& path, std::string* name) override {
    return CreateWin32FileBeside(path, name, &last_error_);
  }
  uint32_t FileAttributes(const std::string& path) override { return Win32FileAttributes(path); }
  bool MakeOneDirectory(const std::string& path) override {
    return MakeWin32Directory(path, &last_error_);
  }
  bool ReplaceFileWith(const std::string& from, const std::string& to) override {
    return ReplaceWin32File(from, to, &last_error_);
  }
  FolderRoom RoomIn(const std::string& path) override { return Win32RoomIn(path); }
  bool RemoveFile(const std::string& path) override { return RemoveWin32File(path, &last_error_); }
  bool MoveFileReplacing(const std::string& from, const std::string& to) override {
    return MoveWin32File(from, to, &last_error_);
  }
  bool MakeHardLink(const std::string& existing, const std::string& link) override {
    return LinkWin32File(existing, link, &last_error_);
  }
  bool RemoveOneDirectory(const std::string& path) override {
    return RemoveWin32Directory(path, &last_error_);
  }
  std::string TempPath() override { return Win32TempPath(); }
  std::string ShortPathName(const std::string& path) override { return Win32ShortPathName(path); }

  std::string RegistryView() override { return "32-bit view"; }
  std::unique_ptr<HostRegistryKey> OpenLocalMachineKey(const std::string& path,
                                                       bool create) override {
    return OpenWin32LocalMachineKey(path, create);
  }

  std::unique_ptr<HostProcess> StartProcess(const std::string& command_line,
                                            const EnvironmentAdditions& environment,
                                            const ProcessOptions& options) override {
    return StartWin32Process(command_line, environment, options, &last_error_);
  }

  uint32_t TickCount() override { return GetTickCount(); }
  int64_t Time() override { return static_cast<int64_t>(std::time(nullptr)); }
  void SeedRandom(unsigned seed) override { std::srand(seed); }
  int Random() override { return std::rand(); }

  const PqApi& Pq() override { return pq_.Api(); }

  bool Elevated() override { return Win32ProcessElevated(); }
  std::unique_ptr<HostSha256> NewSha256() override { return NewWin32Sha256(); }

  HostError LastError() const override { return last_error_; }

  // A window program has no console to share.

  LogFileHandle OpenLogFile(const std::string& native_path) override {
    return OpenWin32LogFile(native_path, &last_error_);
  }
  std::optional<std::string> FileIdentity(const std::string& path) override {
    return Win32FileIdentity(path);
  }
  RunnerFacts Runner() override { return Win32Runner(); }

 private:
  Win32PqLibrary pq_;
  HostError last_error_;
};

}  // namespace

std::unique_ptr<Host> CreateHost(int, char**) {
  RemoveCurrentFolderFromDllSearch();
  return std::make_unique<Win32Host>();
}
