#pragma once
// Unpacking of the package "Data.kpv" that lies beside the installer: every
// entry goes to a folder chosen by its extension.

#include <string>

#include "install/InstallContext.h"

// The text after the last "\", ":" or "/"; all of it when there is none.
std::string EntryBaseName(const std::string& name);
// From the last "." after the last "\" and ":" to the end, ANSI lower-cased;
// empty when there is no such dot. A "/" does not end the search.
std::string EntryExtension(const std::string& name);

// Where an entry goes, and the php.ini line it brings (empty for none).
struct EntryPlacement {
  std::string folder;
  std::string extension_line;
};
// The path ExtractFile writes the entry `name` to below `folder`.
std::string EntryTargetPath(const std::string& folder, const std::string& name);

EntryPlacement PlaceEntry(const std::string& name, const InstallContext& context,
                          const std::string& destination_folder);
