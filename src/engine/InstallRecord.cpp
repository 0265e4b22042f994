#include "engine/Phases.h"
#include "formlib/Registry.h"
#include "install/PackageDefinition.h"

std::string InstallFolderValueText(Installer& installer) {
  return std::string("registry HKEY_LOCAL_MACHINE\\") + kProductKey +
         RegistryViewNote(installer.host()) + " \"" + kInstallFolderValue +
         "\" = " + installer.ui.DestinationFolder();
}

// The wizard reads the value back as the default destination folder on its
// next start. A key that cannot be opened is told and the install goes on;
// a value that cannot be written into the opened key raises.
void SaveInstallFolder(Installer& installer) {
  TRegistry registry(installer.host());
  if (registry.OpenKey(kProductKey, true)) {
    registry.WriteString(kInstallFolderValue, installer.ui.DestinationFolder());
    registry.CloseKey();
    installer.app.log().Write(InstallFolderValueText(installer) + " written");
  } else {
    installer.ErrorBox(
        "Unable to save installation folder to the registry. The program will not function "
        "without this information.  Contact your technical support.",
        kMbOk | kMbIconError);
  }
}
