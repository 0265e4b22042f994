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
