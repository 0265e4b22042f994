// The console of the terminal program: its standard output and error.
#include <fcntl.h>
#include <unistd.h>

#include <iostream>
#include <memory>

#include "formlib/Ui.h"
#include "platform/Host.h"

namespace {

class PosixConsole : public Console {
 public:
  ~PosixConsole() override {
    if (output_ != STDOUT_FILENO) ::close(output_);
  }
  void Output(const std::string& text) override { Write(output_, text); }
  // What the terminal has written to std::cout goes out first, as
  // std::cerr, tied to it, would have it.
  void Error(const std::string& text) override {
    std::cout.flush();
    Write(STDERR_FILENO, text);
  }
  void ShowHelp(const std::string&, const std::string& text) override { Output(text); }
  // The started programs inherit a standard output that leads nowhere; the
  // installer keeps its own on another descriptor.
  void QuietStartedPrograms() override {
    if (output_ != STDOUT_FILENO) return;
    const int kept = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (kept >= 0 && null >= 0 && ::dup2(null, STDOUT_FILENO) >= 0) {
      output_ = kept;
    } else if (kept >= 0) {
      ::close(kept);
    }
    if (null >= 0) ::close(null);
  }

 private:
  static void Write(int fd, const std::string& text) {
    WriteAllWith(
        [fd](const char* data, uint32_t count, uint32_t* done) {
          const ssize_t n = ::write(fd, data, count);
          *done = n > 0 ? static_cast<uint32_t>(n) : 0;
          return n > 0;
        },
        text.data(), text.size());
  }

  int output_ = STDOUT_FILENO;
};

}  // namespace

std::unique_ptr<Console> CreateConsole() { return std::make_unique<PosixConsole>(); }
