#pragma once

#include <string>

#include "platform/Application.h"

// Starts the command line and waits for the process to end, processing user
// interface events meanwhile. False when it could not be started. A wait
// that fails outright ends the waiting. The exit code is not read.
bool RunAndWait(TApplication& app, const std::string& command_line);
