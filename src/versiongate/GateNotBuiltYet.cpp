// Seams of the version gate that are not built yet. Each is replaced by a
// unit of its own.
#include "versiongate/ModuleRecord.h"

// Not built yet: the module query; reports no installed version.
std::string ReadInstalledVersion(Installer&) { return std::string(); }

// Not built yet: the module record; writes nothing.
bool RecordModuleVersion(Installer&) { return true; }
