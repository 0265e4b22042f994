// Processes: CreateProcessA, and MsgWaitForMultipleObjects that wakes for
// user-interface input as well as for the process's end.
#include "platform/win32/Win32Host.h"

namespace {

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

 private:
  UniqueHandle process_;
  UniqueHandle thread_;
};

}  // namespace

std::unique_ptr<HostProcess> Win32Host::StartProcess(const std::string& command_line) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;  // the size of this build's structure
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION info = {};
  // CreateProcessA may write into the command line: give it a copy.
  std::string line = command_line;
  line.push_back('\0');
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr,
                      nullptr, &startup, &info))
    return nullptr;
  return std::make_unique<Win32Process>(UniqueHandle(info.hProcess), UniqueHandle(info.hThread));
}
