#include "engine/InstallSequence.h"

#include <algorithm>

#include "engine/InstallJournal.h"
#include "engine/Phases.h"
#include "engine/RunAndWait.h"
#include "formlib/FileUtil.h"
#include "formlib/Registry.h"
#include "install/PackageDefinition.h"
#include "install/Settings.h"
#include "platform/Fault.h"
#include "platform/Text.h"
#include "versiongate/ModuleRecord.h"
#include "versiongate/VersionGate.h"

InstallPhases::InstallPhases()
    : CheckVersions(::CheckVersions),
      CheckPackage(::CheckUnpacking),
      UnpackPackage(::UnpackPackage),
      UpdatePhpIni(::UpdatePhpIni),
      ImportSqlScripts(::ImportSqlScripts),
      SaveInstallFolder(::SaveInstallFolder),
      RecordModuleVersion(::RecordModuleVersion) {}

namespace {

bool StopWebServer(Installer& installer, InstallContext& context) {
  // A stop that fails leaves everything as it was: no change yet.
  if (!StopApache(installer, context)) return false;
  installer.app.outcome().MarkChangesBegun();
  return true;
}

void CheckRestart(Installer& installer, const InstallContext& context, Preflight& preflight) {
  // Its program is the stop's, checked there.
  preflight.Plan("web server restart: " + ApacheCommandLine(context, "restart"));
  preflight.Plan(installer.settings.NoRollback
                     ? "on a failure after the stop: everything stays as it is, the web "
                       "server stopped (/norollback)"
                     : "on a failure after the stop: the previous state is restored, then " +
                           ApacheCommandLine(context, "start"));
}

bool RestartWebServer(Installer& installer, InstallContext& context) {
  // The web server starts with no file of the installer's open.
  if (context.Journal != nullptr) context.Journal->CloseFile();
  return RestartApache(installer, context);
}

void CheckModuleRecord(Installer& installer, const InstallContext&, Preflight& preflight) {
  // The gate let the install go ahead without a question: the row holds
  // the version this package updates.
  const PackageDefinition& package = installer.package;
  preflight.Plan("module row " + package.ModuleName + ": version " + package.PreviousVersion +
                 " -> " + package.ThisVersion + ": " + ModuleUpdate(package));
}

bool ModuleRecordFailed(Installer& installer) {
  // The script's changes are in the database and the web server runs the
  // new files: putting the files back would set them apart. A second run
  // finds the module row unchanged and installs again.
  installer.app.log().Write(
      "the module record failed after the restart: the new files and the database's "
      "changes stay, nothing is restored; run setup again to record the version");
  installer.app.outcome().MarkRestore(InstallOutcome::Restore::kNotRestored);
  return false;
}

}  // namespace

std::vector<InstallStep> InstallSteps(const InstallPhases& phases) {
  return {
      {"stop the web server",
       {"Stopping Apache.  Please wait..."},
       CheckWebServerControl,
       StopWebServer},
      {"unpack the package",
       {"Installing module.  Please wait..."},
       phases.CheckPackage,
       phases.UnpackPackage},
      {"update php.ini",
       {},
       CheckPhpIni,
       [update = phases.UpdatePhpIni](Installer& installer, InstallContext& context) {
         if (context.Journal != nullptr)
           context.Journal->KeepContent(context.PhpFolder + "\\php.ini");
         update(installer, context);
         return true;
       }},
      {"import the SQL scripts",
       {"Configuring files.  Please wait...", "Importing data to SQL Server.  Please wait..."},
       CheckSqlImport,
       phases.ImportSqlScripts},
      {"save the install folder",
       {"Configuring web pages.  Please wait..."},
       CheckInstallFolderKey,
       [save = phases.SaveInstallFolder](Installer& installer, InstallContext& context) {
         if (context.Journal != nullptr)
           context.Journal->KeepRegistryValue(kProductKey, kInstallFolderValue);
         save(installer);
         return true;
       }},
      {"restart the web server",
       {"Restarting Apache.  Please wait..."},
       CheckRestart,
       RestartWebServer},
      {"record the module version",
       {"Performing post-install tasks.  Please wait..."},
       CheckModuleRecord,
       [record = phases.RecordModuleVersion](Installer& installer, InstallContext&) {
         return record(installer) || ModuleRecordFailed(installer);
       }},
  };
}

