#include "engine/RunAndWait.h"

bool RunAndWait(TApplication& app, const std::string& command_line,
                const EnvironmentAdditions& environment, std::optional<uint32_t>* exit_code) {
  RunLog& log = app.log();
  // The environment is not logged: it carries the database password.
  log.Write("run: " + command_line);
  const uint32_t start = app.host().TickCount();
  std::unique_ptr<HostProcess> process = app.host().StartProcess(command_line, environment);
  if (process == nullptr) {
    const std::string why = app.host().LastError().Message();
    log.Write("could not start: " + command_line + (why.empty() ? "" : ": " + why));
    return false;
  }
  HostProcess::Wait wait;
  for (;;) {
    wait = process->WaitForExitOrInput();
    if (wait != HostProcess::Wait::kInput) break;  // ended, or the wait failed
    app.ProcessMessages();
  }
  const std::optional<uint32_t> code =
      wait == HostProcess::Wait::kExited ? process->ExitCode() : std::nullopt;
  const std::string duration = SecondsText(app.host().TickCount() - start) + " s";
  log.Write(code ? "exit status " + std::to_string(*code) + " after " + duration
                 : "the wait failed after " + duration);
  if (exit_code != nullptr) *exit_code = code;
  return true;
}
