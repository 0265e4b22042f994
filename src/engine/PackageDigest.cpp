// The package bound to its installer: a setup.exe released with a digest
// takes only the Data.kpv of that digest, so that a package replaced beside
// a signed installer lays none of its files.
#include "engine/Phases.h"
#include "engine/Preflight.h"
#include "install/PackageDefinition.h"

bool CheckPackageDigest(Installer& installer, Preflight& preflight) {
  const std::string& expected = installer.package.PackageSha256;
  if (expected.empty()) return true;  // a build bound to no package takes any
  Host& host = installer.host();
  const std::string package = host.ProgramFolder() + kPackageFileName;
  RunLog& log = installer.app.log();
  const std::string what = "package " + package + " is the one this installer was released with";
  const std::optional<std::string> actual = FileSha256(host, package, kShareRead);
  if (actual == expected) {
    log.Write("package " + package + ": SHA-256 " + expected +
              ", the package this installer was released with");
    preflight.Holds(what);
    return true;
  }
  std::string why;
  if (actual) {
    installer.app.plan().Report("package " + package + ": its SHA-256 " + *actual +
                                " differs from " + expected +
                                ", the package this installer was released with");
    why = "its SHA-256 " + *actual + " differs from " + expected;
  } else {
    const std::string reason = host.LastError().Message();
    installer.app.plan().Report("package " + package + ": its SHA-256 cannot be computed" +
                                (reason.empty() ? std::string() : " (" + reason + ")") +
                                "; this installer was released with " + expected);
    why = "its SHA-256 cannot be computed" + (reason.empty() ? std::string() : ": " + reason);
  }
  preflight.Fails(what, why, "Invalid package!", kMbOk | kMbIconError);
  return false;
}
