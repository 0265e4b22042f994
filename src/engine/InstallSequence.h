#pragma once
// The install sequence and the steps it runs itself: work folder, detection
// of Apache, PHP and PostgreSQL, the web-server commands.

#include <optional>
#include <string>

#include "engine/InstallContext.h"
#include "engine/Installer.h"

// Runs the whole install; true only when every phase ran and the module
// record succeeded. Library faults are not caught and leave it as raised.
bool RunInstall(Installer& installer);

void MakeWorkFolderName(Host& host, InstallContext& context);
bool DetectApache(Installer& installer, InstallContext& context);
bool DetectPhp(Installer& installer, InstallContext& context);
bool DetectPostgreSql(Installer& installer, InstallContext& context);
void ControlApache(TApplication& app, const InstallContext& context, const std::string& action);

// The PHP folder named by the first "LoadModule php5_module " line of the
// web server's configuration text; nullopt when there is none.
std::optional<std::string> PhpFolderFromHttpdConf(const std::string& text);
