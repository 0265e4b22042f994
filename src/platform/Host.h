#pragma once
// The host: everything the installer asks of the machine it runs on: files
// and folders, the registry, processes, the clock, the temp folder and the
// PostgreSQL client library. The windows and boxes are the front-end's, behind
// formlib/Ui.h. platform/ is the bottom floor: it includes nothing above it.
//
// The core keeps Windows path syntax everywhere ("C:\Intranet", trailing "\",
// both '\' and '/' as separators). A host maps those paths to its own at the
// boundary. Every call documents what it returns on success and on failure.
// Texts are 8-bit strings in the ANSI code page, as on Windows.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct PqApi;

// CreateFileA share modes.
constexpr unsigned kShareNone = 0;
constexpr unsigned kShareRead = 1;
constexpr unsigned kShareWrite = 2;

// GetFileAttributesW values.
constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeDevice = 0x40;
constexpr uint32_t kAttributeNormal = 0x80;

enum class SeekOrigin { kBegin, kCurrent };

// Why a host call failed, translated in one place per host from errno or
// GetLastError(): what was tried, on which path, and the system's own text.
// The product's messages stay as they are; this is for a reason wanted
// beside them (the package tool, a log).
struct HostError {
  std::string operation;  // "cannot open", "cannot create", ...
  std::string path;       // the path asked for; a POSIX host adds its own
  std::string reason;     // strerror(errno), the system text of GetLastError()
  // "cannot open C:\Setup\Data.kpv: The system cannot find the file
  // specified."; empty when nothing failed.
  std::string Message() const {
    return reason.empty() ? std::string() : operation + " " + path + ": " + reason;
  }
};

// An open file (a file handle). Destroying it closes the handle.
class HostFile {
 public:
  HostFile() = default;
  HostFile(const HostFile&) = delete;
  HostFile& operator=(const HostFile&) = delete;
  virtual ~HostFile() = default;

  // ReadFile: reads up to `count` bytes at the current position and moves on.
  // `*done` is the count delivered (0 at end of file). False when the call
  // itself failed; a short read at end of file is not a failure of the call.
  virtual bool Read(void* buffer, uint32_t count, uint32_t* done) = 0;
  // WriteFile: `*done` is the count taken. False when the call failed.
  virtual bool Write(const void* buffer, uint32_t count, uint32_t* done) = 0;
  // SetFilePointer: moves to `distance` from the start or from the current
  // position. Moving past the end succeeds. Returns the new position, or -1
  // when the target would lie before the start of the file.
  virtual int64_t Seek(int64_t distance, SeekOrigin origin) = 0;
};

// The one write-all loop: `write(data, count, &done)` until every byte is
// taken, in calls of at most 1 MiB; false when a call fails or takes
// nothing. WriteAll is it for WriteFile on a HostFile.
using WriteSome = std::function<bool(const char* data, uint32_t count, uint32_t* done)>;
bool WriteAllWith(const WriteSome& write, const void* data, size_t size);
bool WriteAll(HostFile& file, const void* data, size_t size);

// The one read-to-the-end loop: ReadFile from the file's position to its end
// in pieces of at most 64 KiB, each handed to `take` in order. False when a
// read fails or `take` returns false.
bool ReadToEnd(HostFile& file, const std::function<bool(const char* data, size_t size)>& take);

// An open registry key (HKEY). Destroying it closes the key (RegCloseKey).
enum class RegValueType { kMissing, kString, kExpandString, kDword, kBinary, kOther };

// The registry's own type number of a value type (REG_SZ 1, REG_EXPAND_SZ 2,
// REG_BINARY 3, REG_DWORD 4), as the Windows calls and the registry file
// both spell it; 0 for kMissing and kOther, which have none.
constexpr uint32_t RegistryTypeNumber(RegValueType type) {
  switch (type) {
    case RegValueType::kString:
      return 1;
    case RegValueType::kExpandString:
      return 2;
    case RegValueType::kBinary:
      return 3;
    case RegValueType::kDword:
      return 4;
    default:
      return 0;
  }
}
// The value type of a registry type number: kOther for any other number.
constexpr RegValueType RegValueTypeOf(uint32_t number) {
  for (RegValueType type : {RegValueType::kString, RegValueType::kExpandString,
                            RegValueType::kBinary, RegValueType::kDword})
    if (RegistryTypeNumber(type) == number) return type;
  return RegValueType::kOther;
}

class HostRegistryKey {
 public:
  HostRegistryKey() = default;
  HostRegistryKey(const HostRegistryKey&) = delete;
  HostRegistryKey& operator=(const HostRegistryKey&) = delete;
  virtual ~HostRegistryKey() = default;

