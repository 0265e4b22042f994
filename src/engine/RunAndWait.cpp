#include "engine/RunAndWait.h"

bool RunAndWait(TApplication& app, const std::string& command_line) {
  std::unique_ptr<HostProcess> process = app.host().StartProcess(command_line);
  if (process == nullptr) return false;
  for (;;) {
    const HostProcess::Wait wait = process->WaitForExitOrInput();
    if (wait != HostProcess::Wait::kInput) break;  // ended, or the wait failed
    app.ProcessMessages();
  }
  return true;
}
