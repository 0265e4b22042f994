#pragma once
// The install sequence and the steps it runs itself: work folder, detection
// of Apache, PHP and PostgreSQL, the web-server commands.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/Preflight.h"
#include "engine/RunAndWait.h"
#include "install/InstallContext.h"
#include "install/Installer.h"

class InstallJournal;

// The phases the sequence calls, replaceable so the sequence itself can be
// tested alone. The defaults are the real phases.
struct InstallPhases {
  std::function<bool(Installer&)> CheckVersions;
  // What the unpacking needs (CheckUnpacking).
  std::function<void(Installer&, const InstallContext&, Preflight&)> CheckPackage;
  std::function<bool(Installer&, InstallContext&)> UnpackPackage;
  std::function<void(Installer&, InstallContext&)> UpdatePhpIni;
  std::function<bool(Installer&, InstallContext&)> ImportSqlScripts;
  std::function<void(Installer&)> SaveInstallFolder;
  std::function<bool(Installer&)> RecordModuleVersion;
  InstallPhases();
};

// One step of the sequence from the web server's stop on. Its check says
// what it needs and what it would do, read before anything changes; its run
// does it. Every step has both: the install and "/check" are driven from
// the same list, so no step runs without its check having held.
struct InstallStep {
  std::string name;                   // "unpack the package", for the log
  std::vector<std::string> statuses;  // shown, in order, before it runs
  std::function<void(Installer&, const InstallContext&, Preflight&)> check;
  // False ends the sequence with false.
  std::function<bool(Installer&, InstallContext&)> run;
};
// The steps in the order they run.
std::vector<InstallStep> InstallSteps(const InstallPhases& phases);

// Runs the whole install; true only when every phase ran and the module
// record succeeded. After detection every step's check is evaluated once;
// when one fails the sequence ends there, with its message and nothing
// changed. In a "/check" run it stops there too, having reported each
// verdict and what the install would do; true when it would go ahead.
// Library faults are not caught and leave it as raised.
bool RunInstall(Installer& installer);
bool RunInstall(Installer& installer, const InstallPhases& phases);
bool RunInstall(Installer& installer, const InstallPhases& phases,
                const std::vector<InstallStep>& steps);

void MakeWorkFolderName(Host& host, InstallContext& context);
bool DetectApache(Installer& installer, InstallContext& context);
bool DetectPhp(Installer& installer, InstallContext& context);
bool DetectPostgreSql(Installer& installer, InstallContext& context);
// ServerRootPath + "bin\httpd.exe", as the commands name it.
std::string ApacheProgramPath(const InstallContext& context);
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
// The system's reason for a failure on a path that `message` names; empty
// when the host's last error is about another path or none.
std::string ReasonFor(const HostError& error, const std::string& message);
// "fault: " and the fault's text in the log, the host's last error beside.
void LogFault(Installer& installer, const std::exception& e);

// The PHP folder named by the first "LoadModule php5_module " line of the
// web server's configuration text, read as the web server reads the path: a
// path in double quotes loses them, and '/' separates folders as '\' does.
// The folder runs up to and including the path's last separator and ends
// with "\". Nullopt when there is no such line, or when its path has no
// folder part.
std::optional<std::string> PhpFolderFromHttpdConf(const std::string& text);
