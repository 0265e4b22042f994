// Seams of the install sequence whose phases are not built yet. Each later
// phase replaces its stand-in here with a unit of its own.
#include "engine/Phases.h"

// Not built yet: the package unpacking; reports every entry placed.
bool UnpackPackage(Installer&, InstallContext&) { return true; }
