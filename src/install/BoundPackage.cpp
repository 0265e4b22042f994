// The slot that binds a program file to its package: a marker followed by 64
// characters, blanks ('-') when unbound. The release finds the marker in
// setup.exe and writes the package's digest over the blanks before it signs
// the file, so the slot is read through volatile: the compiler may not fold
// the blanks it was built with.
#include "install/PackageDefinition.h"

#ifndef CORVANTIS_PACKAGE_SHA256
#define CORVANTIS_PACKAGE_SHA256 "----------------------------------------------------------------"
#endif

namespace {

constexpr char kMarker[] = "corvantis-package-sha256:";
constexpr size_t kMarkerLength = sizeof kMarker - 1;
constexpr size_t kDigitCount = 64;

volatile const char kSlot[] = "corvantis-package-sha256:" CORVANTIS_PACKAGE_SHA256;
static_assert(sizeof kSlot == kMarkerLength + kDigitCount + 1,
              "CORVANTIS_PACKAGE_SHA256 must be 64 characters");

}  // namespace

std::string BoundPackageSha256() {
  std::string digest;
  for (size_t i = 0; i < kDigitCount; ++i) {
    const char c = kSlot[kMarkerLength + i];
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    if (!hex) return std::string();  // unbound, or not a digest at all
    digest += c;
  }
  return digest;
}
