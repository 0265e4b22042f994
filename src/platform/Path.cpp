#include "platform/Path.h"

#include <vector>

#include "platform/Host.h"

namespace {

bool IsPathDelimiter(char c) { return IsSeparator(c) || c == ':'; }

// In characters, as Windows counts them.
constexpr size_t kLongestWindowsPath = 32767;

// The length of the first `length` characters of `path` up to and including
// their last delimiter; 0 when they hold none.
size_t FolderPartLength(const std::string& path, size_t length) {
  for (size_t i = length; i > 0; --i)
    if (IsPathDelimiter(path[i - 1])) return i;
  return 0;
}

bool IsFolder(Host& host, const std::string& path) {
  const uint32_t attributes = host.FileAttributes(path);
  return attributes != kInvalidFileAttributes && (attributes & kAttributeDirectory) != 0;
}

}  // namespace

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool MakeFolderPath(Host& host, const std::string& dir) {
  // Climbs one level per missing folder, then makes them top down. Each
  // level is a prefix of `dir`, kept as its length, and one buffer is cut
  // shorter on the way up and grown on the way down.
  std::vector<size_t> missing;  // deepest first
  std::string path = dir;
  size_t length = dir.size();
  for (;;) {
    // Every trailing separator goes, so a doubled one (C:\php\\ext) still climbs.
    while (length > 1 && IsSeparator(dir[length - 1])) --length;
    const size_t parent = FolderPartLength(dir, length);
    if (length < 3 || parent == length) break;
    // No folder has a path longer than the longest Windows path: such a
    // level is missing without a look-up.
    if (length <= kLongestWindowsPath) {
      path.resize(length);
      if (IsFolder(host, path)) break;
    }
    missing.push_back(length);
    // A relative name without a folder part has no parent left to make.
    if (parent == 0) break;
    length = parent;
  }
  for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
    if (path.size() > *level)
      path.resize(*level);
    else
      path.append(dir, path.size(), *level - path.size());
    if (!host.MakeOneDirectory(path)) return false;
  }
  return true;
}

std::string HostFolderOf(const std::string& host_path) {
  const size_t slash = host_path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return host_path.substr(0, slash);
}
