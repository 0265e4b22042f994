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
};

// The product's key below HKEY_LOCAL_MACHINE, holding "InstallDir".
inline constexpr char kProductKey[] = "Software\\Corvantis\\v2.1";

// This package's definition, composed once.
const PackageDefinition& ThePackage();

// The licence text for a vendor name and its upper-case form.
std::string ComposeLicenceText(const std::string& vendor, const std::string& vendor_upper);
