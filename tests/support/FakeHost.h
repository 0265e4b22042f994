#pragma once
// FakeHost: an in-memory machine for tests of the core.
//
// Files and folders live in memory with Windows path rules (letter case
// ignored, '\' and '/' both separators, repeated separators read as one,
// "." and ".." resolved, no drive meaning C:). The registry is an in-memory
// tree below HKEY_LOCAL_MACHINE. Processes are recorded, not run. The
// screen and the user are FakeUi's (FakeUi.h).

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Host.h"

class FakeHost : public Host {
 public:
  FakeHost();
  ~FakeHost() override;

  // --- Start-up ---------------------------------------------------------
  std::vector<std::string> arguments;
  std::string program_folder = "C:\\Setup\\";

  // --- Files ------------------------------------------------------------
  // Adds (or replaces) a file, creating its folders.
  void AddFile(const std::string& path, const std::string& bytes);
  void AddFolder(const std::string& path);  // with its parents
  bool HasFile(const std::string& path) const;
  bool HasFolder(const std::string& path) const;
  // The file's bytes; fails the test when there is no such file.
  std::string FileContent(const std::string& path) const;
  // Every file, as "c:\folder\name" in lower case, sorted.
  std::vector<std::string> Files() const;
  // Makes every open of the path fail, as a file locked by another process.
  void LockFile(const std::string& path) { locked_.push_back(Key(path)); }
  // The file gets the read-only attribute: it cannot be written, replaced
  // or removed.
  void SetReadOnly(const std::string& path);
  // A folder in which no new file can be made; its files can be written.
  void RefuseNewFiles(const std::string& folder) { closed_folders_.push_back(Key(folder)); }
  // ReplaceFileWith fails, as when a file's identity cannot be kept.
  bool replace_fails = false;
  // Fails the write calls after `count` successful ones (-1: never).
  int writes_before_failure = -1;
  // Caps what one write call takes (the disk fills up after `disk_space`
  // more bytes); -1: unlimited.
  int64_t disk_space = -1;
  // False: hard links cannot be made (another volume, FAT).
  bool hard_links = true;
  // Every MoveFileReplacing done, as "FROM -> TO".
  std::vector<std::string> moves;
  // Every path a file was created at, as the caller named it.
  std::vector<std::string> created_files;
  // Handles open now.
  int open_files() const { return open_files_; }
  std::string temp_path = "C:\\Temp\\";
  std::map<std::string, std::string> short_paths;  // long path -> 8.3 form

  // --- Registry ---------------------------------------------------------
  void AddKey(const std::string& path);
  void SetValue(const std::string& key, const std::string& name, RegValueType type,
                const std::string& data);
  void SetString(const std::string& key, const std::string& name, const std::string& value) {
    SetValue(key, name, RegValueType::kString, value);
  }
  bool HasKey(const std::string& path) const;
  // The value's data; nullopt when missing.
  std::optional<std::string> Value(const std::string& key, const std::string& name) const;
  // False: every open with full access fails, as for an account without
  // write access to HKEY_LOCAL_MACHINE.
  bool registry_writable = true;
  // The key and the keys below it cannot be opened with full access, as
  // for a key whose security lets this account only read it.
  void RefuseKeyWrites(const std::string& path) { unwritable_keys_.push_back(Key(path)); }
  // Value writes and key removals fail.
  bool value_writes_fail = false;

  // --- Processes --------------------------------------------------------
  std::vector<std::string> command_lines;          // every start asked for, in order
  std::vector<EnvironmentAdditions> environments;  // what each start added
  std::vector<bool> quiet_starts;                  // each start's ProcessOptions::quiet
  // Whether a command line starts (default: all do).
  std::function<bool(const std::string&)> can_start;
  // Runs when a process starts: what the program would do.
  std::function<void(const std::string&)> on_start;
  // A started program's exit status (default: 0).
  std::function<uint32_t(const std::string&)> exit_code;
  // What a started program writes to its output file (default: nothing).
  std::function<std::string(const std::string&)> output;
  // Whether a command line never ends by itself: each wait lets a second pass.
  std::function<bool(const std::string&)> hangs;
  int terminated = 0;       // programs ended by Terminate
  int input_waits = 0;      // each wait reports input this many times first
  bool wait_fails = false;  // the wait fails outright

