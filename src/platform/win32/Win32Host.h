#pragma once
// The Windows host: every host operation on the Win32 API. Private to
// src/platform/win32; the core reaches it through CreateHost and Host.
// The operations are spread over one file per concern: Win32Files.cpp,
// Win32Registry.cpp, Win32Process.cpp, Win32Pq.cpp; start-up and the clock
// in Win32Host.cpp. The windows are the front-end's (frontend/win32).

#include <memory>

#include "platform/Host.h"
#include "platform/PqApi.h"
#include "platform/win32/Win32Support.h"

// Registry keys are opened in the 32-bit view of the registry, where the
// 32-bit web server, PHP and PostgreSQL installers of these servers record
// themselves and where the 32-bit installers of the intranet read and wrote
// "InstallDir". On 32-bit Windows the flag changes nothing.
constexpr REGSAM kRegistryAccess = KEY_ALL_ACCESS | KEY_WOW64_32KEY;

class Win32Host : public Host {
 public:
  Win32Host() = default;

  std::vector<std::string> CommandLineArguments() override;
  std::string ProgramFolder() override;
  std::string FromNativePath(const std::string& native_path) override { return native_path; }

  std::unique_ptr<HostFile> OpenFileForRead(const std::string& path, unsigned share_mode) override;
  std::unique_ptr<HostFile> CreateFileForWrite(const std::string& path) override;
  std::unique_ptr<HostFile> OpenFileForOverwrite(const std::string& path) override;
  std::unique_ptr<HostFile> CreateFileBeside(const std::string& path, std::string* name) override;
  uint32_t FileAttributes(const std::string& path) override;
  bool MakeOneDirectory(const std::string& path) override;
  bool ReplaceFileWith(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  std::string TempPath() override;
  std::string ShortPathName(const std::string& path) override;

  std::unique_ptr<HostRegistryKey> OpenLocalMachineKey(const std::string& path,
                                                       bool create) override;

  std::unique_ptr<HostProcess> StartProcess(const std::string& command_line,
                                            const EnvironmentAdditions& environment) override;

  uint32_t TickCount() override;
  int64_t Time() override;
  void SeedRandom(unsigned seed) override;
  int Random() override;

  const PqApi& Pq() override;

  // A window program has no console to share.
  void ShareConsole(std::function<void()>) override {}

  // Programs started from now on start with their windows hidden (an
  // unattended run shows no window, not even a console program's).
  void HideStartedPrograms() { show_command_ = SW_HIDE; }

 private:
  WORD show_command_ = SW_SHOWNORMAL;
  HMODULE pq_library_ = nullptr;  // stays loaded for the rest of the run
  PqApi pq_;
};
