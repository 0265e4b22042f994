#include "platform/posix/PathMap.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/Text.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The non-empty components of a path; `windows` splits at '\' too.
std::vector<std::string> SplitComponents(const std::string& path, bool windows) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '/' || (windows && c == '\\')) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::string Join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool Exists(const std::string& host_path) {
  struct stat st;
  return ::lstat(host_path.c_str(), &st) == 0;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// The entry of `folder` whose name equals `name` ignoring ASCII case; the
// smallest one when several do, so the choice does not depend on the order
// of the folder. Empty when none does.
std::string FindIgnoringCase(const std::string& folder, const std::string& name) {
  DirHandle dir(::opendir(folder.c_str()));
  if (dir == nullptr) return std::string();
  std::string found;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string candidate = entry->d_name;
    if (candidate == "." || candidate == "..") continue;
    if (EqualsIgnoreAsciiCase(candidate, name) && (found.empty() || candidate < found))
      found = candidate;
  }
  return found;
}

std::string CurrentFolder() {
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return std::string();
  return buffer;
}

std::string MakeAbsolute(const std::string& host_path) {
  if (!host_path.empty() && host_path[0] == '/') return host_path;
  const std::string cwd = CurrentFolder();
  return cwd.empty() ? "/" + host_path : Join(cwd, host_path);
}

// Repeated '/' and "." components removed; ".." kept (links make it more
// than text on the host side). No trailing '/', except for "/" itself.
std::string Tidy(const std::string& host_path) {
  const bool absolute = !host_path.empty() && host_path[0] == '/';
  std::string out = absolute ? "/" : "";
  for (const std::string& part : SplitComponents(host_path, false)) {
    if (part == ".") continue;
    if (!out.empty() && out.back() != '/') out += '/';
    out += part;
  }
  return out;
}

}  // namespace

PathMap::PathMap(const std::string& prefix) {
  prefix_ = Tidy(MakeAbsolute(prefix));
  char buffer[PATH_MAX];
  if (::realpath(prefix_.c_str(), buffer) != nullptr) real_prefix_ = buffer;
}

std::string PathMap::DriveRoot(char letter) const {
  const char lower = AsciiLowerChar(letter);
  if (lower == 'z') return "/";
  return prefix_ + "/drive_" + std::string(1, lower);
}

std::string PathMap::ToHost(const std::string& windows_path) const {
  if (windows_path.empty()) return std::string();
  char drive = 0;
  std::string rest = windows_path;
  if (windows_path.size() >= 2 && IsAsciiLetter(windows_path[0]) && windows_path[1] == ':') {
    drive = windows_path[0];
    rest = windows_path.substr(2);
  } else if (IsSeparator(windows_path[0])) {
    drive = 'c';
  } else {
    // Relative: below the current folder, under the current folder's own
    // drive, so ".." stops at that drive's root too.
    const std::string cwd = CurrentFolder();
    if (cwd.empty()) return std::string();
    return ToHost(ToWindows(cwd) + "\\" + windows_path);
  }

  std::vector<std::string> parts;
  for (const std::string& part : SplitComponents(rest, true)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }

  std::string host = DriveRoot(drive);
  bool resolving = true;
  for (const std::string& part : parts) {
    std::string name = part;
    if (resolving && !Exists(Join(host, part))) {
      const std::string found = FindIgnoringCase(host, part);
      if (found.empty())
        resolving = false;  // nothing below a missing folder can exist
      else
        name = found;
    }
    host = Join(host, name);
  }
  return host;
}

std::string PathMap::BelowPrefix(const std::string& host_path, const std::string& root) const {
  if (root.empty()) return std::string();
  const std::string lead = root + "/drive_";
  if (host_path.compare(0, lead.size(), lead) != 0) return std::string();
  const size_t letter_at = lead.size();
  if (letter_at >= host_path.size() || !IsAsciiLetter(host_path[letter_at])) return std::string();
  const size_t after = letter_at + 1;
  if (after < host_path.size() && host_path[after] != '/') return std::string();
  const char letter = host_path[letter_at];
  std::string name(1,
                   letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter);
  name += ":\\";
  if (after < host_path.size()) name += host_path.substr(after + 1);
  return name;
}

std::string PathMap::ToWindows(const std::string& host_path) const {
  if (host_path.empty()) return std::string();
  const bool trailing = host_path.size() > 1 && host_path.back() == '/';
  std::string name;
  if (host_path[0] != '/') {
    name = Tidy(host_path);
  } else {
    const std::string tidy = Tidy(host_path);
    name = BelowPrefix(tidy, prefix_);
    if (name.empty() && real_prefix_ != prefix_) name = BelowPrefix(tidy, real_prefix_);
    if (name.empty()) name = "Z:\\" + tidy.substr(1);
  }
  for (char& c : name)
    if (c == '/') c = '\\';
  if (trailing && !name.empty() && name.back() != '\\') name += '\\';
  return name;
}
