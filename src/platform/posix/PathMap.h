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

#include <string>

class PathMap {
 public:
  // `prefix`: the prefix folder; a relative name is taken from the current
  // folder. It need not exist.
  explicit PathMap(const std::string& prefix);

  // The prefix as an absolute host path without a trailing '/'.
  const std::string& prefix() const { return prefix_; }
  // The host folder of a drive: "/" for Z:, else <prefix>/drive_<letter>.
  std::string DriveRoot(char letter) const;

  // The host path of a Windows path name. Empty stays empty.
  std::string ToHost(const std::string& windows_path) const;
  // The Windows name of a host path: "X:\..." below <prefix>/drive_x, else
  // "Z:\..."; relative paths stay relative with '\' separators. A trailing
  // separator is kept.
  std::string ToWindows(const std::string& host_path) const;

 private:
  // The Windows name for an absolute host path, or empty when it does not
  // lie below `root` (a prefix spelling).
  std::string BelowPrefix(const std::string& host_path, const std::string& root) const;

  std::string prefix_;
  std::string real_prefix_;  // the prefix with links resolved, when it exists
};