  // RegOpenKeyExA (or RegCreateKeyExA when `create`) of `path` below this key,
  // with full access. Null when it can be neither opened nor (if asked)
  // created; a key the account may not write counts as absent.
  virtual std::unique_ptr<HostRegistryKey> OpenSubKey(const std::string& path, bool create) = 0;
  // RegEnumKeyExA: the name of the subkey at `index`, unsorted; nullopt when
  // there is none at that index.
  virtual std::optional<std::string> EnumSubKey(uint32_t index) = 0;
  // RegQueryValueExA: the value's type, kMissing when there is no such value.
  // `data` receives the bytes; for string types without the terminating zero.
  virtual RegValueType QueryValue(const std::string& name, std::string* data) = 0;
  // RegSetValueExA with the type: kString (REG_SZ) and kExpandString
  // (REG_EXPAND_SZ) take the text, stored with its terminating zero;
  // kDword (REG_DWORD) and kBinary (REG_BINARY) take the bytes as they are.
  // False when the value could not be written, and for kMissing and kOther.
  virtual bool SetValue(const std::string& name, RegValueType type, const std::string& data) = 0;
  bool SetStringValue(const std::string& name, const std::string& value) {
    return SetValue(name, RegValueType::kString, value);
  }
  // RegDeleteValueA. True when the value is gone (also when there was none).
  virtual bool DeleteValue(const std::string& name) = 0;
  // RegDeleteKeyExA of the subkey `path` below this key, in this key's view,
  // only when it holds neither values nor subkeys (RegQueryInfoKeyA): a key
  // with anything in it stays.
  enum class Removal { kRemoved, kAbsent, kNotEmpty, kFailed };
  virtual Removal DeleteEmptySubKey(const std::string& path) = 0;
};

// Variables a started program gets on top of the installer's own
// environment, as name and value; a name it has already takes the new value.
using EnvironmentAdditions = std::vector<std::pair<std::string, std::string>>;

// How a program is started.
struct ProcessOptions {
  // Its standard output and error go to this file (a Windows path, created
  // or emptied; never through a link); empty: they stay the installer's.
  std::string output_file;
  // Nobody answers the program: it and whatever it starts can be ended
  // together (on POSIX a process group of its own, away from the terminal).
  bool unattended = false;
  // Nobody watches: the program shows no window (SW_HIDE on Windows).
  bool quiet = false;
};

// A started process (CreateProcessA). It and the programs it starts end
// when the installer ends, also when the installer is killed (a job object
// that kills on close; on POSIX the parent-death signal). Destroying it
// closes its handles; it does not end the process.
class HostProcess {
 public:
  enum class Wait { kExited, kInput, kFailed };
  HostProcess() = default;
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;
  virtual ~HostProcess() = default;
  // MsgWaitForMultipleObjects on the process: kExited when the process has
  // ended, kInput when user-interface input may be waiting to be processed
  // or a moment (at most a second) has passed, kFailed when the wait itself
  // failed.
  virtual Wait WaitForExitOrInput() = 0;
  // Ends the process and the programs it started (TerminateJobObject, or
  // SIGKILL to its process group), then waits for its end. False when it
  // could not be ended.
  virtual bool Terminate() = 0;
  // GetExitCodeProcess: the program's exit status once a wait has reported
  // kExited; nullopt before that.
  virtual std::optional<uint32_t> ExitCode() = 0;
};

// The log file a user named ("/log:"), opened for appending.
struct LogFileHandle {
  std::unique_ptr<HostFile> file;  // null when it cannot be opened
  std::string identity;            // FileIdentity of the file opened
  std::string line_end;            // "\r\n" on Windows, "\n" on POSIX
};

// Who runs the installer, where and when, for the log's header.
struct RunnerFacts {
  std::string local_time;        // "2026-12-10 02:15:59 +0100"
  std::string host_name;         // the computer's name
  std::string user;              // the account's name
  std::optional<bool> elevated;  // Windows: an administrator's full token
};

// A SHA-256 digest being computed, with the platform's own implementation
// (CNG on Windows, OpenSSL's libcrypto on POSIX).
class HostSha256 {
 public:
  HostSha256() = default;
  HostSha256(const HostSha256&) = delete;
  HostSha256& operator=(const HostSha256&) = delete;
  virtual ~HostSha256() = default;
  // Adds `size` bytes. False when the implementation failed.
  virtual bool Update(const void* data, size_t size) = 0;
  // The 32 bytes of the digest; nullopt when the implementation failed.
  // Called once, after the last Update.
  virtual std::optional<std::string> Finish() = 0;
};

