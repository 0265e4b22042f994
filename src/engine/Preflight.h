#pragma once
// The preconditions of the install: what the steps from the web server's
// stop on need and reading can tell, found before anything changes. The
// install and "/check" both evaluate them once, from the steps' own checks
// (InstallSteps in InstallSequence.h): "/check" prints each verdict and what
// each step would do, the install obeys them.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "install/InstallContext.h"
#include "install/Installer.h"

class Preflight {
 public:
  explicit Preflight(Installer& installer);
  Preflight(const Preflight&) = delete;
  Preflight& operator=(const Preflight&) = delete;

  // A precondition that holds, written as "check: WHAT: ok".
  void Holds(const std::string& what);
  // One that fails, written as "check: WHAT: fails: WHY". `message` and
  // `flags` are the box the install shows for it, the one the failing
  // phase would have shown where one fits.
  void Fails(const std::string& what, const std::string& why, const std::string& message,
             unsigned flags);
  // A line of what the install would do: the plan, printed by "/check".
  void Plan(const std::string& text);

  // Shows the box of the first failure and keeps why for the run's result;
  // a question answered other than No lets the install go on, as the phase
  // would have, and the next failure is asked about. True when none is
  // left: the install may begin.
  bool Conclude();

  struct Failure {
    std::string what, why, message;
    unsigned flags;
  };
  const std::vector<Failure>& failures() const { return failures_; }

  // What the unpacking will bring, for the checks of the steps after it.
  std::vector<std::string> extension_lines;      // in the order collected
  bool package_read = false;                     // its entries are known
  std::vector<std::string> work_folder_entries;  // names that go to the work folder

 private:
  Installer& installer_;
  std::vector<Failure> failures_;
};

// The checks of the steps, each what one step needs.
// The web server's control program is at the path of the stop.
void CheckWebServerControl(Installer& installer, const InstallContext& context,
                           Preflight& preflight);
// Every entry of "Data.kpv" reads whole through its CRC-32 check as the
// unpacking will extract it, its target can be made, and the volumes have
// room for the new bytes and for the old bytes of every file replaced.
void CheckUnpacking(Installer& installer, const InstallContext& context, Preflight& preflight);
// php.ini is a regular file that can be read and replaced.
void CheckPhpIni(Installer& installer, const InstallContext& context, Preflight& preflight);
// psql.exe is at the path the import runs and the package brings each
// script it imports, when PostgreSQL was found.
void CheckSqlImport(Installer& installer, const InstallContext& context, Preflight& preflight);
// The product's registry key can be written (opened with full access, or
// created below a key that can).
void CheckInstallFolderKey(Installer& installer, const InstallContext& context,
                           Preflight& preflight);

// Whether the product's registry key can be written: opened with full
// access, or, when it is missing, created below the nearest key above it
// that opens so. Otherwise `*why` says why not.
bool ProductKeyWritable(Host& host, std::string* why);

// A size column of the entry table (signed 32-bit decimal) as the unsigned
// byte count it stands for; "?" when it is not a number.
std::string EntrySizeText(const std::string& column);
