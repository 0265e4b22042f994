#include "shell/StartUp.h"

#include "shell/CommandLine.h"
#include "shell/Main.h"
#include "shell/RunFiles.h"
#include "versiongate/Dblogin.h"

namespace {

// The largest password file read: a password is one short line.
constexpr uint32_t kMaxPasswordFile = 64 * 1024;

// The first line of the password file, without its line end; nullopt, with
// the reason in `why`, when the file cannot be read.
std::optional<std::string> ReadPasswordFile(Host& host, const std::string& native_path,
                                            std::string* why) {
  const std::string path = host.FromNativePath(native_path);
  const std::unique_ptr<HostFile> file = host.OpenFileForRead(path, kShareRead);
  if (file == nullptr) {
    *why = host.LastError().Message();
    return std::nullopt;
  }
  std::string text(kMaxPasswordFile, '\0');
  uint32_t done = 0;
  if (!file->Read(&text[0], kMaxPasswordFile, &done)) {
    *why = "cannot read " + path;
    return std::nullopt;
  }
  text.resize(done);
  const size_t end = text.find_first_of("\r\n");
  return end == std::string::npos ? text : text.substr(0, end);
}

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

const char* ResultText(int status, bool check) {
  if (check && status == kExitAlreadyCurrent)
    return "nothing to do: the server already runs this version";
  if (check)
    return status == kExitSucceeded ? "the update would go ahead" : "the update would not go ahead";
  switch (status) {
    case kExitSucceeded:
      return "the install succeeded";
    case kExitNotStarted:
      return "the installer could not start";
    case kExitNotInstalled:
      return "the wizard was closed before the install began";
    case kExitFailed:
      return "the install failed after it began changing the machine";
    case kExitStopped:
      return "the install was stopped by a No after it began changing the machine";
    case kExitNotRestored:
      return "the install failed and the machine is not as it was before";
    case kExitNotApplied:
      return "the update did not go ahead; nothing was changed";
    case kExitAlreadyCurrent:
      return "nothing to do: the server already runs this version";
  }
  return "unknown";
}

// A run without an administrator's full rights, told in its box already.
struct NotElevated {};

// Without an administrator's full rights every key below HKEY_LOCAL_MACHINE
// opened for writing would fail and be told as missing, and the web server
// could not be stopped: the run says what is wrong before anything is read,
// and ends.
void RequireElevation(TApplication& app) {
  if (app.host().Elevated()) return;
  app.log().Write("not elevated: the installer runs without an administrator's full rights");
  app.outcome().NoteReason(kNotElevatedText);
  app.ui().ShowMessageBox(nullptr, kNotElevatedText, "ERROR", kMbOk | kMbIconError);
  throw NotElevated();
}

}  // namespace

void ApplyPasswordFile(TApplication& app, Settings& settings) {
  if (settings.DbPasswordFile.empty()) return;
  std::string why;
  if (const std::optional<std::string> password =
          ReadPasswordFile(app.host(), settings.DbPasswordFile, &why)) {
    settings.DbPassword = *password;
    app.log().Write("database password read from " + settings.DbPasswordFile);
  } else {
    app.ui().ShowMessageBox(nullptr,
                            "Unable to read the password file " + settings.DbPasswordFile + "." +
                                (why.empty() ? std::string() : "\n" + why),
                            "ERROR", kMbOk | kMbIconError);
  }
}

const char kNotElevatedText[] =
    "Install needs the full rights of an administrator, which this run does not have.\n\n"
    "Right-click setup.exe and choose \"Run as administrator\".";

std::string RunHeader(const RunnerFacts& runner, const PackageDefinition& package,
                      const std::vector<std::string>& arguments) {
  std::string elevation;
  if (runner.elevated) elevation = *runner.elevated ? " (elevated)" : " (not elevated)";
  return "run of " + package.ProductTitle + " " + package.ThisVersion + " started " +
         runner.local_time + " on " + runner.host_name + " by " + runner.user + elevation + ": " +
         LoggedCommandLine(arguments);
}

namespace {

// Opens the log, unless it is one of the files the run reads or writes:
// such a log is refused before anything is written to it, and the run goes
// on without one, as when the log cannot be created.
void OpenRunLog(TApplication& app, const PackageDefinition& package, const Settings& switches) {
  Host& host = app.host();
  RunLog& log = app.log();
  const std::string windows_name = host.FromNativePath(switches.LogFile);
  const std::vector<std::string> run_files = RunFilePaths(host, package, switches);
  const std::optional<std::string> before = host.FileIdentity(windows_name);
  std::string clash = RunFileNamedBy(host, windows_name, before.value_or(""), run_files);
  if (clash.empty()) {
    if (!log.Open(switches.LogFile)) {
      const std::string why = host.LastError().Message();
      app.ui().ShowMessageBox(nullptr,
                              "Unable to create the log file " + switches.LogFile + "." +
                                  (why.empty() ? std::string() : "\n" + why),
                              "ERROR", kMbOk | kMbIconError);
      return;
    }
    // The file opened may be another one than the name suggested (a link).
    if (!log.identity().empty())
      clash = RunFileNamedBy(host, windows_name, log.identity(), run_files);
    if (clash.empty()) return;
    log.Close();
  }
  app.ui().ShowMessageBox(nullptr,
                          "The log file " + switches.LogFile + " is " + clash +
                              ", which this run reads or writes: the run goes on without a log.",
                          "ERROR", kMbOk | kMbIconError);
}

}  // namespace

