#include "formlib/FileUtil.h"

#include <algorithm>

#include "platform/Fault.h"

std::string LoadFile(Host& host, const std::string& path, size_t max_size) {
  std::unique_ptr<HostFile> file = host.OpenFileForRead(path, kShareRead);
  if (file == nullptr) throw FileFault(FormatMessage1("Cannot open file %s", path));
  std::string bytes;
  char buffer[65536];
  for (;;) {
    uint32_t done = 0;
    if (!file->Read(buffer, sizeof buffer, &done) || bytes.size() + done > max_size)
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

std::string JoinedLines(const std::string& text) {
  size_t end = text.find('\0');
  if (end == std::string::npos) end = text.size();
  std::string joined;
  joined.reserve(end + end / 16 + 2);
  size_t p = 0;
  while (p < end) {
    const size_t start = p;
    while (p < end && text[p] != '\r' && text[p] != '\n') ++p;
    joined.append(text, start, p - start).append("\r\n");
    if (p < end && text[p] == '\r') ++p;
    if (p < end && text[p] == '\n') ++p;
  }
  return joined;
}

std::vector<std::string> LoadLines(Host& host, const std::string& path) {
  return SplitLines(LoadFile(host, path, kMaxLineListFile));
}

namespace {

// Every byte of the pieces; false when a write fails or takes nothing.
bool WritePieces(HostFile& file, const std::vector<std::string_view>& pieces) {
  for (const std::string_view piece : pieces)
    if (!WriteAll(file, piece.data(), piece.size())) return false;
  return true;
}

}  // namespace

void SaveFileReplacing(Host& host, const std::string& path, const std::string& bytes) {
  SaveFileReplacing(host, path, std::vector<std::string_view>{bytes});
}

void SaveFileReplacing(Host& host, const std::string& path,
                       const std::vector<std::string_view>& pieces) {
  const FileFault cannot_create(FormatMessage1("Cannot create file %s", path));
  const uint32_t attributes = host.FileAttributes(path);
  const bool exists = attributes != kInvalidFileAttributes;
  if (exists && (attributes & (kAttributeDirectory | kAttributeDevice | kAttributeReadOnly)) != 0)
    throw cannot_create;
  std::string temp;
  std::unique_ptr<HostFile> file = host.CreateFileBeside(path, &temp);
  if (file != nullptr) {
    const bool written = WritePieces(*file, pieces);
    file.reset();  // closed before the replace
    if (written && host.ReplaceFileWith(temp, path)) return;
    host.RemoveFile(temp);
    // A full disk: the old file stays whole rather than half written.
    if (!written) throw cannot_create;
  }
  // The folder takes no new file, or a replace would not keep the file's
  // identity: written where it is.
  if (exists) {
    file = host.OpenFileForOverwrite(path);
    if (file != nullptr && WritePieces(*file, pieces)) return;
  }
  throw cannot_create;
}

void SaveLines(Host& host, const std::string& path, const std::vector<std::string>& lines) {
  SaveFileReplacing(host, path, JoinLines(lines));
}

namespace {

bool IsPathDelimiter(char c) { return c == '\\' || c == '/' || c == ':'; }

// In characters, as Windows counts them.
constexpr size_t kLongestWindowsPath = 32767;

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
