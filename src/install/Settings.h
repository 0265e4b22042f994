#pragma once
// The process-wide settings: where to install, how to reach the database,
// whether the wizard runs unattended. Set from the command line; the wizard
// and the version gate replace some of them as they run.

#include <string>

struct Settings {
  std::string InstallDir = "C:\\Intranet";
  std::string DbHost = "localhost";
  std::string DbUser = "root";
  std::string DbPassword;
  bool SilentMode = false;
  // Nothing in the installer sets it: an empty password serves an
  // unencrypted package.
  std::string PackagePassword;
};
