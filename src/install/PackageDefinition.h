#pragma once
// The constants that make this update package what it is.

#include <string>

struct PackageDefinition {
  std::string ProductTitle;
  std::string VendorName;
  std::string VendorUpper;  // VendorName upper-cased with the locale's rules
  std::string VendorWebAddress;
  std::string VendorNotice;
  std::string ThisVersion;
  std::string PreviousVersion;
  std::string MinBaseVersion;
  std::string MaxBaseVersion;
  std::string BaseVersionFile;
  std::string ModuleName;
  std::string ReleaseDate;
  std::string LicenceText;
  // The SHA-256 of the Data.kpv this installer was released with, as 64
  // lower-case hexadecimal digits; empty when it is bound to no package and
  // takes any.
  std::string PackageSha256;
};

// The product's key below HKEY_LOCAL_MACHINE, and its value that holds the
// install folder.
inline constexpr char kProductKey[] = "Software\\Corvantis\\v2.1";
inline constexpr char kInstallFolderValue[] = "InstallDir";

// The package's file name, beside the installer.
inline constexpr char kPackageFileName[] = "Data.kpv";

// This package's definition, composed once.
const PackageDefinition& ThePackage();

// The package digest this program file carries: the 64 digits the release
// wrote into it (scripts/lib/bind-package), or the build option
// CORVANTIS_PACKAGE_SHA256; empty when neither did.
std::string BoundPackageSha256();

// The licence text for a vendor name and its upper-case form.
std::string ComposeLicenceText(const std::string& vendor, const std::string& vendor_upper);
