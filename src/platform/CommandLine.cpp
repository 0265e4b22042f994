#include "platform/CommandLine.h"

namespace {

bool IsWhite(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Reads one argument starting at `p`; returns the position after it.
size_t ReadArgument(const std::string& line, size_t p, std::string* argument) {
  const size_t n = line.size();
  auto at = [&](size_t i) { return i < n ? line[i] : '\0'; };
  for (;;) {
    while (p < n && IsWhite(line[p]) && line[p] != '\0') ++p;
    if (at(p) == '"' && at(p + 1) == '"')
      p += 2;
    else
      break;
  }
  argument->clear();
  while (p < n && line[p] != '\0' && !IsWhite(line[p])) {
    if (line[p] == '"') {
      ++p;
      while (p < n && line[p] != '\0' && line[p] != '"') argument->push_back(line[p++]);
      if (p < n && line[p] == '"') ++p;
    } else {
      argument->push_back(line[p++]);
    }
  }
  return p;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& command_line) {
  std::vector<std::string> result;
  std::string argument;
  size_t p = ReadArgument(command_line, 0, &argument);
  result.push_back(argument);  // the program name, possibly empty
  for (;;) {
    p = ReadArgument(command_line, p, &argument);
    // An empty argument ends the list, as the form library's ParamCount does.
    if (argument.empty()) break;
    result.push_back(argument);
  }
  return result;
}

std::vector<std::string> SplitProgramCommandLine(const std::string& command_line) {
  const std::string& line = command_line;
  const size_t n = line.find('\0') == std::string::npos ? line.size() : line.find('\0');
  std::vector<std::string> result;
  std::string argument;
  size_t p = 0;
  if (p < n && line[p] == '"') {
    for (++p; p < n && line[p] != '"'; ++p) argument.push_back(line[p]);
    if (p < n) ++p;
  } else {
    for (; p < n && !IsWhite(line[p]); ++p) argument.push_back(line[p]);
    if (p < n) ++p;  // the character that ended it
  }
  result.push_back(argument);

  bool quoted = false;
  for (;;) {
    while (p < n && (line[p] == ' ' || line[p] == '\t')) ++p;
    if (p >= n) break;
    argument.clear();
    for (;;) {
      size_t backslashes = 0;
      while (p < n && line[p] == '\\') {
        ++backslashes;
        ++p;
      }
      bool copy = true;
      if (p < n && line[p] == '"') {
        if (backslashes % 2 == 0) {
          if (quoted && p + 1 < n && line[p + 1] == '"')
            ++p;  // the second quote is copied
          else
            copy = false;
          quoted = !quoted;
        }
        backslashes /= 2;
      }
      argument.append(backslashes, '\\');
      if (p >= n || (!quoted && (line[p] == ' ' || line[p] == '\t'))) break;
      if (copy) argument.push_back(line[p]);
      ++p;
    }
    result.push_back(argument);
  }
  return result;
}