bool RunInstall(Installer& installer) { return RunInstall(installer, InstallPhases()); }

bool RunInstall(Installer& installer, const InstallPhases& phases) {
  return RunInstall(installer, phases, InstallSteps(phases));
}

bool RunInstall(Installer& installer, const InstallPhases& phases,
                const std::vector<InstallStep>& steps) {
  InstallUi& ui = installer.ui;
  Host& host = installer.host();
  InstallContext context;

  RunLog& log = installer.app.log();
  ui.ShowStatus("Performing pre-install tasks.  Please wait...");
  if (!phases.CheckVersions(installer)) return false;
  MakeWorkFolderName(host, context);
  installer.app.plan().Report("WorkFolder: " + context.WorkFolder);
  if (!DetectApache(installer, context)) return false;
  installer.app.plan().Report("ServerRootPath: " + context.ServerRootPath);
  if (!DetectPhp(installer, context)) return false;
  installer.app.plan().Report("PhpFolder: " + context.PhpFolder);
  if (!DetectPostgreSql(installer, context)) return false;
  installer.app.plan().Report("PgBaseDir: " + context.PgBaseDir);
  // Every step's preconditions, once, before the first change: one that
  // fails leaves the machine as it was, the web server running. The
  // pre-flight stops here, having printed them and the plan.
  {
    Preflight preflight(installer);
    for (const InstallStep& step : steps) step.check(installer, context, preflight);
    if (!preflight.Conclude()) return false;
  }
  if (installer.settings.CheckOnly) return true;

  // The work folder takes the programs' output and the journal of the
  // changes; a machine where it cannot be made is refused before the stop.
  InstallJournal journal(host, log);
  if (!PrepareWorkFolder(installer, context, journal)) return false;
  try {
    for (const InstallStep& step : steps) {
      for (const std::string& status : step.statuses) ui.ShowStatus(status);
      if (!step.run(installer, context)) return RestoreAfterFailure(installer, context);
    }
  } catch (const FileFault& e) {
    // A file's fault names its path: the box gives the system's reason
    // after it.
    const std::string reason = ReasonFor(host.LastError(), e.what());
    LogFault(installer, e);
    RestoreAfterFailure(installer, context);
    if (reason.empty()) throw;
    throw FileFault(std::string(e.what()) + "\n" + reason);
  } catch (const std::exception& e) {
    LogFault(installer, e);
    RestoreAfterFailure(installer, context);
    throw;
  }
  return true;
}

std::string ReasonFor(const HostError& error, const std::string& message) {
  // A POSIX host adds its own path in brackets after the one asked for.
  const std::string path = error.path.substr(0, error.path.find(" ("));
  if (error.reason.empty() || path.empty() || message.find(path) == std::string::npos)
    return std::string();
  return error.reason;
}

void LogFault(Installer& installer, const std::exception& e) {
  // The fault is shown once the machine is back as it was; the log has
  // the system's reason beside it.
  const std::string why = installer.host().LastError().Message();
  installer.app.log().Write(std::string("fault: ") + e.what() +
                            (why.empty() ? "" : " (" + why + ")"));
}

RunOptions InstallRunOptions(const Installer& installer) {
  RunOptions options;
  // Nobody is there to end a program that hangs.
  if (installer.settings.VerySilent || installer.settings.CheckOnly) {
    options.unattended = true;
    options.quiet = installer.settings.VerySilent;
    options.wait_limit_ms = static_cast<uint32_t>(installer.settings.WaitLimitSeconds * 1000u);
  }
  return options;
}

