// The package bound to its installer: a setup.exe released with a digest
// takes only the Data.kpv of that digest, so that a package replaced beside
// a signed installer lays none of its files.
#include "engine/Phases.h"
#include "install/PackageDefinition.h"

bool CheckPackageDigest(Installer& installer) {
  const std::string& expected = installer.package.PackageSha256;
  if (expected.empty()) return true;  // a build bound to no package takes any
  Host& host = installer.host();
  const std::string package = host.ProgramFolder() + "Data.kpv";
  RunLog& log = installer.app.log();
  const std::optional<std::string> actual = FileSha256(host, package, kShareRead);
  if (actual == expected) {
    log.Write("package " + package + ": SHA-256 " + expected +
              ", the package this installer was released with");
    return true;
  }
  if (actual) {
    log.Report("package " + package + ": its SHA-256 " + *actual + " differs from " + expected +
               ", the package this installer was released with");
  } else {
    const std::string why = host.LastError().Message();
    log.Report("package " + package + ": its SHA-256 cannot be computed" +
               (why.empty() ? std::string() : " (" + why + ")") +
               "; this installer was released with " + expected);
  }
  installer.ErrorBox("Invalid package!", kMbOk | kMbIconError);
  return false;
}
