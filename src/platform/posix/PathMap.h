#pragma once
// PathMap: Windows path names to host paths inside the prefix folder, and
// back.
//
//   C:\x and \x (no drive)   <prefix>/drive_c/x
//   Z:\x                     /x
//   D:\x (other letters)     <prefix>/drive_d/x
//   x (relative)             relative to the current folder's Windows name
//
// '\' and '/' both separate, repeated separators count as one, "." and ".."
// are resolved on the text and ".." stops at the drive root, so no name can
// reach outside its drive. A component that does not exist with its exact
// letter case takes the name of an existing entry that matches it ignoring
// ASCII case; missing components are kept as written.

#include <ctime>
#include <string>
#include <unordered_map>

class PathMap {
 public:
  // The longest path Windows takes, in characters.
  static constexpr size_t kMaxWindowsPath = 32767;

  // `prefix`: the prefix folder; a relative name is taken from the current
  // folder. It need not exist.
  explicit PathMap(const std::string& prefix);

  // The prefix as an absolute host path without a trailing '/'.
  const std::string& prefix() const { return prefix_; }
  // The host folder of a drive: "/" for Z:, else <prefix>/drive_<letter>.
  std::string DriveRoot(char letter) const;

  // The host path of a Windows path name. Empty stays empty, and so does a
  // name that no path can have: longer than any Windows path, or mapping to
  // a host path of PATH_MAX bytes or more.
  std::string ToHost(const std::string& windows_path) const;
  // The Windows name of a host path: "X:\..." below <prefix>/drive_x, else
  // "Z:\..."; relative paths stay relative with '\' separators. A trailing
  // separator is kept.
  std::string ToWindows(const std::string& host_path) const;

  // The host created or removed the entry at `host_path` itself: the folder
  // listing kept for letter-case matching is brought up to date instead of
  // being read again, so making many files in one folder stays linear.
  void Changed(const std::string& host_path) const;

 private:
  // A folder's entries by ASCII-folded name (the smallest name of each),
  // valid while the folder's modification time is the one read with it.
  struct Listing {
    timespec modified{};
    // Read while the folder was still changing (within the file system's
    // time granularity): a later change could carry the same time, so the
    // listing is read again on its next use.
    bool racy = false;
    std::unordered_map<std::string, std::string> by_folded_name;
  };
  // The entry of `folder` whose name equals `name` ignoring ASCII case;
  // empty when none does.
  std::string FindIgnoringCase(const std::string& folder, const std::string& name) const;

  // The Windows name for an absolute host path, or empty when it does not
  // lie below `root` (a prefix spelling).
  std::string BelowPrefix(const std::string& host_path, const std::string& root) const;

  std::string prefix_;
  std::string real_prefix_;  // the prefix with links resolved, when it exists
  mutable std::unordered_map<std::string, Listing> listings_;
};
