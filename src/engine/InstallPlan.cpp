// The pre-flight's plan ("/check"): what the install would do from the web
// server's stop on, found by reading only.
#include <memory>
#include <optional>

#include "archive/Tzipfile.h"
#include "engine/InstallSequence.h"
#include "engine/Phases.h"
#include "engine/PhpIni.h"
#include "engine/UnpackPackage.h"
#include "formlib/FileUtil.h"
#include "install/PackageDefinition.h"
#include "install/Settings.h"
#include "versiongate/ModuleRecord.h"

namespace {

// The size of the regular file at `path`, counted by reading it; nullopt
// when it cannot be read.
std::optional<uint64_t> FileSize(Host& host, const std::string& path) {
  std::unique_ptr<HostFile> file = host.OpenFileForRead(path, kShareRead);
  if (file == nullptr) return std::nullopt;
  static constexpr uint32_t kChunk = 1u << 16;
  std::unique_ptr<char[]> buffer(new char[kChunk]);
  uint64_t size = 0;
  for (;;) {
    uint32_t done = 0;
    if (!file->Read(buffer.get(), kChunk, &done)) return std::nullopt;
    if (done == 0) return size;
    size += done;
  }
}

// What placing an entry of `size` bytes at `target` would do.
std::string PlacementText(Host& host, const std::string& target, const std::string& size) {
  const uint32_t attributes = host.FileAttributes(target);
  if (attributes == kInvalidFileAttributes) return "new, " + size + " bytes";
  if (attributes & kAttributeDirectory) return "cannot be placed: a folder is there";
  if (attributes & kAttributeDevice) return "cannot be placed: a pipe or device is there";
  const std::optional<uint64_t> old_size = FileSize(host, target);
  return "replaces a file of " + (old_size ? std::to_string(*old_size) : std::string("?")) +
         " bytes with " + size + " bytes";
}

}  // namespace

bool PlanInstall(Installer& installer, InstallContext& context) {
  Host& host = installer.host();
  RunLog& log = installer.app.log();
  const PackageDefinition& package = installer.package;
  log.Report("web server stop: " + ApacheCommandLine(context, "stop"));

  const std::string archive = host.ProgramFolder() + "Data.kpv";
  TZipFile zip(host, archive);
  {
    std::unique_ptr<HostFile> file = host.OpenFileForRead(archive, kShareRead);
    if (!zip.ReadDirectory(file.get())) {
      installer.ErrorBox("Invalid package!", kMbOk | kMbIconError);
      return false;
    }
  }
  const std::vector<EntryRow>& entries = zip.Directory->Entries;
  log.Report("package " + archive + ": " + std::to_string(entries.size()) + " entries");
  for (const EntryRow& row : entries) {
    const std::string name = row[kColumnName].value_or("");
    const EntryPlacement placement = PlaceEntry(name, context, installer.ui.DestinationFolder());
    if (!placement.extension_line.empty())
      context.ExtensionLines.push_back(placement.extension_line);
    const std::string target = EntryTargetPath(placement.folder, name);
    log.Report("entry " + name + " -> " + target + ": " +
               PlacementText(host, target, row[kColumnUncompressedSize].value_or("?")));
  }

  // A php.ini that cannot be read raises here, as it would in the install.
  const std::string ini_path = context.PhpFolder + "\\php.ini";
  std::vector<bool> added;
  AddExtensionLines(JoinedLines(LoadFile(host, ini_path, kMaxLineListFile)), context.ExtensionLines,
                    package.ProductTitle, &added);
  ReportExtensionLines(log, ini_path, context.ExtensionLines, added, true);

  for (const std::string& script : SqlScripts())
    log.Report("SQL import: " + SqlImportCommandLine(installer, context, script) + " (" + script +
               " in one transaction that stops at its first error)");
  log.Report(InstallFolderValueText(installer) + " would be written");
  log.Report("web server restart: " + ApacheCommandLine(context, "restart"));
  log.Report(installer.settings.NoRollback
                 ? "on a failure after the stop: everything stays as it is, the web server "
                   "stopped (/norollback)"
                 : "on a failure after the stop: the previous state is restored, then " +
                       ApacheCommandLine(context, "start"));
  // The gate let the install go ahead without a question: the row holds
  // the version this package updates.
  log.Report("module row " + package.ModuleName + ": version " + package.PreviousVersion + " -> " +
             package.ThisVersion + ": " + ModuleUpdate(package));
  return true;
}
