#include "engine/RunAndWait.h"

#include "formlib/FileUtil.h"

bool RunAndWait(TApplication& app, const std::string& command_line,
                const EnvironmentAdditions& environment, std::optional<uint32_t>* exit_code) {
  RunOptions options;
  options.environment = environment;
  const RunResult result = RunProgram(app, command_line, options);
  if (exit_code != nullptr) *exit_code = result.exit_code;
  return result.started;
}

std::string RunResult::Outcome() const {
  if (!started) return "not started" + (reason.empty() ? std::string() : ": " + reason);
  if (exit_code) return "exit status " + std::to_string(*exit_code);
  return reason.empty() ? std::string("the wait failed") : reason;
}

namespace {

// The program's output, line by line, into the log; at most a few
// thousand lines of a runaway program.
void LogOutput(TApplication& app, const std::string& file) {
  constexpr size_t kMaxLoggedOutput = 1u << 20;
  std::string bytes;
  try {
    bytes = LoadFile(app.host(), file, SIZE_MAX);
  } catch (const std::exception&) {
    app.log().Write("output: (" + file + " cannot be read)");
    return;
  }
  const bool cut = bytes.size() > kMaxLoggedOutput;
  if (cut) bytes.resize(kMaxLoggedOutput);
  for (const std::string& line : SplitLines(bytes)) app.log().Write("output: " + line);
  if (cut) app.log().Write("output: (cut here; the whole output is in " + file + ")");
}

}  // namespace

RunResult RunProgram(TApplication& app, const std::string& command_line,
                     const RunOptions& options) {
  RunLog& log = app.log();
  Host& host = app.host();
  RunResult result;
  // The environment is not logged: it carries the database password.
  log.Write("run: " + command_line);
  if (!options.output_file.empty()) log.Write("its output goes to " + options.output_file);
  const uint32_t start = host.TickCount();
  ProcessOptions process_options;
  process_options.output_file = options.output_file;
  process_options.unattended = options.unattended;
  process_options.quiet = options.quiet;
  // What the front-end printed comes before what the program prints.
  app.ui().EndOpenLine();
  std::unique_ptr<HostProcess> process =
      host.StartProcess(command_line, options.environment, process_options);
  if (process == nullptr) {
    result.reason = host.LastError().Message();
    log.Write("could not start: " + command_line +
              (result.reason.empty() ? "" : ": " + result.reason));
    return result;
  }
  result.started = true;
  HostProcess::Wait wait;
  for (;;) {
    wait = process->WaitForExitOrInput();
    if (wait != HostProcess::Wait::kInput) break;  // ended, or the wait failed
    if (options.wait_limit_ms != 0 && host.TickCount() - start >= options.wait_limit_ms) {
      result.ended_at_limit = true;
      break;
    }
    app.ProcessMessages();
  }
  const std::string duration = SecondsText(host.TickCount() - start) + " s";
  if (result.ended_at_limit) {
    const bool ended = process->Terminate();
    result.reason = "ended after the wait limit of " + SecondsText(options.wait_limit_ms) + " s";
    log.Write(std::string(ended ? "ended" : "could not end") + " " + command_line +
              " with the programs it started, after " + duration +
              ": it had not ended within the wait limit of " + SecondsText(options.wait_limit_ms) +
              " s");
  } else {
    result.exit_code = wait == HostProcess::Wait::kExited ? process->ExitCode() : std::nullopt;
    log.Write(result.exit_code
                  ? "exit status " + std::to_string(*result.exit_code) + " after " + duration
                  : "the wait failed after " + duration);
  }
  process.reset();
  if (!options.output_file.empty()) LogOutput(app, options.output_file);
  return result;
}
