#include "platform/posix/PosixProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
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
  explicit PosixProcess(pid_t pid) : pid_(pid), pidfd_(OpenPidFd(pid)) {}
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
  FileDescriptor pidfd_;
  bool reaped_ = false;
  int status_ = 0;  // waitpid's, once reaped
};

// posix_spawn's attribute and file-action objects, destroyed on every path.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  ~SpawnSetup() {
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
  }
};

}  // namespace

std::unique_ptr<HostProcess> SpawnProcess(
    const std::string& host_program, const std::vector<std::string>& arguments,
    const std::vector<std::pair<std::string, std::string>>& extra_environment, int* error) {
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

  SpawnSetup setup;
  posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  // The child starts with no signal blocked and the usual dispositions,
  // whatever this process has changed.
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int s : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&setup.attributes, &none);
  posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
  posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = 0;
  const int result = ::posix_spawn(&pid, host_program.c_str(), &setup.actions, &setup.attributes,
                                   argv.data(), envp.data());
  if (result != 0) {
    *error = result;
    return nullptr;
  }
  return std::make_unique<PosixProcess>(pid);
}
