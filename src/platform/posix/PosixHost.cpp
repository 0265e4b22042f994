#include "platform/posix/PosixHost.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "platform/CommandLine.h"
#include "platform/posix/AtomicFile.h"
#include "platform/posix/FileDescriptor.h"
#include "platform/posix/LibcryptoSha256.h"
#include "platform/posix/LinkedPq.h"
#include "platform/posix/OsError.h"
#include "platform/posix/PathMap.h"
#include "platform/posix/PosixFile.h"
#include "platform/posix/PosixProcess.h"
#include "platform/posix/PosixRegistry.h"

namespace {

const char kPrefixVariable[] = "CORVANTIS_PREFIX";

bool Exists(const std::string& host_path) {
  struct stat st;
  return ::stat(host_path.c_str(), &st) == 0;
}

// The account's name, as Wine names the profile folder.
std::string UserName() {
  std::string name;
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_name != nullptr)
    name = pw->pw_name;
  else if (const char* user = std::getenv("USER"); user != nullptr)
    name = user;
  if (name.empty()) name = "user";
  for (char& c : name)
    if (c == '/' || c == '\\' || c == ':') c = '_';
  return name;
}

std::string RunningProgram() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  return std::string(buffer, static_cast<size_t>(n));
}

// A file's identity: its device and inode.
std::string IdentityText(const struct stat& st) {
  return std::to_string(static_cast<unsigned long long>(st.st_dev)) + ":" +
         std::to_string(static_cast<unsigned long long>(st.st_ino));
}

class PosixHost final : public Host {
 public:
  explicit PosixHost(const PosixHostOptions& options) : options_(options), paths_(options.prefix) {}

  // --- Start-up ---------------------------------------------------------
  std::vector<std::string> CommandLineArguments() override { return options_.arguments; }

  std::string ProgramFolder() override {
    const std::string program =
        options_.program_path.empty() ? RunningProgram() : options_.program_path;
    std::string folder = paths_.ToWindows(HostFolderOf(program));
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder;
  }

  // A relative name is taken from the current folder, so a tool's folder
  // argument has a full Windows name that can be made with its parents.
  std::string FromNativePath(const std::string& native_path) override {
    if (native_path.empty() || native_path[0] == '/') return paths_.ToWindows(native_path);
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return paths_.ToWindows(native_path);
    return paths_.ToWindows(std::string(cwd) + "/" + native_path);
  }

  // --- Files and folders ------------------------------------------------
  // The share mode is ignored: POSIX has no mandatory locks to enforce it.
  std::unique_ptr<HostFile> OpenFileForRead(const std::string& path, unsigned) override {
    int error = EINVAL;
    const std::string host = paths_.ToHost(path);
    std::unique_ptr<HostFile> file = host.empty() ? nullptr : OpenHostFileForRead(host, &error);
    if (file == nullptr) Fail("cannot open", path, host, error);
    return file;
  }

  std::unique_ptr<HostFile> CreateFileForWrite(const std::string& path) override {
    int error = EINVAL;
    const std::string host = paths_.ToHost(path);
    std::unique_ptr<HostFile> file = host.empty() ? nullptr : CreateHostFileForWrite(host, &error);
    if (file == nullptr) {
      Fail("cannot create", path, host, error);
      return nullptr;
    }
    paths_.Changed(host);
    return file;
  }

  std::unique_ptr<HostFile> OpenFileForOverwrite(const std::string& path) override {
    int error = EINVAL;
    const std::string host = paths_.ToHost(path);
    std::unique_ptr<HostFile> file = host.empty() ? nullptr : OverwriteHostFile(host, &error);
    if (file == nullptr) Fail("cannot overwrite", path, host, error);
    return file;
  }

  std::unique_ptr<HostFile> CreateFileBeside(const std::string& path, std::string* name) override {
    int error = EINVAL;
    const std::string host = paths_.ToHost(path);
    std::string created;
    std::unique_ptr<HostFile> file =
        host.empty() ? nullptr : CreateHostFileBeside(host, &created, &error);
    if (file == nullptr) {
      Fail("cannot create a file beside", path, host, error);
      return nullptr;
    }
    paths_.Changed(created);
    *name = paths_.ToWindows(created);
    return file;
  }