bool PrepareWorkFolder(Installer& installer, InstallContext& context, InstallJournal& journal) {
  Host& host = installer.host();
  const bool made = host.FileAttributes(context.WorkFolder) == kAttributeDirectory ||
                    ForceDirectories(host, context.WorkFolder);
  if (made && (installer.settings.NoRollback || journal.Begin(context.WorkFolder))) {
    if (!installer.settings.NoRollback) context.Journal = &journal;
    return true;
  }
  const std::string why = host.LastError().Message();
  installer.ErrorBox("Unable to create the work folder " + context.WorkFolder + "." +
                         (why.empty() ? std::string() : "\n" + why),
                     kMbOk | kMbIconError);
  return false;
}

RunResult RunApacheCommand(Installer& installer, const InstallContext& context,
                           const std::string& action) {
  RunOptions options = InstallRunOptions(installer);
  options.output_file =
      ExcludeTrailingBackslash(context.WorkFolder) + "\\httpd-" + action + ".output";
  return RunProgram(installer.app, ApacheCommandLine(context, action), options);
}

bool StopApache(Installer& installer, InstallContext& context) {
  const RunResult stop = RunApacheCommand(installer, context, "stop");
  if (stop.Succeeded()) return true;
  installer.ErrorBox("Apache could not be stopped; nothing was changed.\n" +
                         ApacheCommandLine(context, "stop") + "\n" + stop.Outcome(),
                     kMbOk | kMbIconError);
  return false;
}

bool RestartApache(Installer& installer, InstallContext& context) {
  const RunResult restart = RunApacheCommand(installer, context, "restart");
  if (restart.Succeeded()) return true;
  installer.ErrorBox("Apache could not be restarted.\n" + ApacheCommandLine(context, "restart") +
                         "\n" + restart.Outcome(),
                     kMbOk | kMbIconError);
  return false;
}

bool RestoreAfterFailure(Installer& installer, InstallContext& context) {
  RunLog& log = installer.app.log();
  // Before the stop nothing is to be undone; after the module record's
  // failure nothing is to be, and a restore is done once.
  const InstallOutcome& outcome = installer.app.outcome();
  if (!outcome.changes_begun() || outcome.restore() != InstallOutcome::Restore::kNone) return false;
  if (context.Journal == nullptr) {
    log.Write("/norollback: everything stays as the failure left it; the web server stays stopped");
    return false;
  }
  InstallJournal& journal = *context.Journal;
  context.Journal = nullptr;  // restored once, whatever happens next
  installer.ui.ShowStatus("Restoring the previous state.  Please wait...");
  std::vector<std::string> not_restored;
  journal.Restore(&not_restored);
  const RunResult start = RunApacheCommand(installer, context, "start");
  if (!start.Succeeded())
    not_restored.push_back("the web server: " + ApacheCommandLine(context, "start") + ": " +
                           start.Outcome());
  if (not_restored.empty()) {
    installer.app.outcome().MarkRestore(InstallOutcome::Restore::kRestored);
    installer.ErrorBox("The previous state was restored and Apache was started again.",
                       kMbOk | kMbIconError);
  } else {
    installer.app.outcome().MarkRestore(InstallOutcome::Restore::kIncomplete);
    std::string list;
    for (const std::string& what : not_restored) list += "\n" + what;
    installer.ErrorBox("The previous state could not be restored completely. Not restored:" + list +
                           "\nThe journal of the changes: " + journal.file(),
                       kMbOk | kMbIconError);
  }
  return false;
}

void MakeWorkFolderName(Host& host, InstallContext& context) {
  const std::string temp = host.ShortPathName(host.TempPath());
  host.SeedRandom(static_cast<unsigned>(host.Time()));
  const uint32_t number = static_cast<uint32_t>(host.Random()) * host.TickCount();
  context.WorkFolder = temp + std::to_string(number);
}

