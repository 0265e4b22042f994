#include "engine/UnpackPackage.h"

#include <memory>

#include "archive/Tzipfile.h"
#include "engine/InstallJournal.h"
#include "engine/Phases.h"
#include "engine/Preflight.h"
#include "formlib/FileUtil.h"
#include "install/PackageDefinition.h"
#include "install/Settings.h"
#include "platform/Text.h"
#include "platform/WindowsPath.h"

std::string EntryBaseName(const std::string& name) {
  const size_t at = name.find_last_of("\\:/");
  return at == std::string::npos ? name : name.substr(at + 1);
}

std::string EntryExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  const size_t folder = name.find_last_of("\\:");
  if (dot == std::string::npos || (folder != std::string::npos && dot < folder))
    return std::string();
  return AnsiLowerCase(name.substr(dot));
}

EntryPlacement PlaceEntry(const std::string& name, const InstallContext& context,
                          const std::string& destination_folder) {
  const std::string extension = EntryExtension(name);
  if (extension == ".sql") return {context.WorkFolder, std::string()};
  if (extension == ".dll" || extension == ".manifest") {
    // PhpFolder ends with "\": the doubled separator reads as one.
    EntryPlacement placement{context.PhpFolder + "\\ext", std::string()};
    if (extension == ".dll" && AnsiLowerCase(name.substr(0, 3)) == "php")
      placement.extension_line = "extension=" + name;
    return placement;
  }
  return {destination_folder, std::string()};
}

std::string EntryTargetPath(const std::string& folder, const std::string& name) {
  const bool ends_in_backslash = !folder.empty() && folder.back() == '\\';
  return folder + (ends_in_backslash ? "" : "\\") + name;
}

namespace {

// The log and the box for an entry that could not be placed. A target that
// could not be created or written is named in the box after its text, with
// the system's reason (the path in its plain form: the log keeps it as
// built); the archive's own faults have none.
void ReportNotPlaced(Installer& installer, InstallContext& context, bool journalled,
                     const std::string& name, const std::string& target, int32_t result) {
  const HostError error = installer.host().LastError();
  const std::string why = error.Message();
  if (journalled) context.Journal->NotPlaced(target);
  installer.app.log().Write("could not place " + name + " as " + target +
                            (why.empty() ? "" : ": " + why));
  std::string box = TZipFile::ErrorMessage(result);
  if (result == kZipCannotCreate || result == kZipCannotWrite)
    box += "\n" + CanonicalWindowsPath(target).value_or(target) +
           (error.reason.empty() ? "" : ": " + error.reason);
  installer.ErrorBox(box, kMbOk | kMbIconError);
}

}  // namespace

bool UnpackPackage(Installer& installer, InstallContext& context) {
  Host& host = installer.host();
  const std::string package = host.ProgramFolder() + kPackageFileName;
  // The reader and the package file live for this phase only, and are
  // released on every way out, a raised fault included.
  TZipFile zip(host, package);
  zip.BaseOffset = 0;
  std::unique_ptr<HostFile> file = host.OpenFileForRead(package, kShareRead);
  if (!zip.ReadDirectory(file.get())) {
    installer.ErrorBox("Invalid package!", kMbOk | kMbIconError);
    return false;
  }
  const std::vector<EntryRow>& entries = zip.Directory->Entries;
  const int64_t count = static_cast<int64_t>(entries.size());
  for (int64_t i = 0; i < count; ++i) {
    const std::string name = entries[static_cast<size_t>(i)][kColumnName].value_or("");
    installer.ui.SetStatusText("Extracting file..." + EntryBaseName(name).substr(0, 260));
    const EntryPlacement placement = PlaceEntry(name, context, installer.ui.DestinationFolder());
    if (!placement.extension_line.empty())
      context.ExtensionLines.push_back(placement.extension_line);
    const std::string target = EntryTargetPath(placement.folder, name);
    // The work folder is the installer's own: what lands there stays.
    const bool journalled = context.Journal != nullptr && placement.folder != context.WorkFolder;
    if (journalled) context.Journal->BeforeFoldersFor(target);
    // Its outcome shows up as the extraction's own error.
    ForceDirectories(host, placement.folder);
    const bool replaces = host.FileAttributes(target) != kInvalidFileAttributes;
    zip.BeforePlace = nullptr;
    if (journalled)
      zip.BeforePlace = [&context](const std::string& path) {
        return context.Journal->BeforePlacing(path);
      };
    const int32_t result =
        zip.ExtractFile(name, placement.folder, installer.settings.PackagePassword);
    if (result > 0) {
      ReportNotPlaced(installer, context, journalled, name, target, result);
      return false;
    }
    installer.app.log().Write(
        "placed " + name + " as " + target + ", " +
        EntrySizeText(entries[static_cast<size_t>(i)][kColumnUncompressedSize].value_or("")) +
        " bytes, " + (replaces ? "replaced" : "new"));
    installer.ui.ShowProgress(static_cast<int>(i * 100 / count));
  }
  return true;
}
