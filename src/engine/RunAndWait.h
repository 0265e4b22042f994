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

struct RunOptions {
  EnvironmentAdditions environment;
  // The program's standard output and error go to this file, and from it
  // line by line into the log once the program has ended; empty: none.
  std::string output_file;
  // A program still running after this long is ended with its children;
  // 0: it is waited for without a limit.
  uint32_t wait_limit_ms = 0;
  bool unattended = false;  // nobody answers the program (ProcessOptions)
  bool quiet = false;       // nobody watches the program (ProcessOptions)
};

struct RunResult {
  bool started = false;
  std::optional<uint32_t> exit_code;  // nullopt: the wait failed, or it was ended
  bool ended_at_limit = false;        // ended by the installer after the wait limit
  std::string reason;                 // why it did not start, or was ended
  // Ran and ended by itself with status 0.
  bool Succeeded() const { return started && exit_code == 0u; }
  // "exit status 3", "not started: ...", "ended after the wait limit of 60 s".
  std::string Outcome() const;
};

// RunAndWait with the options; every step in the log.
RunResult RunProgram(TApplication& app, const std::string& command_line, const RunOptions& options);
