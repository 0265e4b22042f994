// Processes: CreateProcessA, and MsgWaitForMultipleObjects that wakes for
// user-interface input as well as for the process's end.
#include "platform/win32/Win32Process.h"

#include <cstring>

#include "platform/Text.h"

namespace {

// The name of an environment entry "NAME=value". Entries the system keeps
// for the current folders of drives start with '=' ("=C:=C:\x"): their
// name runs to the second '='.
std::string EntryName(const std::string& entry) { return entry.substr(0, entry.find('=', 1)); }

// This process's environment block with `additions` set, names compared
// ignoring letter case as Windows does: one "NAME=value" after the other,
// each ended by a zero byte, the block by one more.
std::string EnvironmentBlock(const EnvironmentAdditions& additions) {
  std::string block;
  if (LPCH own = GetEnvironmentStringsA(); own != nullptr) {
    for (const char* p = own; *p != '\0'; p += std::strlen(p) + 1) {
      const std::string entry = p;
      bool replaced = false;
      for (const auto& addition : additions)
        replaced = replaced || EqualsIgnoreAsciiCase(EntryName(entry), addition.first);
      if (!replaced) block.append(entry).push_back('\0');
    }
    FreeEnvironmentStringsA(own);
  }
  for (const auto& [name, value] : additions) block.append(name + "=" + value).push_back('\0');
  block.push_back('\0');
  return block;
}

class Win32Process : public HostProcess {
 public:
  Win32Process(UniqueHandle process, UniqueHandle thread)
      : process_(std::move(process)), thread_(std::move(thread)) {}
  ~Win32Process() override {
    thread_.reset();  // the thread handle first, then the process handle
    process_.reset();
  }

  Wait WaitForExitOrInput() override {
    HANDLE handle = process_.get();
    // 0xFF: key, mouse, posted, sent, timer, paint and hot-key input.
    const DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, 0xFF);
    if (result == WAIT_OBJECT_0) return Wait::kExited;
    if (result == WAIT_OBJECT_0 + 1) return Wait::kInput;
    return Wait::kFailed;
  }

  std::optional<uint32_t> ExitCode() override {
    DWORD code = 0;
    if (!GetExitCodeProcess(process_.get(), &code) || code == STILL_ACTIVE) return std::nullopt;
    return static_cast<uint32_t>(code);
  }

 private:
  UniqueHandle process_;
  UniqueHandle thread_;
};

// How started programs show their windows; an unattended run hides them.
WORD program_show_command = SW_SHOWNORMAL;

}  // namespace

void HideStartedWindows() { program_show_command = SW_HIDE; }

std::unique_ptr<HostProcess> StartWin32Process(const std::string& command_line,
                                               const EnvironmentAdditions& environment,
                                               HostError* error) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;  // the size of this build's structure
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = program_show_command;
  PROCESS_INFORMATION info = {};
  // CreateProcessA may write into the command line: give it a copy.
  std::string line = command_line;
  line.push_back('\0');
  // With nothing to add the child inherits this process's environment as is.
  std::string block = environment.empty() ? std::string() : EnvironmentBlock(environment);
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS,
                      block.empty() ? nullptr : &block[0], nullptr, &startup, &info)) {
    *error = Win32Error("cannot start", command_line, GetLastError());
    return nullptr;
  }
  return std::make_unique<Win32Process>(UniqueHandle(info.hProcess), UniqueHandle(info.hThread));
}
