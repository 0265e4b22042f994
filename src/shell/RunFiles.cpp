#include "shell/RunFiles.h"

#include <exception>
#include <memory>
#include <optional>

#include "archive/Tzipfile.h"
#include "engine/InstallSequence.h"
#include "engine/UnpackPackage.h"
#include "formlib/FileUtil.h"
#include "formlib/Registry.h"
#include "platform/Text.h"

namespace {

// The value of the first subkey of the first key of `keys` that opens.
std::string FirstSubKeyValue(Host& host, std::initializer_list<const char*> keys,
                             const std::string& value) {
  for (const char* key : keys) {
    TRegistry registry(host);
    if (!registry.OpenKey(key, false)) continue;
    const std::optional<std::string> first = registry.SubKeyName(0);
    if (!first || !registry.OpenKey(*first, false)) return std::string();
    return registry.ReadString(value);
  }
  return std::string();
}

// A path as Windows compares names: letter case ignored, '/' as '\'.
std::string NameKey(const std::string& path) {
  std::string key = AnsiLowerCase(path);
  for (char& c : key)
    if (c == '/') c = '\\';
  std::string collapsed;
  for (char c : key)
    if (!(c == '\\' && !collapsed.empty() && collapsed.back() == '\\')) collapsed += c;
  return collapsed;
}

}  // namespace

std::vector<std::string> RunFilePaths(Host& host, const PackageDefinition& package,
                                      const Settings& switches) {
  std::vector<std::string> paths;
  const std::string archive = host.ProgramFolder() + kPackageFileName;
  paths.push_back(archive);
  if (!switches.DbPasswordFile.empty())
    paths.push_back(host.FromNativePath(switches.DbPasswordFile));
  // Faults of the registry (a value of another type) are the run's to
  // report; here they only leave a file out.
  std::string destination = switches.InstallDir;
  try {
    TRegistry product(host);
    if (product.OpenKey(kProductKey, false)) destination = product.ReadString(kInstallFolderValue);
  } catch (const std::exception&) {
  }
  paths.push_back(ExcludeTrailingBackslash(destination) + package.BaseVersionFile);
  InstallContext context;
  try {
    context.ServerRootPath = FirstSubKeyValue(
        host, {"Software\\Apache Group\\Apache", "Software\\Apache Software Foundation\\Apache"},
        "ServerRoot");
    context.PgBaseDir =
        FirstSubKeyValue(host, {"Software\\PostgreSQL\\Installations"}, "Base Directory");
  } catch (const std::exception&) {
  }
  if (!context.ServerRootPath.empty()) {
    const std::string conf = context.ServerRootPath + "conf\\httpd.conf";
    paths.push_back(conf);
    paths.push_back(context.ServerRootPath + "bin\\httpd.exe");
    try {
      if (const std::optional<std::string> php =
              PhpFolderFromHttpdConf(LoadFile(host, conf, kMaxLineListFile))) {
        context.PhpFolder = *php;
        paths.push_back(*php + "php.ini");
      }
    } catch (const std::exception&) {
    }
  }
  if (!context.PgBaseDir.empty()) paths.push_back(context.PgBaseDir + "bin\\psql.exe");
  TZipFile zip(host, archive);
  const std::unique_ptr<HostFile> file = host.OpenFileForRead(archive, kShareRead);
  if (file != nullptr && zip.ReadDirectory(file.get())) {
    for (const EntryRow& row : zip.Directory->Entries) {
      const std::string name = row[kColumnName].value_or("");
      const EntryPlacement placement = PlaceEntry(name, context, destination);
      if (!placement.folder.empty()) paths.push_back(EntryTargetPath(placement.folder, name));
    }
  }
  return paths;
}

std::string RunFileNamedBy(Host& host, const std::string& log_windows_path,
                           const std::string& log_identity, const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    const std::optional<std::string> identity = host.FileIdentity(path);
    if (identity ? (!log_identity.empty() && *identity == log_identity)
                 : NameKey(path) == NameKey(log_windows_path))
      return path;
  }
  return std::string();
}
