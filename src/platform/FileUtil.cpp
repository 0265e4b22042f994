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

// The path up to and including its last delimiter; empty when it has none.
std::string ExtractFilePath(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (IsPathDelimiter(path[i - 1])) return path.substr(0, i);
  return std::string();
}

}  // namespace

bool ForceDirectories(Host& host, const std::string& dir_in) {
  if (dir_in.empty()) throw FileFault("Unable to create directory");
  std::string dir = dir_in;
  // Every trailing separator goes, so a doubled one (C:\php\\ext) still climbs.
  while (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  const std::string parent = ExtractFilePath(dir);
  const uint32_t attributes = host.FileAttributes(dir);
  const bool is_folder =
      attributes != kInvalidFileAttributes && (attributes & kAttributeDirectory) != 0;
  if (dir.size() < 3 || is_folder || parent == dir) return true;
  // A relative name without a folder part has no parent left to make.
  if (!parent.empty() && !ForceDirectories(host, parent)) return false;
  return host.MakeOneDirectory(dir);
}
