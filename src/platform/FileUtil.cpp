#include "platform/FileUtil.h"

#include <algorithm>

#include "platform/Fault.h"

std::string LoadFile(Host& host, const std::string& path) {
  std::unique_ptr<HostFile> file = host.OpenFileForRead(path, kShareRead);
  if (file == nullptr) throw FileFault(FormatMessage1("Cannot open file %s", path));
  std::string bytes;
  char buffer[65536];
  for (;;) {
    uint32_t done = 0;
    if (!file->Read(buffer, sizeof buffer, &done))
      throw FileFault(FormatMessage1("Cannot open file %s", path));
    if (done == 0) break;
    bytes.append(buffer, done);
  }
  return bytes;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t end = text.find('\0');
  if (end == std::string::npos) end = text.size();
  size_t p = 0;
  while (p < end) {
    const size_t start = p;
    while (p < end && text[p] != '\r' && text[p] != '\n') ++p;
    lines.emplace_back(text, start, p - start);
    if (p < end && text[p] == '\r') ++p;
    if (p < end && text[p] == '\n') ++p;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::vector<std::string> LoadLines(Host& host, const std::string& path) {
  return SplitLines(LoadFile(host, path));
}

void SaveFileReplacing(Host& host, const std::string& path, const std::string& bytes) {
  const std::string temp = path + ".~update";
  bool written = false;
  {
    std::unique_ptr<HostFile> file = host.CreateFileForWrite(temp);
    if (file != nullptr) {
      size_t at = 0;
      written = true;
      while (at < bytes.size()) {
        const uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(bytes.size() - at, 1u << 20));
        uint32_t done = 0;
        if (!file->Write(bytes.data() + at, chunk, &done) || done == 0) {
          written = false;
          break;
        }
        at += done;
      }
    }
  }  // closed before the rename
  if (written && host.ReplaceFileWith(temp, path)) return;
  host.RemoveFile(temp);
  throw FileFault(FormatMessage1("Cannot create file %s", path));
}

void SaveLines(Host& host, const std::string& path, const std::vector<std::string>& lines) {
  SaveFileReplacing(host, path, JoinLines(lines));
}

namespace {

bool IsPathDelimiter(char c) { return c == '\\' || c == '/' || c == ':'; }

// The length of the first `length` characters of `path` up to and including
// their last delimiter; 0 when they hold none.
size_t FilePathLength(const std::string& path, size_t length) {
  for (size_t i = length; i > 0; --i)
    if (IsPathDelimiter(path[i - 1])) return i;
  return 0;
}

bool IsFolder(Host& host, const std::string& path) {
  const uint32_t attributes = host.FileAttributes(path);
  return attributes != kInvalidFileAttributes && (attributes & kAttributeDirectory) != 0;
}

}  // namespace

bool ForceDirectories(Host& host, const std::string& dir) {
  if (dir.empty()) throw FileFault("Unable to create directory");
  // Climbs one level per missing folder, then makes them top down. Each
  // level is a prefix of `dir`, kept as its length, and one buffer is cut
  // shorter on the way up and grown on the way down: a path of thousands of
  // folders costs neither the stack nor a copy of itself per level.
  std::vector<size_t> missing;  // deepest first
  std::string path = dir;
  size_t length = dir.size();
  for (;;) {
    // Every trailing separator goes, so a doubled one (C:\php\\ext) still climbs.
    while (length > 1 && (dir[length - 1] == '\\' || dir[length - 1] == '/')) --length;
    const size_t parent = FilePathLength(dir, length);
    if (length < 3 || parent == length) break;
    path.resize(length);
    if (IsFolder(host, path)) break;
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
