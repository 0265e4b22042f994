#pragma once
// Processes for the Windows host: CreateProcessA, and a wait that wakes for
// user-interface input as well as for the process's end.

#include <memory>
#include <string>

#include "platform/win32/Win32Support.h"

// CreateProcessA of the command line, with `environment` added to this
// process's, in a job object of its own that kills what is in it when the
// last handle to it closes (at the latest when this program ends). Null,
// with the reason in `*error`, when it cannot start.
std::unique_ptr<HostProcess> StartWin32Process(const std::string& command_line,
                                               const EnvironmentAdditions& environment,
                                               const ProcessOptions& options, HostError* error);