class Host {
 public:
  Host() = default;
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;
  virtual ~Host() = default;

  // --- Start-up ---------------------------------------------------------
  // The command-line arguments after the program name, split by the Windows
  // rules where the platform delivers one line.
  virtual std::vector<std::string> CommandLineArguments() = 0;
  // The folder of the running program file, ending in "\".
  virtual std::string ProgramFolder() = 0;
  // The Windows name of a path given in the host's own syntax (a tool's
  // command-line argument), a relative one completed with the current
  // folder. On Windows the full path name of the same text.
  virtual std::string FromNativePath(const std::string& native_path) = 0;

  // --- Files and folders ------------------------------------------------
  // CreateFileA with GENERIC_READ, OPEN_EXISTING and the share mode, of a
  // regular file (a link followed to it). Null when the file cannot be
  // opened (missing, locked) or is a folder, a pipe or a device, which are
  // refused without waiting for them.
  virtual std::unique_ptr<HostFile> OpenFileForRead(const std::string& path,
                                                    unsigned share_mode) = 0;
  // CreateFileA with GENERIC_WRITE, no sharing, CREATE_ALWAYS: an existing
  // file is truncated. A link at the path (or a file with other hard links)
  // is replaced by a new file, never written through; the folders above it
  // are followed. A folder, pipe or device there is refused, and so is what
  // opens but is not a file on a disk (a device name such as "aux.php").
  // Null when the file cannot be created.
  virtual std::unique_ptr<HostFile> CreateFileForWrite(const std::string& path) = 0;
  // CreateFileA with GENERIC_WRITE, no sharing, TRUNCATE_EXISTING: an
  // existing regular file (a link followed to it) emptied for writing, its
  // identity kept. Null when there is none or it may not be written.
  virtual std::unique_ptr<HostFile> OpenFileForOverwrite(const std::string& path) = 0;
  // A new empty file under a name no file has, created exclusively (never
  // through a link) in the folder of the file `path` names, a link at
  // `path` followed to its target; `*name` receives the new file's path.
  // Null when that folder takes no new file.
  virtual std::unique_ptr<HostFile> CreateFileBeside(const std::string& path,
                                                     std::string* name) = 0;
  // GetFileAttributesW of the path: kInvalidFileAttributes when nothing
  // exists there, else kAttributeDirectory, kAttributeDevice (a pipe, a
  // device) or kAttributeNormal, the last with kAttributeReadOnly when this
  // account may not write the file.
  virtual uint32_t FileAttributes(const std::string& path) = 0;
  // CreateDirectoryA: creates one folder. False when its parent is missing,
  // it exists already, or it cannot be made.
  virtual bool MakeOneDirectory(const std::string& path) = 0;
  // ReplaceFileA: `to` takes the content of `from` in one step and keeps
  // its identity (attributes and security; on POSIX mode and owner); a link
  // at `to` stays and the file it names gets the content. `from` is gone
  // afterwards, and takes the name `to` when nothing is there. False, both
  // untouched, on failure, for a read-only `to`, and where the identity
  // cannot be kept (on POSIX: `to` has other hard links, or its owner
  // cannot be given to the new file).
  virtual bool ReplaceFileWith(const std::string& from, const std::string& to) = 0;
  // Whether this account may make files and folders in the existing folder
  // `path` (on Windows the folder opened for FILE_ADD_FILE and
  // FILE_ADD_SUBDIRECTORY; on POSIX write and search rights), and the bytes
  // free for it on the folder's volume (GetDiskFreeSpaceExA, statvfs);
  // nullopt when that is not known. Nothing is created.
  // `volume` names the volume holding the folder (a device number, a
  // volume's path): equal for two folders on one volume, empty when unknown.
  struct FolderRoom {
    bool writable = false;
    std::optional<uint64_t> free_bytes;
    std::string volume;
  };
  virtual FolderRoom RoomIn(const std::string& path) = 0;
  // DeleteFileA. False when the file could not be removed.
  virtual bool RemoveFile(const std::string& path) = 0;
  // MoveFileExA with MOVEFILE_REPLACE_EXISTING on one volume: `from` takes
  // the name `to` in one step; a file or link there is replaced, never
  // followed. On POSIX the moved file takes the mode and owner of the
  // regular file it replaces, or a new file's mode. False, both untouched,
  // on failure (other volumes included).
  virtual bool MoveFileReplacing(const std::string& from, const std::string& to) = 0;
  // CreateHardLinkA: `link` (which must not exist) names the file `existing`
  // names, a link at `existing` not followed. False where the volume has no
  // hard links or they cannot be made.
  virtual bool MakeHardLink(const std::string& existing, const std::string& link) = 0;
  // RemoveDirectoryA: removes an empty folder. False otherwise.
  virtual bool RemoveOneDirectory(const std::string& path) = 0;
  // GetTempPathA: the user's temp folder, ending in "\".
  virtual std::string TempPath() = 0;
  // GetShortPathNameA: the 8.3 form of an existing path; the path unchanged
  // when there is no short form or the call fails.
  virtual std::string ShortPathName(const std::string& path) = 0;

