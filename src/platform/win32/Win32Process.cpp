// Processes: CreateProcessA, and MsgWaitForMultipleObjects that wakes for
// user-interface input as well as for the process's end.
#include "platform/win32/Win32Process.h"

#include <cstring>
#include <vector>

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

// The jobs of the programs started, kept open until this program ends: the
// system closes them then, and what is still in them ends with it.
std::vector<UniqueHandle>& OpenJobs() {
  static std::vector<UniqueHandle> jobs;
  return jobs;
}

// A job that kills its processes when its last handle closes; invalid when
// the system makes none.
UniqueHandle MakeKillOnCloseJob() {
  UniqueHandle job(CreateJobObjectA(nullptr, nullptr));
  if (!job.valid()) return job;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                               sizeof limits))
    job.reset();
  return job;
}

class Win32Process : public HostProcess {
 public:
  Win32Process(UniqueHandle process, UniqueHandle thread, HANDLE job)
      : process_(std::move(process)), thread_(std::move(thread)), job_(job) {}
  ~Win32Process() override {
    thread_.reset();  // the thread handle first, then the process handle
    process_.reset();
  }

  Wait WaitForExitOrInput() override {
    HANDLE handle = process_.get();
    // 0xFF: key, mouse, posted, sent, timer, paint and hot-key input. A
    // second without either lets the caller look at the clock.
    const DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, 1000, 0xFF);
    if (result == WAIT_OBJECT_0) return Wait::kExited;
    if (result == WAIT_OBJECT_0 + 1 || result == WAIT_TIMEOUT) return Wait::kInput;
    return Wait::kFailed;
  }

  bool Terminate() override {
    const bool ended = job_ != nullptr ? TerminateJobObject(job_, 1) != 0
                                       : TerminateProcess(process_.get(), 1) != 0;
    if (!ended) return false;
    return WaitForSingleObject(process_.get(), 30000) == WAIT_OBJECT_0;
  }

  std::optional<uint32_t> ExitCode() override {
    DWORD code = 0;
    if (!GetExitCodeProcess(process_.get(), &code) || code == STILL_ACTIVE) return std::nullopt;
    return static_cast<uint32_t>(code);
  }

 private:
  UniqueHandle process_;
  UniqueHandle thread_;
  HANDLE job_;  // owned by OpenJobs(); null when the program is in none
};

}  // namespace

std::unique_ptr<HostProcess> StartWin32Process(const std::string& command_line,
                                               const EnvironmentAdditions& environment,
                                               const ProcessOptions& options, HostError* error) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;  // the size of this build's structure
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = options.quiet ? SW_HIDE : SW_SHOWNORMAL;
  // The output file and an empty input, handed to the program as its own.
  UniqueHandle output;
  UniqueHandle input;
  if (!options.output_file.empty()) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    // A link at the name goes; the file made there is new.
    const DWORD existing = GetFileAttributesA(options.output_file.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_REPARSE_POINT))
      DeleteFileA(options.output_file.c_str());
    output = UniqueHandle(CreateFileA(options.output_file.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output.valid()) {
      *error = Win32Error("cannot create", options.output_file, GetLastError());
      return nullptr;
    }
    input = UniqueHandle(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inherit, OPEN_EXISTING, 0, nullptr));
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = input.valid() ? input.get() : nullptr;
    startup.hStdOutput = output.get();
    startup.hStdError = output.get();
  }
  PROCESS_INFORMATION info = {};
  // CreateProcessA may write into the command line: give it a copy.
  std::string line = command_line;
  line.push_back('\0');
  // With nothing to add the child inherits this process's environment as is.
  std::string block = environment.empty() ? std::string() : EnvironmentBlock(environment);
  // Suspended until it is in its job, so nothing it starts escapes the job.
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE,
                      NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, block.empty() ? nullptr : &block[0],
                      nullptr, &startup, &info)) {
    *error = Win32Error("cannot start", command_line, GetLastError());
    return nullptr;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  // A system without nested jobs (before Windows 8) refuses a second job for
  // a program started inside one; it then runs without.
  HANDLE job = nullptr;
  UniqueHandle new_job = MakeKillOnCloseJob();
  if (new_job.valid() && AssignProcessToJobObject(new_job.get(), process.get())) {
    job = new_job.get();
    OpenJobs().push_back(std::move(new_job));
  }
  ResumeThread(thread.get());
  return std::make_unique<Win32Process>(std::move(process), std::move(thread), job);
}
