#pragma once
// The install sequence and the steps it runs itself: work folder, detection
// of Apache, PHP and PostgreSQL, the web-server commands.

#include <functional>
#include <optional>
#include <string>

#include "install/InstallContext.h"
#include "install/Installer.h"

// The phases the sequence calls, replaceable so the sequence itself can be
// tested alone. The defaults are the real phases.
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

// The PHP folder named by the first "LoadModule php5_module " line of the
// web server's configuration text, read as the web server reads the path: a
// path in double quotes loses them, and '/' separates folders as '\' does.
// The folder runs up to and including the path's last separator and ends
// with "\". Nullopt when there is no such line, or when its path has no
// folder part.
std::optional<std::string> PhpFolderFromHttpdConf(const std::string& text);
