#include "versiongate/VersionGate.h"

#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "install/PackageDefinition.h"
#include "install/Settings.h"
#include "platform/Fault.h"
#include "platform/Text.h"
#include "versiongate/Dblogin.h"
#include "versiongate/ModuleRecord.h"
#include "versiongate/VersionCompare.h"

namespace {

constexpr uint32_t kBaseVersionBytes = 24;

constexpr char kNoBaseVersion[] = "Unable to determine current base system version.";
constexpr char kBaseTooOld[] =
    "The current base system version is too old. Please upgrade the base system before running "
    "this installation.";
constexpr char kBaseTooNew[] =
    "This application is not compatibile with this base system version. Please use the updated "
    "version, if available.";
constexpr char kContinueWithoutLogin[] = "Continue installation?";
constexpr char kNoInstalledVersion[] =
    "Unable to determine current version installed. Please contact technical support.";
constexpr char kInstalledIsNewer[] = "The currently installed module is newer than this version.";
constexpr char kAlreadyInstalled[] = "This module is already installed. Re-install?";
constexpr char kInstalledTooOld[] =
    "The currently installed module is too old to update. Please apply other updates before "
    "applying this one.";
constexpr char kTryAgain[] = "\nTry again?";

// The base system's version text: the file's first 24 bytes up to a zero
// byte. Nullopt when the file cannot be opened or read. The file is opened
// without sharing and closed before the text is returned.
std::optional<std::string> ReadBaseVersion(Host& host, const std::string& path) {
  std::unique_ptr<HostFile> file = host.OpenFileForRead(path, kShareNone);
  if (file == nullptr) return std::nullopt;
  char buffer[kBaseVersionBytes];
  uint32_t length = 0;
  while (length < kBaseVersionBytes) {
    uint32_t done = 0;
    if (!file->Read(buffer + length, kBaseVersionBytes - length, &done)) return std::nullopt;
    if (done == 0) break;  // end of file
    length += done;
  }
  file.reset();
  const void* zero = std::memchr(buffer, '\0', length);
  if (zero != nullptr) length = static_cast<uint32_t>(static_cast<const char*>(zero) - buffer);
  return std::string(buffer, length);
}

enum class Outcome { kRefuse, kAllow, kRetry };

constexpr unsigned kError = kMbOk | kMbIconError;
constexpr unsigned kErrorQuestion = kMbYesNo | kMbIconError;

// The first step: the base system's version, from the file in the
// destination folder, within the range the package accepts. False after
// the box that says why not.
bool BaseVersionFits(Installer& installer) {
  const PackageDefinition& package = installer.package;
  const std::string path =
      ExcludeTrailingBackslash(installer.ui.DestinationFolder()) + package.BaseVersionFile;
  RunPlan& plan = installer.app.plan();
  const std::optional<std::string> base = ReadBaseVersion(installer.host(), path);
  if (!base) {
    plan.Report("base system version: " + path + " cannot be read");
    installer.ErrorBox(kNoBaseVersion, kError);
    return false;
  }
  plan.Report("base system version: " + *base + " (from " + path +
              "; accepted: " + package.MinBaseVersion + " to " + package.MaxBaseVersion + ")");
  // An unconvertible base version is not handled here: it leaves the gate.
  if (CompareVersions(*base, package.MinBaseVersion) == -1) {
    installer.ErrorBox(kBaseTooOld, kError);
    return false;
  }
  if (CompareVersions(*base, package.MaxBaseVersion) == 1) {
    installer.ErrorBox(kBaseTooNew, kError);
    return false;
  }
  return true;
}

// The second step: the database login, asked for unless host, user and
// password are all given. False when it was cancelled and the user chose
// not to go on without it.
bool LogIn(Installer& installer) {
  Settings& settings = installer.settings;
  TDBLoginForm1& login = installer.DBLoginForm1;
  RunLog& log = installer.app.log();
  // The edits are filled every time, so a password typed but never
  // confirmed does not outlive the showing it was typed in.
  login.Username1.text = settings.DbUser;
  login.Password1.text = settings.DbPassword;
  login.Server1.text = settings.DbHost;
  if (!settings.DbHost.empty() && !settings.DbUser.empty() && !settings.DbPassword.empty()) {
    log.Write("DB Login not shown: host, user and password given");
    return true;
  }
  if (login.ShowLogin()) {
    settings.DbUser = login.Username1.text;
    settings.DbPassword = login.Password1.text;
    settings.DbHost = login.Server1.text;
    log.Write("DB Login: OK, host " + settings.DbHost + ", user " + settings.DbUser);
    return true;
  }
  log.Write("DB Login: cancelled");
  return installer.ErrorBox(kContinueWithoutLogin, kErrorQuestion) != kIdNo;
}

enum class Verdict { kUnknown, kNewer, kSame, kPrevious, kOther };

// The installed module's version against this package's: none recorded,
// newer, the same, the one it updates, or another (older) one.
Verdict JudgeInstalled(const PackageDefinition& package, const std::string& installed) {
  if (installed.empty()) return Verdict::kUnknown;
  const int order = CompareVersions(package.ThisVersion, installed);
  if (order == -1) return Verdict::kNewer;
  if (order == 0) return Verdict::kSame;
  if (CompareVersions(package.PreviousVersion, installed) == 0) return Verdict::kPrevious;
  return Verdict::kOther;
}

// The third step: the version the module record holds, and the verdict on
// it. A database error offers the whole gate again.
Outcome InstalledVersionFits(Installer& installer) {
  const PackageDefinition& package = installer.package;
  Verdict verdict = Verdict::kUnknown;
  try {
    const std::string installed = ReadInstalledVersion(installer);
    installer.app.plan().Report("installed " + package.ModuleName +
                                " version: " + (installed.empty() ? "none" : installed) +
                                " (this package updates " + package.PreviousVersion + " to " +
                                package.ThisVersion + ")");
    verdict = JudgeInstalled(package, installed);
  } catch (const Fault& e) {
    // A database error or an installed version that is not a version.
    if (installer.ErrorBox(e.what() + std::string(kTryAgain), kErrorQuestion) == kIdYes)
      return Outcome::kRetry;
    return Outcome::kRefuse;
  }
  switch (verdict) {
    case Verdict::kUnknown:
      installer.ErrorBox(kNoInstalledVersion, kError);
      return Outcome::kRefuse;
    case Verdict::kNewer:
      installer.ErrorBox(kInstalledIsNewer, kError);
      return Outcome::kRefuse;
    case Verdict::kSame: {
      constexpr unsigned kQuestionNoDefault = kMbYesNo | kMbIconQuestion | kMbDefButton2;
      if (installer.ErrorBox(kAlreadyInstalled, kQuestionNoDefault) != kIdNo)
        return Outcome::kAllow;
      installer.app.outcome().MarkAlreadyCurrent();
      return Outcome::kRefuse;
    }
    case Verdict::kPrevious:
      return Outcome::kAllow;
    case Verdict::kOther:
      break;
  }
  installer.ErrorBox(kInstalledTooOld, kError);
  return Outcome::kRefuse;
}

// One run of the gate, from the base version file to the module version.
Outcome RunGate(Installer& installer) {
  if (!BaseVersionFits(installer) || !LogIn(installer)) return Outcome::kRefuse;
  return InstalledVersionFits(installer);
}

}  // namespace

bool CheckVersions(Installer& installer) {
  // Each "Try again" is a complete new run; a loop, so that any number of
  // retries costs no stack.
  for (;;) {
    const Outcome outcome = RunGate(installer);
    if (outcome == Outcome::kRetry) continue;
    installer.app.plan().Report(outcome == Outcome::kAllow ? "version gate: go ahead"
                                                           : "version gate: refused");
    return outcome == Outcome::kAllow;
  }
}
