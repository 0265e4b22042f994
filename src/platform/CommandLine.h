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

// Splitting of a command line as a program built with the Microsoft C
// runtime splits its own (psql.exe, httpd.exe): the program name runs to the
// next quote when it starts with one, else to the first blank or control
// character, with no escapes. The arguments after it are separated by blanks
// and tabs only; a double quote opens or closes a quoted stretch;
// backslashes are literal unless they stand before a quote: 2n of them give
// n and the quote opens or closes, 2n+1 give n and a literal quote. Inside a
// quoted stretch "" gives a literal quote and closes the stretch, as the
// runtimes of the PostgreSQL 8 clients do. The first result is the program
// name.
std::vector<std::string> SplitProgramCommandLine(const std::string& command_line);
