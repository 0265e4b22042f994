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
  // The password of an encrypted package. Nothing sets it yet: the command
  // line has no switch for it and the package definition holds none, so an
  // empty password serves the unencrypted package this update ships. A
  // package made with "kpv pack --password" would need it from one of them.
  std::string PackagePassword;
};
