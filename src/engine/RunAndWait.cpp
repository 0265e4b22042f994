#include "engine/RunAndWait.h"

bool RunAndWait(TApplication& app, const std::string& command_line,
                const EnvironmentAdditions& environment, std::optional<uint32_t>* exit_code) {
  std::unique_ptr<HostProcess> process = app.host().StartProcess(command_line, environment);
  if (process == nullptr) return false;
  HostProcess::Wait wait;
  for (;;) {
    wait = process->WaitForExitOrInput();
    if (wait != HostProcess::Wait::kInput) break;  // ended, or the wait failed
    app.ProcessMessages();
  }
  if (exit_code != nullptr)
    *exit_code = wait == HostProcess::Wait::kExited ? process->ExitCode() : std::nullopt;
  return true;
}
