#pragma once

#include <string>

#include "install/Installer.h"
#include "install/PackageDefinition.h"

// The "version" of the module's first row in the modules table; empty when
// there is no row or the value is NULL. Database errors are raised.
std::string ReadInstalledVersion(Installer& installer);

// Writes ThisVersion and ReleaseDate into the module's rows; false after a
// message when the database refused.
bool RecordModuleVersion(Installer& installer);

// The statement that records ThisVersion and ReleaseDate in the module's row.
std::string ModuleUpdate(const PackageDefinition& package);
