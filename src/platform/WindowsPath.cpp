#include "platform/WindowsPath.h"

#include <cctype>
#include <vector>

std::optional<std::string> CanonicalWindowsPath(const std::string& name) {
  if (name.size() < 3 || !std::isalpha(static_cast<unsigned char>(name[0])) || name[1] != ':' ||
      (name[2] != '\\' && name[2] != '/'))
    return std::nullopt;
  std::vector<std::string> parts;
  size_t start = 3;
  for (;;) {
    const size_t end = name.find_first_of("\\/", start);
    const std::string part = name.substr(start, end == std::string::npos ? end : end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  std::string folder =
      std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])))) + ":\\";
  for (size_t i = 0; i < parts.size(); ++i) folder += (i > 0 ? "\\" : "") + parts[i];
  return folder;
}
