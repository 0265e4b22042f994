#include "platform/posix/PathMap.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "platform/Path.h"
#include "platform/Text.h"

namespace {

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

// The components of a Windows path with "." dropped and ".." taking the one
// before it away; ".." at the root stays at the root.
std::vector<std::string> ResolvedComponents(const std::string& windows_path) {
  std::vector<std::string> parts;
  for (const std::string& part : SplitComponents(windows_path, true)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  return parts;
}

// `name` added below `folder`, in place: a path is built in one pass over
// its components, however many there are.
void Append(std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  folder += name;
}

std::string Join(std::string folder, const std::string& name) {
  Append(folder, name);
  return folder;
}

bool Exists(const std::string& host_path) {
  struct stat st;
  return ::lstat(host_path.c_str(), &st) == 0;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool ModifiedAt(const std::string& folder, timespec* modified) {
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  *modified = st.st_mtim;
  return true;
}

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Adds a name to a listing, keeping the smallest name of each folded form
// so the choice does not depend on the order of the folder.
void AddName(std::unordered_map<std::string, std::string>& by_folded, const std::string& name) {
  std::string& slot = by_folded[AsciiLowerCase(name)];
  if (slot.empty() || name < slot) slot = name;
}

// The length of the host path that `rest`, a Windows path after its drive,
// maps to below a drive root: one '/' and the name per component. 0 when a
// ".." component makes it shorter than that.
size_t HostLengthBelowRoot(const std::string& rest) {
  size_t total = 0;
  for (size_t start = 0; start <= rest.size();) {
    size_t end = start;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const size_t n = end - start;
    if (n == 2 && rest[start] == '.' && rest[start + 1] == '.') return 0;
    if (n > 1 || (n == 1 && rest[start] != '.')) total += n + 1;
    start = end + 1;
  }
  return total;
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
  if (windows_path.empty() || windows_path.size() > kMaxWindowsPath) return std::string();
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

  // A host path of PATH_MAX bytes or more names nothing: every system call
  // refuses it. Known from one pass over the name, before a look-up per
  // component, so a name of thousands of folders stays cheap.
  const std::string root = DriveRoot(drive);
  const size_t below = HostLengthBelowRoot(rest);
  if (root.size() + below - (below > 0 && root.back() == '/' ? 1 : 0) >= PATH_MAX)
    return std::string();

  const std::vector<std::string> parts = ResolvedComponents(rest);
  std::string host = root;
  // Most names exist as written, or all but their last component do: one
  // or two look-ups then, instead of one per component.
  if (!parts.empty()) {
    std::string parent = host;
    for (size_t i = 0; i + 1 < parts.size(); ++i) Append(parent, parts[i]);
    const std::string exact = Join(parent, parts.back());
    if (Exists(exact)) return exact;
    if (Exists(parent)) {
      const std::string found = FindIgnoringCase(parent, parts.back());
      return Join(parent, found.empty() ? parts.back() : found);
    }
  }
  bool resolving = true;
  for (const std::string& part : parts) {
    if (resolving && !Exists(Join(host, part))) {
      const std::string found = FindIgnoringCase(host, part);
      if (!found.empty()) {
        Append(host, found);
        continue;
      }
      resolving = false;  // nothing below a missing folder can exist
    }
    Append(host, part);
  }
  return host;
}

std::string PathMap::FindIgnoringCase(const std::string& folder, const std::string& name) const {
  timespec modified;
  if (!ModifiedAt(folder, &modified)) return std::string();
  auto it = listings_.find(folder);
  if (it == listings_.end() || it->second.racy || !SameTime(it->second.modified, modified)) {
    // Folders come and go; a bounded cache is enough for one install.
    if (listings_.size() > 256) listings_.clear();
    DirHandle dir(::opendir(folder.c_str()));
    if (dir == nullptr) return std::string();
    Listing listing;
    listing.modified = modified;
    timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    const int64_t age_ns =
        (int64_t{now.tv_sec} - modified.tv_sec) * 1000000000 + (now.tv_nsec - modified.tv_nsec);
    listing.racy = age_ns < 50 * 1000000;
    while (const dirent* entry = ::readdir(dir.get())) {
      const std::string candidate = entry->d_name;
      if (candidate != "." && candidate != "..") AddName(listing.by_folded_name, candidate);
    }
    it = listings_.insert_or_assign(folder, std::move(listing)).first;
  }
  auto found = it->second.by_folded_name.find(AsciiLowerCase(name));
  return found == it->second.by_folded_name.end() ? std::string() : found->second;
}

void PathMap::Changed(const std::string& host_path) const {
  const std::string folder = HostFolderOf(host_path);
  auto it = listings_.find(folder);
  if (it == listings_.end()) return;
  Listing& listing = it->second;
  const std::string name = host_path.substr(host_path.rfind('/') + 1);
  timespec modified;
  if (!ModifiedAt(folder, &modified)) {
    listings_.erase(it);
    return;
  }
  if (Exists(host_path)) {
    // Only a new name changed the folder. Its listing was read again by the
    // look-up of that name just before it was made, so it is still current.
    auto known = listing.by_folded_name.find(AsciiLowerCase(name));
    if (known != listing.by_folded_name.end() && known->second <= name) return;
    AddName(listing.by_folded_name, name);
    listing.racy = false;
  } else {
    // A removed name: read the folder again next time rather than guess
    // which other spelling, if any, remains.
    listings_.erase(it);
    return;
  }
  listing.modified = modified;
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
