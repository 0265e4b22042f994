#pragma once
// The files a run reads or writes, found before it starts, so that a log
// aimed at one of them can be refused before it harms it.

#include <string>
#include <vector>

#include "install/PackageDefinition.h"
#include "install/Settings.h"
#include "platform/Host.h"

// Windows paths: the package, the password file, the base version file, the
// web server's configuration and programs, php.ini, psql.exe and the target
// of every package entry, as far as the registry, httpd.conf and the
// package's directory name them now. Nothing is changed; what cannot be
// read is left out.
std::vector<std::string> RunFilePaths(Host& host, const PackageDefinition& package,
                                      const Settings& switches);

// The first of `paths` that names the same file as the log: by identity
// when the log's file exists, else by name; empty when none does.
std::string RunFileNamedBy(Host& host, const std::string& log_windows_path,
                           const std::string& log_identity, const std::vector<std::string>& paths);