namespace {

// Opens the first subkey of the registry's current key and reads `value`.
std::string ReadFirstSubKeyValue(TRegistry& registry, const std::string& value) {
  const std::optional<std::string> first = registry.SubKeyName(0);
  if (!first || !registry.OpenKey(*first, false)) return std::string();
  return registry.ReadString(value);
}

}  // namespace

bool DetectApache(Installer& installer, InstallContext& context) {
  TRegistry registry(installer.host());
  if (!registry.OpenKey("Software\\Apache Group\\Apache", false) &&
      !registry.OpenKey("Software\\Apache Software Foundation\\Apache", false)) {
    installer.ErrorBox("Apache does not appear to be installed on this computer.",
                       kMbOk | kMbIconError);
    return false;
  }
  context.ServerRootPath = ReadFirstSubKeyValue(registry, "ServerRoot");
  return true;
}

std::optional<std::string> PhpFolderFromHttpdConf(const std::string& text) {
  static const std::string kModuleLine = "LoadModule php5_module ";
  const size_t at = text.find(kModuleLine);
  if (at == std::string::npos) return std::nullopt;
  const size_t start = at + kModuleLine.size();
  size_t end = start;
  while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
  std::string path = text.substr(start, end - start);
  auto is_trimmed = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  size_t first = 0;
  while (first < path.size() && is_trimmed(path[first])) ++first;
  size_t last = path.size();
  while (last > first && is_trimmed(path[last - 1])) --last;
  path = path.substr(first, last - first);
  // PHP's own instructions write the path quoted, with forward slashes:
  // "C:/php/php5apache2_2.dll". The web server takes the text up to the
  // closing quote (double or single), where a backslash before that quote
  // or before another backslash stands for the character after it.
  const char quote = path.empty() ? '\0' : path.front();
  if (quote == '"' || quote == '\'') {
    std::string unquoted;
    for (size_t i = 1; i < path.size() && path[i] != quote; ++i) {
      if (path[i] == '\\' && i + 1 < path.size() && (path[i + 1] == quote || path[i + 1] == '\\'))
        ++i;
      unquoted += path[i];
    }
    path = unquoted;
  }
  std::replace(path.begin(), path.end(), '/', '\\');
  while (!path.empty() && path.back() != '\\') path.pop_back();
  // A module named without a folder gives no PHP folder to write to.
  if (path.empty()) return std::nullopt;
  return path;
}

bool DetectPhp(Installer& installer, InstallContext& context) {
  const std::string conf = ExcludeTrailingBackslash(context.ServerRootPath) + "\\conf\\httpd.conf";
  const std::optional<std::string> folder =
      PhpFolderFromHttpdConf(JoinLines(LoadLines(installer.host(), conf)));
  if (!folder) {
    installer.ErrorBox("PHP does not appear to be installed in Apache on this computer.",
                       kMbOk | kMbIconError);
    return false;
  }
  context.PhpFolder = *folder;
  return true;
}

bool DetectPostgreSql(Installer& installer, InstallContext& context) {
  TRegistry registry(installer.host());
  if (!registry.OpenKey("Software\\PostgreSQL\\Installations", false)) {
    const int answer = installer.ErrorBox(
        "PostgreSQL Server does not appear to be installed on this computer. Continue "
        "installation?",
        kMbYesNo | kMbIconError);
    return answer != kIdNo;
  }
  context.PgBaseDir = ReadFirstSubKeyValue(registry, "Base Directory");
  return true;
}

std::string ApacheProgramPath(const InstallContext& context) {
  return context.ServerRootPath + "bin\\httpd.exe";
}

std::string ApacheCommandLine(const InstallContext& context, const std::string& action) {
  return "\"" + ApacheProgramPath(context) + "\" -w -n \"Apache2.2\" -k " + action;
}

void ControlApache(TApplication& app, const InstallContext& context, const std::string& action) {
  // A program that cannot be started is not reported; the sequence goes on.
  RunAndWait(app, ApacheCommandLine(context, action));
}
