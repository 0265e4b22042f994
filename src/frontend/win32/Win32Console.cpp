// The console of a window program: the standard handles it was given when
// they lead somewhere (a redirection, a pipe), else the console of the
// program that started it, attached at the first write.
#include <windows.h>

#include <memory>

#include "formlib/Ui.h"
#include "platform/Host.h"

namespace {

class Win32Console : public Console {
 public:
  ~Win32Console() override {
    if (console_output_ != INVALID_HANDLE_VALUE) CloseHandle(console_output_);
  }
  void Output(const std::string& text) override { Write(STD_OUTPUT_HANDLE, text); }
  void Error(const std::string& text) override { Write(STD_ERROR_HANDLE, text); }
  void ShowHelp(const std::string& caption, const std::string& text) override {
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
  }
  // The run starts its programs hidden (ProcessOptions::quiet).
  void QuietStartedPrograms() override {}

 private:
  static bool Usable(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
  }

  HANDLE Target(DWORD which) {
    HANDLE given = GetStdHandle(which);
    if (Usable(given)) return given;
    if (!attached_) {
      attached_ = true;
      if (AttachConsole(ATTACH_PARENT_PROCESS))
        console_output_ =
            CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
    }
    return console_output_;
  }

  void Write(DWORD which, const std::string& text) {
    HANDLE target = Target(which);
    if (target == INVALID_HANDLE_VALUE) return;
    WriteAllWith(
        [target](const char* data, uint32_t count, uint32_t* done) {
          DWORD put = 0;
          const BOOL ok = WriteFile(target, data, count, &put, nullptr);
          *done = put;
          return ok != FALSE;
        },
        text.data(), text.size());
  }

  bool attached_ = false;
  HANDLE console_output_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<Console> CreateConsole() { return std::make_unique<Win32Console>(); }
