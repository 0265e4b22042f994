#pragma once
// Splitting of a Windows command line into arguments, as the form library's
// start-up does it: white space is the blank and every control character;
// a double quote opens or closes a quoted stretch and is itself dropped (in
// the middle of an argument too); a pair of quotes that begins an argument is
// skipped. A backslash has no special meaning. The first result is the
// program name.

#include <string>
#include <vector>

std::vector<std::string> SplitCommandLine(const std::string& command_line);
