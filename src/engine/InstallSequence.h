#pragma once
// The install sequence and the steps it runs itself: work folder, detection
// of Apache, PHP and PostgreSQL, the web-server commands.

#include <functional>
#include <optional>
#include <string>

#include "engine/RunAndWait.h"
#include "install/InstallContext.h"
#include "install/Installer.h"

// The phases the sequence calls, replaceable so the sequence itself can be
// tested alone. The defaults are the real phases.
class InstallJournal;

struct InstallPhases {
  std::function<bool(Installer&)> CheckVersions;
  std::function<bool(Installer&)> CheckPackage;
  std::function<bool(Installer&, InstallContext&)> UnpackPackage;
  std::function<void(Installer&, InstallContext&)> UpdatePhpIni;
  std::function<bool(Installer&, InstallContext&)> ImportSqlScripts;
  std::function<void(Installer&)> SaveInstallFolder;
  std::function<bool(Installer&)> RecordModuleVersion;
  // Instead of every change, in a "/check" run.
  std::function<bool(Installer&, InstallContext&)> PlanInstall;
  InstallPhases();
};

// Runs the whole install; true only when every phase ran and the module
// record succeeded. Library faults are not caught and leave it as raised.
// In a "/check" run it stops before the web server's stop and reports what
// the install would do instead; true when it would go ahead.
bool RunInstall(Installer& installer);
bool RunInstall(Installer& installer, const InstallPhases& phases);

void MakeWorkFolderName(Host& host, InstallContext& context);
bool DetectApache(Installer& installer, InstallContext& context);
bool DetectPhp(Installer& installer, InstallContext& context);
bool DetectPostgreSql(Installer& installer, InstallContext& context);
// "...\bin\httpd.exe" -w -n "Apache2.2" -k ACTION
std::string ApacheCommandLine(const InstallContext& context, const std::string& action);
void ControlApache(TApplication& app, const InstallContext& context, const std::string& action);

// How the install runs its programs: under "/verysilent" and "/check" with
// the wait limit, as nobody is there to end one that hangs.
RunOptions InstallRunOptions(const Installer& installer);
// Makes the work folder and, unless "/norollback", the journal in it, set
// as the context's; false after a message when it cannot.
bool PrepareWorkFolder(Installer& installer, InstallContext& context, InstallJournal& journal);
// The web server's command with its output kept in the work folder.
RunResult RunApacheCommand(Installer& installer, const InstallContext& context,
                           const std::string& action);
// The stop and the restart, each read from its exit status; false after a
// message naming the command and what it gave.
bool StopApache(Installer& installer, InstallContext& context);
bool RestartApache(Installer& installer, InstallContext& context);
// After a failure following the stop: the journal undone, the web server
// started again, a message saying what was restored. Always false.
bool RestoreAfterFailure(Installer& installer, InstallContext& context);

// The PHP folder named by the first "LoadModule php5_module " line of the
// web server's configuration text, read as the web server reads the path: a
// path in double quotes loses them, and '/' separates folders as '\' does.
// The folder runs up to and including the path's last separator and ends
// with "\". Nullopt when there is no such line, or when its path has no
// folder part.
std::optional<std::string> PhpFolderFromHttpdConf(const std::string& text);
