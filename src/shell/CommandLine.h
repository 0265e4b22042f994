#pragma once
// The installer's command line: its switches, the exit statuses the help
// tells, the help itself and the command line as the log shows it.

#include <string>
#include <vector>

#include "install/Settings.h"

// Applies the command-line switches to the settings. Arguments that match
// no switch are ignored.
void ParseCommandLine(const std::vector<std::string>& arguments, Settings& settings);

// Exit statuses of the installer, in Inno Setup's numbering where the
// meaning matches.
constexpr int kExitSucceeded = 0;        // the install ran to the end and recorded the version
constexpr int kExitNotStarted = 1;       // the installer could not start
constexpr int kExitNotInstalled = 2;     // the wizard closed before the install began
constexpr int kExitFailed = 4;           // it failed after the stop; the previous state restored
constexpr int kExitStopped = 5;          // a No stopped it after the stop; previous state restored
constexpr int kExitNotApplied = 7;       // it did not go ahead, and nothing was changed
constexpr int kExitNotRestored = 9;      // it failed, and the machine is not as it was before
constexpr int kExitAlreadyCurrent = 10;  // the server already runs this version: nothing to do

// The command line for the log: every argument that begins with "/dbpass"
// (any spelling) has its value as "***", and so has every part a password
// with blanks was split into after it.
std::string LoggedCommandLine(const std::vector<std::string>& arguments);

// The text of "/?" and "/help": the switches and the exit statuses.
std::string HelpText();