  uint32_t FileAttributes(const std::string& path) override {
    const std::string host = paths_.ToHost(path);
    struct stat st;
    if (host.empty() || ::stat(host.c_str(), &st) != 0) return kInvalidFileAttributes;
    if (S_ISDIR(st.st_mode)) return kAttributeDirectory;
    if (!S_ISREG(st.st_mode)) return kAttributeDevice;
    return IsReadOnlyHostFile(host, st) ? kAttributeNormal | kAttributeReadOnly : kAttributeNormal;
  }

  FolderRoom RoomIn(const std::string& path) override {
    FolderRoom room;
    const std::string host = paths_.ToHost(path);
    struct stat st;
    if (host.empty() || ::stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return room;
    room.writable = ::faccessat(AT_FDCWD, host.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
    room.volume = std::to_string(static_cast<unsigned long long>(st.st_dev));
    struct statvfs vfs;
    if (::statvfs(host.c_str(), &vfs) == 0)
      room.free_bytes = static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
    return room;
  }

  // The user's temp folder is made private (0700) when something first
  // makes it; the folders above it take the usual mode.
  bool MakeOneDirectory(const std::string& path) override {
    const std::string host = paths_.ToHost(path);
    if (temp_host_.empty()) temp_host_ = paths_.ToHost(TempPath());
    const mode_t mode = !host.empty() && host == temp_host_ ? 0700 : 0777;
    if (host.empty() || ::mkdir(host.c_str(), mode) != 0)
      return Fail("cannot make the folder", path, host, host.empty() ? EINVAL : errno);
    paths_.Changed(host);
    return true;
  }

  bool ReplaceFileWith(const std::string& from, const std::string& to) override {
    const std::string host_from = paths_.ToHost(from);
    const std::string host_to = paths_.ToHost(to);
    int error = EINVAL;
    if (host_from.empty() || host_to.empty() ||
        !ReplaceHostFileKeepingIdentity(host_from, host_to, &error))
      return Fail("cannot replace", to, host_from.empty() ? host_from : host_to, error);
    paths_.Changed(host_from);
    paths_.Changed(host_to);
    return true;
  }

  bool RemoveFile(const std::string& path) override {
    const std::string host = paths_.ToHost(path);
    if (host.empty() || ::unlink(host.c_str()) != 0)
      return Fail("cannot remove", path, host, host.empty() ? EINVAL : errno);
    paths_.Changed(host);
    return true;
  }

  bool MoveFileReplacing(const std::string& from, const std::string& to) override {
    const std::string host_from = paths_.ToHost(from);
    const std::string host_to = paths_.ToHost(to);
    if (host_from.empty() || host_to.empty()) return Fail("cannot move", from, host_from, EINVAL);
    // The file takes the place of a regular file with its mode and owner,
    // as a file written over would have kept them; elsewhere a new file's.
    struct stat old_file;
    if (::lstat(host_to.c_str(), &old_file) == 0 && S_ISREG(old_file.st_mode)) {
      ::chmod(host_from.c_str(), old_file.st_mode & 07777);
      struct stat moved;
      if (::lstat(host_from.c_str(), &moved) == 0 &&
          (moved.st_uid != old_file.st_uid || moved.st_gid != old_file.st_gid)) {
        if (::lchown(host_from.c_str(), old_file.st_uid, old_file.st_gid) != 0) {
          // Not allowed to give it away: the mode still holds.
        }
      }
    } else {
      const mode_t mask = ::umask(022);
      ::umask(mask);
      struct stat moved;
      if (::lstat(host_from.c_str(), &moved) == 0 && S_ISREG(moved.st_mode) &&
          (moved.st_mode & 07777) == 0600)
        ::chmod(host_from.c_str(), 0666 & ~mask);
    }
    if (::rename(host_from.c_str(), host_to.c_str()) != 0)
      return Fail("cannot move", to, host_to, errno);
    paths_.Changed(host_from);
    paths_.Changed(host_to);
    return true;
  }

  bool MakeHardLink(const std::string& existing, const std::string& link) override {
    const std::string host_existing = paths_.ToHost(existing);
    const std::string host_link = paths_.ToHost(link);
    if (host_existing.empty() || host_link.empty() ||
        ::linkat(AT_FDCWD, host_existing.c_str(), AT_FDCWD, host_link.c_str(), 0) != 0)
      return Fail("cannot link", link, host_link, errno ? errno : EINVAL);
    paths_.Changed(host_link);
    return true;
  }

  bool RemoveOneDirectory(const std::string& path) override {
    const std::string host = paths_.ToHost(path);
    if (host.empty() || ::rmdir(host.c_str()) != 0)
      return Fail("cannot remove the folder", path, host, host.empty() ? EINVAL : errno);
    paths_.Changed(host);
    return true;
  }

  // Only named here: it is made when the first file is placed in it.
  std::string TempPath() override {
    if (temp_.empty()) temp_ = "C:\\users\\" + UserName() + "\\Temp\\";
    return temp_;
  }

  std::string ShortPathName(const std::string& path) override { return path; }

  // --- Registry ---------------------------------------------------------
  std::unique_ptr<HostRegistryKey> OpenLocalMachineKey(const std::string& path,
                                                       bool create) override {
    MakePrefixOnFirstUse();
    if (registry_ == nullptr)
      registry_ = MakeRegistryStore(paths_.prefix() + "/system.reg",
                                    [this](const std::string& m) { Warn(m); });
    return OpenRegistryKey(registry_, path, create);
  }

  // --- Processes --------------------------------------------------------
  // The command line is split as the started program's C runtime would
  // split it, so an argument quoted for a Windows program arrives whole. A
  // program that cannot start is not reported here: the caller decides.
  std::unique_ptr<HostProcess> StartProcess(const std::string& command_line,
                                            const EnvironmentAdditions& environment,
                                            const ProcessOptions& options) override {
    const std::vector<std::string> words = SplitProgramCommandLine(command_line);
    if (words.empty() || words[0].empty()) {
      Fail("cannot start", command_line, command_line, ENOENT);
      return nullptr;
    }
    const std::string& program = words[0];
    std::string host = paths_.ToHost(program);
    // As CreateProcess does, a name without an extension may mean a ".exe".
    const size_t name_at = program.find_last_of("\\/:");
    const bool has_extension =
        program.find('.', name_at == std::string::npos ? 0 : name_at + 1) != std::string::npos;
    if (!has_extension && !Exists(host)) {
      const std::string exe = paths_.ToHost(program + ".exe");
      if (Exists(exe)) host = exe;
    }
    EnvironmentAdditions variables = {{kPrefixVariable, paths_.prefix()}};
    variables.insert(variables.end(), environment.begin(), environment.end());
    // The output file is made fresh, never through a link at its name.
    FileDescriptor output;
    if (!options.output_file.empty()) {
      const std::string output_host = paths_.ToHost(options.output_file);
      output =
          FileDescriptor(output_host.empty()
                             ? -1
                             : ::open(output_host.c_str(),
                                      O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
      if (!output.valid()) {
        Fail("cannot create", options.output_file, output_host, errno ? errno : EINVAL);
        return nullptr;
      }
      paths_.Changed(output_host);
    }
    int error = 0;
    std::unique_ptr<HostProcess> process =
        SpawnProcess(host, std::vector<std::string>(words.begin() + 1, words.end()), variables,
                     std::move(output), options.unattended, &error);
    if (process == nullptr) Fail("cannot start", program, host, error);
    return process;
  }

  // --- Clock and C library generator ------------------------------------
  uint32_t TickCount() override {
    timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
  }

  int64_t Time() override { return static_cast<int64_t>(std::time(nullptr)); }

  // The generator of the Windows C runtime, so a seed gives the numbers it
  // gives there.
  void SeedRandom(unsigned seed) override { random_state_ = seed; }
  int Random() override {
    random_state_ = random_state_ * 214013u + 2531011u;
    return static_cast<int>((random_state_ >> 16) & 0x7FFF);
  }

  // --- PostgreSQL client library ----------------------------------------
  const PqApi& Pq() override { return LinkedPqApi(); }

  std::unique_ptr<HostSha256> NewSha256() override { return NewLibcryptoSha256(); }

  HostError LastError() const override { return last_error_; }

  void SetNoticeSink(NoticeSink sink) override { notice_ = std::move(sink); }

  // --- The run's log ------------------------------------------------------
  // The path is the user's, as any program takes it: no prefix mapping, no
  // letter-case matching.
  LogFileHandle OpenLogFile(const std::string& native_path) override {
    LogFileHandle log;
    log.line_end = "\n";
    struct stat st;
    struct stat registry;
    // The machine's registry file is the host's own: no log goes into it.
    if (::stat(native_path.c_str(), &st) == 0 &&
        ::stat((paths_.prefix() + "/system.reg").c_str(), &registry) == 0 &&
        IdentityText(st) == IdentityText(registry)) {
      last_error_ = {"cannot open the log", native_path,
                     "it is the registry of the machine, " + paths_.prefix() + "/system.reg"};
      return log;
    }
    int error = EINVAL;
    log.file = AppendHostFile(native_path, &st, &error);
    if (log.file == nullptr) {
      Fail("cannot open the log", native_path, native_path, error);
      return log;
    }
    log.identity = IdentityText(st);
    return log;
  }

  std::optional<std::string> FileIdentity(const std::string& path) override {
    const std::string host = paths_.ToHost(path);
    struct stat st;
    if (host.empty() || ::stat(host.c_str(), &st) != 0) return std::nullopt;
    return IdentityText(st);
  }

  RunnerFacts Runner() override {
    RunnerFacts facts;
    const std::time_t now = std::time(nullptr);
    std::tm local = {};
    char text[64] = {};
    if (::localtime_r(&now, &local) != nullptr)
      std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
    facts.local_time = text;
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) == 0) facts.host_name = name;
    facts.user = UserName();
    return facts;
  }

 private:
  // A reason the registry cannot be used, told once while it stays the same
  // (every registry call of a run would give it again).
  void Warn(const std::string& message) {
    if (!notice_ || message == last_warning_) return;
    last_warning_ = message;
    notice_("warning: " + message);
  }

  // Wine makes its prefix when a program first runs in it; so does this
  // host, when the registry is first used: an empty machine, drive C: and a
  // registry file without keys. Only the prefix folder itself is made, and
  // nothing at all when a link or anything else is at its name.
  void MakePrefixOnFirstUse() {
    if (prefix_checked_ || !options_.make_prefix) return;
    prefix_checked_ = true;
    const std::string& prefix = paths_.prefix();
    struct stat st;
    if (prefix.empty() || ::lstat(prefix.c_str(), &st) == 0 || errno != ENOENT) return;
    if (::mkdir(prefix.c_str(), 0777) != 0) {
      Warn(OsErrorMessage("cannot make the prefix", prefix, errno));
      return;
    }
    if (::mkdir((prefix + "/drive_c").c_str(), 0777) != 0)
      Warn(OsErrorMessage("cannot make drive C:", prefix + "/drive_c", errno));
    std::string error;
    if (!SaveFileAtomically(prefix + "/system.reg", "REGEDIT4\n", &error)) Warn(error);
    if (notice_) notice_("made the prefix " + prefix + ", an empty machine");
  }

  // The one place where a failed call's errno becomes the host's last error.
  bool Fail(const char* operation, const std::string& path, const std::string& host, int error) {
    last_error_ = PosixError(operation, path, host, error);
    return false;
  }

  const PosixHostOptions options_;
  const PathMap paths_;
  HostError last_error_;
  uint32_t random_state_ = 1;  // the runtime's seed before any srand
  std::string temp_;           // TempPath, once named
  std::string temp_host_;      // its host path
  NoticeSink notice_;
  std::string last_warning_;
  bool prefix_checked_ = false;
  std::shared_ptr<RegistryStore> registry_;  // made on first use
};

}  // namespace

std::string DefaultPrefix() {
  if (const char* prefix = std::getenv(kPrefixVariable); prefix != nullptr && *prefix != '\0')
    return prefix;
  std::string home;
  if (const char* h = std::getenv("HOME"); h != nullptr && *h != '\0')
    home = h;
  else if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
    home = pw->pw_dir;
  return home + "/.corvantis";
}

std::unique_ptr<Host> CreatePosixHost(const PosixHostOptions& options) {
  return std::make_unique<PosixHost>(options);
}

std::unique_ptr<Host> CreateHost(int argc, char** argv) {
  PosixHostOptions options;
  options.prefix = DefaultPrefix();
  for (int i = 1; i < argc; ++i) {
    options.arguments.push_back(argv[i]);
    // The pre-flight changes nothing, a missing prefix included.
    std::string lower = argv[i];
    for (char& c : lower)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (lower == "/check") options.make_prefix = false;
  }
  return CreatePosixHost(options);
}