namespace {

// The host's notices while a run lasts: each on standard error at once, and
// in the log, those that came while the log was being opened right after
// its first lines.
class HostNotices {
 public:
  HostNotices(Host& host, RunLog& log, Console* console)
      : host_(host), log_(log), console_(console) {
    host_.SetNoticeSink([this](const std::string& line) { Take(line); });
  }
  HostNotices(const HostNotices&) = delete;
  HostNotices& operator=(const HostNotices&) = delete;
  ~HostNotices() { host_.SetNoticeSink(nullptr); }

  // The log's first lines are written: the notices held back follow them.
  void LogBegun() {
    logging_ = true;
    for (const std::string& line : held_) log_.Write(line);
    held_.clear();
  }

 private:
  void Take(const std::string& line) {
    if (console_ != nullptr) console_->Error(line + "\n");
    if (logging_)
      log_.Write(line);
    else
      held_.push_back(line);
  }

  Host& host_;
  RunLog& log_;
  Console* const console_;
  bool logging_ = false;
  std::vector<std::string> held_;
};

// The run's start in the log: the log opened, where its plan and a failed
// write go, and the lines that say who runs what.
void StartRunLog(TApplication& app, const Settings& switches, Console* console) {
  Host& host = app.host();
  RunLog& log = app.log();
  const PackageDefinition& package = ThePackage();
  if (switches.LogGiven) OpenRunLog(app, package, switches);
  // Only now: a log at /dev/stdout is the output the run was started with.
  if (switches.VerySilent && console != nullptr) console->QuietStartedPrograms();
  if (switches.CheckOnly && console != nullptr)
    app.plan().SetOutput([console](const std::string& text) { console->Output(text); });
  log.SetWriteFailureHandler([&app, &switches, console](const std::string& at) {
    const std::string text = "Unable to write the log file " + switches.LogFile + " after " + at +
                             " s: the lines from then on are missing.";
    if (console != nullptr && !switches.VerySilent) console->Error("setup: " + text + "\n");
    app.ui().ShowMessageBox(nullptr, text, "ERROR", kMbOk | kMbIconError);
  });
  const std::vector<std::string> arguments = host.CommandLineArguments();
  log.Write(RunHeader(host.Runner(), package, arguments));
  log.Write(package.ProductTitle + " " + package.ThisVersion);
  log.Write("command line: " + LoggedCommandLine(arguments));
  log.Write("installer folder: " + host.ProgramFolder());
  log.Write("package: " + host.ProgramFolder() + kPackageFileName);
  if (switches.CheckOnly)
    app.plan().Report("Pre-flight check of " + package.ProductTitle + " " + package.ThisVersion +
                      ": nothing is changed");
}

// The wizard and the login dialog, from the command line's settings, until
// the wizard closes. Returns the exit status.
int RunWizard(TApplication& app, const Settings& switches) {
  try {
    RequireElevation(app);
    app.SetTitle("Update...");
    Settings settings = switches;
    TForm1 form(app, ThePackage(), settings);
    ApplyPasswordFile(app, settings);
    TDBLoginForm1 login(app, settings);
    form.SetLoginForm(&login);
    app.Run(form);
    return form.ExitStatus();
  } catch (const NotElevated&) {
    return kExitNotApplied;
  } catch (const std::exception& e) {
    // The forms are gone by now: the box has no owner.
    app.outcome().NoteReason(TApplication::ExceptionText(e.what()));
    app.ui().ShowMessageBox(nullptr, TApplication::ExceptionText(e.what()), app.Title(),
                            kMbOk | kMbIconError);
    return kExitNotStarted;
  }
}

// A "/check" run's status and the plan's last line: whether the update
// would go ahead, and why not.
int EndCheck(TApplication& app, int status) {
  const PackageDefinition& package = ThePackage();
  if (status != kExitSucceeded && status != kExitNotStarted && status != kExitAlreadyCurrent)
    status = kExitNotApplied;
  if (status == kExitSucceeded)
    app.plan().Report("The update would go ahead.");
  else if (status == kExitAlreadyCurrent)
    app.plan().Report("Nothing to do: this server already runs " + package.ModuleName + " " +
                      package.ThisVersion + ".");
  else
    app.plan().Report("The update would not go ahead: " + OneLine(app.outcome().reason()));
  return status;
}

}  // namespace

int RunSetup(Host& host, Ui& ui, Console* console, const Settings& switches) {
  TApplication app(host, ui);
  RunLog& log = app.log();
  HostNotices notices(host, log, console);
  StartRunLog(app, switches, console);
  notices.LogBegun();
  int status = RunWizard(app, switches);
  if (switches.CheckOnly) status = EndCheck(app, status);
  log.Write(std::string("result: ") + ResultText(status, switches.CheckOnly) + "; exit status " +
            std::to_string(status));
  if (log.incomplete() && console != nullptr)
    console->Error("setup: the log file " + switches.LogFile +
                   " is incomplete: it lacks every line after " + log.failed_at() + " s.\n");
  return status;
}

int RunSetup(Host& host, Ui& ui, Console* console) {
  Settings switches;
  ParseCommandLine(host.CommandLineArguments(), switches);
  return RunSetup(host, ui, console, switches);
}

int RunProgram(Host& host, Console& console, const UiFactory& make_ui,
               const UiFactory& make_unattended_ui) {
  Settings switches;
  ParseCommandLine(host.CommandLineArguments(), switches);
  if (switches.ShowHelp) {
    console.ShowHelp(ThePackage().ProductTitle + " " + ThePackage().ThisVersion, HelpText());
    return kExitSucceeded;
  }
  std::unique_ptr<Ui> ui = switches.VerySilent ? make_unattended_ui() : make_ui();
  return RunSetup(host, *ui, &console, switches);
}
