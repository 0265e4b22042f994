#include "formlib/FileUtil.h"

#include <algorithm>

#include "platform/Fault.h"
#include "platform/Path.h"
#include "platform/Text.h"

std::string LoadFile(Host& host, const std::string& path, size_t max_size) {
  std::unique_ptr<HostFile> file = host.OpenFileForRead(path, kShareRead);
  if (file == nullptr) throw FileFault(FormatMessage1("Cannot open file %s", path));
  std::string bytes;
  const bool whole = ReadToEnd(*file, [&bytes, max_size](const char* data, size_t size) {
    if (size > max_size - bytes.size()) return false;
    bytes.append(data, size);
    return true;
  });
  if (!whole) throw FileFault(FormatMessage1("Cannot open file %s", path));
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

bool ForceDirectories(Host& host, const std::string& dir) {
  if (dir.empty()) throw FileFault("Unable to create directory");
  return MakeFolderPath(host, dir);
}