  // --- Clock ------------------------------------------------------------
  uint32_t ticks = 1000;
  int64_t time = 1262304000;
  std::deque<int> random_values;  // rand() results; 0 when empty
  std::vector<unsigned> seeds;

  // --- PostgreSQL client library ----------------------------------------
  const PqApi* pq = nullptr;  // null: Pq() raises a Fault
  std::string pq_error = "None of the dynamic libraries can be found: libpq81.dll, libpq.dll";

  // --- Rights and digests -------------------------------------------------
  bool elevated = true;
  // NewSha256 gives a stand-in digest of 32 bytes (FNV-1a, four times
  // seeded apart): the real SHA-256 is the hosts' and tested there.
  bool digest_available = true;

  // Host.
  std::vector<std::string> CommandLineArguments() override { return arguments; }
  std::string ProgramFolder() override { return program_folder; }
  std::string FromNativePath(const std::string& path) override { return path; }
  std::unique_ptr<HostFile> OpenFileForRead(const std::string& path, unsigned share) override;
  std::unique_ptr<HostFile> CreateFileForWrite(const std::string& path) override;
  std::unique_ptr<HostFile> OpenFileForOverwrite(const std::string& path) override;
  std::unique_ptr<HostFile> CreateFileBeside(const std::string& path, std::string* name) override;
  uint32_t FileAttributes(const std::string& path) override;
  bool MakeOneDirectory(const std::string& path) override;
  bool ReplaceFileWith(const std::string& from, const std::string& to) override;
  FolderRoom RoomIn(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool MoveFileReplacing(const std::string& from, const std::string& to) override;
  bool MakeHardLink(const std::string& existing, const std::string& link) override;
  bool RemoveOneDirectory(const std::string& path) override;
  std::string TempPath() override { return temp_path; }
  std::string ShortPathName(const std::string& path) override;
  std::unique_ptr<HostRegistryKey> OpenLocalMachineKey(const std::string& path,
                                                       bool create) override;
  using Host::StartProcess;
  std::unique_ptr<HostProcess> StartProcess(const std::string& command_line,
                                            const EnvironmentAdditions& environment,
                                            const ProcessOptions& options) override;
  uint32_t TickCount() override { return ticks; }
  int64_t Time() override { return time; }
  void SeedRandom(unsigned seed) override { seeds.push_back(seed); }
  int Random() override;
  const PqApi& Pq() override;
  bool Elevated() override { return elevated; }
  std::unique_ptr<HostSha256> NewSha256() override;
  HostError LastError() const override { return last_error_; }
  // The log's path is a path of this machine; a file's identity is its key.
  LogFileHandle OpenLogFile(const std::string& path) override;
  std::optional<std::string> FileIdentity(const std::string& path) override;
  RunnerFacts runner = {"2010-01-01 00:00:00 +0000", "WEB01", "admin", true};
  RunnerFacts Runner() override { return runner; }
  std::string log_line_end = "\r\n";

  // The normalized form of a path: lower case, "\" separators, drive first.
  static std::string Key(const std::string& path);

  struct Node;
  struct RegKey;
  struct OpenHandle;

 private:
  friend class FakeFile;
  friend class FakeKey;
  Node* Find(const std::string& key) const;
  bool Locked(const std::string& key) const;
  bool TakesNewFiles(const std::string& folder_key) const;
  // Why no new file can be made at `key`: no folder, or one that takes none.
  const char* NoNewFile(const std::string& key) const;
  // Records a failed call's reason, with the Windows system text; false.
  bool Fail(const char* operation, const std::string& path, const char* reason);
  std::nullptr_t FailNull(const char* operation, const std::string& path, const char* reason);
  RegKey* FindKey(const std::string& path, bool create);

  std::map<std::string, std::unique_ptr<Node>> nodes_;
  std::vector<std::string> locked_;
  std::vector<std::string> closed_folders_;
  std::vector<std::string> unwritable_keys_;
  int created_beside_ = 0;
  HostError last_error_;
  std::unique_ptr<RegKey> registry_;
  int open_files_ = 0;
  int writes_ = 0;
};