  // --- Registry, below HKEY_LOCAL_MACHINE -------------------------------
  // The part of HKEY_LOCAL_MACHINE the keys are opened in, as the log names
  // it: "32-bit view" on Windows, where Apache 2.2, PHP 5 and PostgreSQL 8.x
  // keep their keys; empty for a host with one registry.
  virtual std::string RegistryView() { return std::string(); }
  // Opens (or with `create`, creates) a key with full access; null when it
  // can be neither opened nor created.
  virtual std::unique_ptr<HostRegistryKey> OpenLocalMachineKey(const std::string& path,
                                                               bool create) = 0;

  // --- Processes --------------------------------------------------------
  // CreateProcessA with no application name: the program is the command
  // line's first token; the program gets the installer's environment with
  // `environment` added. Null when the process could not be started.
  virtual std::unique_ptr<HostProcess> StartProcess(const std::string& command_line,
                                                    const EnvironmentAdditions& environment,
                                                    const ProcessOptions& options) = 0;
  std::unique_ptr<HostProcess> StartProcess(const std::string& command_line,
                                            const EnvironmentAdditions& environment) {
    return StartProcess(command_line, environment, ProcessOptions());
  }

  // --- Clock and C library generator ------------------------------------
  virtual uint32_t TickCount() = 0;            // GetTickCount
  virtual int64_t Time() = 0;                  // time(NULL)
  virtual void SeedRandom(unsigned seed) = 0;  // srand
  virtual int Random() = 0;                    // rand: 0 to 32767

  // --- PostgreSQL client library ----------------------------------------
  // The libpq functions the database access uses. Loaded on first use; a
  // library that cannot be loaded raises a Fault with its message.
  virtual const PqApi& Pq() = 0;

  // --- Rights and digests -----------------------------------------------
  // Whether the installer runs with an administrator's full rights: on
  // Windows the elevation of the process's token. A host whose machine is
  // the user's own folder says true.
  virtual bool Elevated() { return true; }
  // A new SHA-256 computation; null when the platform offers none.
  virtual std::unique_ptr<HostSha256> NewSha256() = 0;

  // --- Failures -------------------------------------------------------
  // Why the last call of the files-and-folders or process sections that
  // failed did fail; a call that succeeds leaves it as it was. Read it right
  // after the failure, as GetLastError.
  virtual HostError LastError() const = 0;

  // --- Notices ----------------------------------------------------------
  // What the host has to tell beside a call's result, one line each (a
  // prefix folder made; why the registry cannot be used): handed to the
  // sink as it happens, for the program to print and log. The host itself
  // prints nothing. Without a sink (the default, or null) they are dropped.
  using NoticeSink = std::function<void(const std::string& line)>;
  virtual void SetNoticeSink(NoticeSink) {}

  // --- The run's log ------------------------------------------------------
  // The file the user named for the log, in the host's own syntax (on POSIX
  // a host path as typed: letter case kept, a link followed as any
  // program's write follows it), opened for appending and shared for
  // reading, created when missing. A path that ends in a separator, a
  // folder, a pipe that nobody reads, or a file of the host's own (the
  // POSIX registry file) is refused without waiting. `file`
  // is null, with LastError set, when it cannot be opened.
  virtual LogFileHandle OpenLogFile(const std::string& native_path) = 0;
  // Which file a (Windows) path names, whatever the name: two paths of the
  // same file, through a link or another letter case or a hard link, give
  // the same text. Nullopt when nothing is there.
  virtual std::optional<std::string> FileIdentity(const std::string& path) = 0;
  virtual RunnerFacts Runner() = 0;
};

// The SHA-256 of the whole file at `path` as 64 lower-case hexadecimal
// digits, read with the share mode `share_mode`; nullopt when the file
// cannot be opened or read, or the digest cannot be computed.
std::optional<std::string> FileSha256(Host& host, const std::string& path, unsigned share_mode);

// Defined once per platform.
std::unique_ptr<Host> CreateHost(int argc, char** argv);
