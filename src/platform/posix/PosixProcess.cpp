#include "platform/posix/PosixProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/FileDescriptor.h"

extern char** environ;

namespace {

// How long one wait lets the child run before the user interface gets its
// turn again.
constexpr int kWaitSliceMs = 20;

// A descriptor that becomes readable when the child ends, where the kernel
// has them; invalid otherwise.
FileDescriptor OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  return FileDescriptor(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
#else
  (void)pid;
  return FileDescriptor();
#endif
}

class PosixProcess : public HostProcess {
 public:
  PosixProcess(pid_t pid, bool own_group)
      : pid_(pid), own_group_(own_group), pidfd_(OpenPidFd(pid)) {}
  ~PosixProcess() override {
    if (!reaped_) Reap();
  }

  std::optional<uint32_t> ExitCode() override {
    if (!reaped_) return std::nullopt;
    // A program ended by a signal has no status of its own: the shell's
    // 128 plus the signal's number.
    if (WIFSIGNALED(status_)) return 128u + static_cast<uint32_t>(WTERMSIG(status_));
    return static_cast<uint32_t>(WEXITSTATUS(status_));
  }

  Wait WaitForExitOrInput() override {
    if (reaped_) return Wait::kExited;
    Wait state = Reap();
    if (state != Wait::kInput) return state;
    if (pidfd_.valid()) {
      pollfd fd = {pidfd_.get(), POLLIN, 0};
      if (::poll(&fd, 1, kWaitSliceMs) > 0) {
        state = Reap();
        if (state != Wait::kInput) return state;
      }
    } else {
      timespec slice = {0, kWaitSliceMs * 1000000L};
      ::nanosleep(&slice, nullptr);
    }
    return Wait::kInput;
  }

  bool Terminate() override {
    if (reaped_) return true;
    // The whole group where the child leads one, so its own children go too.
    if (::kill(own_group_ ? -pid_ : pid_, SIGKILL) != 0 && errno != ESRCH) return false;
    for (;;) {
      int status = 0;
      const pid_t r = ::waitpid(pid_, &status, 0);
      if (r == pid_) {
        reaped_ = true;
        status_ = status;
        return true;
      }
      if (errno != EINTR) return false;
    }
  }

 private:
  // kExited once the child is reaped, kInput while it runs, kFailed when
  // waitpid fails.
  Wait Reap() {
    for (;;) {
      int status = 0;
      const pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        reaped_ = true;
        status_ = status;
        return Wait::kExited;
      }
      if (r == 0) return Wait::kInput;
      if (errno != EINTR) return Wait::kFailed;
    }
  }

  const pid_t pid_;
  const bool own_group_;
  FileDescriptor pidfd_;
  bool reaped_ = false;
  int status_ = 0;  // waitpid's, once reaped
};

// Only async-signal-safe calls between fork and exec: the child writes its
// errno into `report` when it cannot become the program.
[[noreturn]] void BecomeProgram(const char* program, char* const* argv, char* const* envp,
                                int output, bool own_group, pid_t parent, int report) {
  // The child ends with the installer, also when the installer is killed.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(127);  // the installer is gone already
  if (own_group) ::setpgid(0, 0);
  int error = 0;
  const int null = ::open("/dev/null", O_RDONLY);
  if (null < 0 || ::dup2(null, STDIN_FILENO) < 0) error = errno;
  if (error == 0 && output >= 0 &&
      (::dup2(output, STDOUT_FILENO) < 0 || ::dup2(output, STDERR_FILENO) < 0))
    error = errno;
  if (error == 0) {
    // No signal blocked and the usual dispositions, whatever the installer
    // has changed.
    for (int s : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD}) ::signal(s, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(program, argv, envp);
    error = errno;
  }
  ssize_t ignored = ::write(report, &error, sizeof error);
  (void)ignored;
  ::_exit(127);
}

}  // namespace

std::unique_ptr<HostProcess> SpawnProcess(
    const std::string& host_program, const std::vector<std::string>& arguments,
    const std::vector<std::pair<std::string, std::string>>& extra_environment,
    FileDescriptor output, bool own_group, int* error) {
  std::vector<std::string> environment;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const auto& [name, value] : extra_environment)
      replaced = replaced || entry.compare(0, name.size() + 1, name + "=") == 0;
    if (!replaced) environment.push_back(entry);
  }
  for (const auto& [name, value] : extra_environment) environment.push_back(name + "=" + value);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(host_program.c_str()));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);

  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    *error = errno;
    return nullptr;
  }
  FileDescriptor read_end(report[0]);
  FileDescriptor write_end(report[1]);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) {
    *error = errno;
    return nullptr;
  }
  if (pid == 0)
    BecomeProgram(host_program.c_str(), argv.data(), envp.data(), output.get(), own_group, parent,
                  write_end.get());
  // The installer lets go of the program's output file before the program
  // can run, so that it holds no file of the program's.
  output.Reset();
  // The group is set from both sides, so it stands before anyone signals it.
  if (own_group) ::setpgid(pid, pid);
  write_end.Reset();
  int child_error = 0;
  ssize_t got;
  do {
    got = ::read(read_end.get(), &child_error, sizeof child_error);
  } while (got < 0 && errno == EINTR);
  if (got == static_cast<ssize_t>(sizeof child_error)) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    *error = child_error;
    return nullptr;
  }
  return std::make_unique<PosixProcess>(pid, own_group);
}
