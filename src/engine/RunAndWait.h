#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "formlib/Application.h"

// Starts the command line and waits for the process to end, processing user
// interface events meanwhile. False when it could not be started. A wait
// that fails outright ends the waiting. The program gets the installer's
// environment with `environment` added; `exit_code`, when given, receives
// its exit status, or nullopt when the wait failed.
bool RunAndWait(TApplication& app, const std::string& command_line,
                const EnvironmentAdditions& environment = {},
                std::optional<uint32_t>* exit_code = nullptr);
