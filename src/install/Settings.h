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
  // "/dbpassfile:FILE": the password is the first line of FILE (a path as
  // typed), read at start-up; empty: none. A later "/dbpass:" clears it.
  std::string DbPasswordFile;
  bool SilentMode = false;
  // "/verysilent": no window, every box answered by itself (OK, or No to a
  // question); implies SilentMode.
  bool VerySilent = false;
  // "/check": the pre-flight that changes nothing; implies VerySilent.
  bool CheckOnly = false;
  // "/log:FILE": the log's path as typed; empty with LogGiven false: none.
  std::string LogFile;
  bool LogGiven = false;
  // "/?" or "/help": the switches and exit statuses are shown instead.
  bool ShowHelp = false;
  // "/norollback": a failure after the web server's stop leaves everything
  // as the failure left it (the web server stopped) instead of restoring
  // the previous state.
  bool NoRollback = false;
  // "/waitlimit:SECONDS": under VerySilent (and CheckOnly) a program the
  // installer starts that runs longer is ended with its children and counts
  // as failed. The default leaves room for a web server's stop that waits
  // for its connections and for a long import.
  unsigned long WaitLimitSeconds = 1800;
  // The password of an encrypted package. Nothing sets it yet: the command
  // line has no switch for it and the package definition holds none, so an
  // empty password serves the unencrypted package this update ships. A
  // package made with "kpv pack --password" would need it from one of them.
  std::string PackagePassword;
};
