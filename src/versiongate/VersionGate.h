#pragma once

#include "install/Installer.h"

// Decides whether the package may be applied to the intranet in the
// destination folder; false after it has told the user why not.
bool CheckVersions(Installer& installer);
