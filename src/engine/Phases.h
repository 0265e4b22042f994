#pragma once
// The phases of the install sequence that work on the package, php.ini, the
// database client and the registry.

#include <string>
#include <vector>

#include "engine/PhpIni.h"
#include "install/InstallContext.h"
#include "install/Installer.h"

class Preflight;
// An installer released with a package digest: the SHA-256 of "Data.kpv"
// is that digest. Else the log and the plan name both digests, and the
// precondition fails with "Invalid package!"; false then, and the package
// is read no further. True at once for an installer bound to no package.
// The unpacking's check runs it first.
bool CheckPackageDigest(Installer& installer, Preflight& preflight);
// Lays every entry of "Data.kpv" into its folder; false after a message.
bool UnpackPackage(Installer& installer, InstallContext& context);
// UpdatePhpIni, which adds the collected extension lines to php.ini, is in
// PhpIni.h.
// Runs psql.exe on the package's SQL scripts; false when the user stops.
bool ImportSqlScripts(Installer& installer, InstallContext& context);
// Records the destination folder as "InstallDir" in the registry.
void SaveInstallFolder(Installer& installer);
// The value it writes, for the log: its key, name and text.
std::string InstallFolderValueText(Installer& installer);

// The package's SQL scripts, in the order they run; Data.kpv holds them at
// its top level, and the unpacking puts them in the work folder.
const std::vector<std::string>& SqlScripts();
// The files beside `script` in the work folder: the transaction that psql
// runs, and psql's output.
std::string SqlTransactionFileName(const std::string& script);
std::string SqlOutputFileName(const std::string& script);
// The transaction file's text for the script's bytes: stop at the first
// error, the whole script in one transaction.
std::string SqlTransactionText(const std::string& script_bytes);
// The psql.exe that the import runs.
std::string PsqlProgramPath(const InstallContext& context);
// The psql.exe command line that imports `script` from the work folder.
std::string SqlImportCommandLine(const Installer& installer, const InstallContext& context,
                                 const std::string& script);
