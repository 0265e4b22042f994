#include "engine/Preflight.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <set>

#include "archive/Tzipfile.h"
#include "engine/InstallSequence.h"
#include "engine/Phases.h"
#include "engine/PhpIni.h"
#include "engine/UnpackPackage.h"
#include "formlib/FileUtil.h"
#include "install/PackageDefinition.h"
#include "install/Settings.h"
#include "platform/Fault.h"
#include "platform/Path.h"
#include "platform/Text.h"

Preflight::Preflight(Installer& installer) : installer_(installer) {}

namespace {

// Failures whose message the phase raises as a fault rather than shows in
// a box of its own: they are raised here too, so the run ends as it would
// have, only before the web server's stop.
constexpr unsigned kRaised = 0xFFFFFFFFu;

void WriteLine(Installer& installer, const std::string& text) {
  if (installer.settings.CheckOnly)
    installer.app.plan().Report(text);
  else
    installer.app.log().Write(text);
}

}  // namespace

void Preflight::Holds(const std::string& what) { WriteLine(installer_, "check: " + what + ": ok"); }

void Preflight::Fails(const std::string& what, const std::string& why, const std::string& message,
                      unsigned flags) {
  WriteLine(installer_, "check: " + what + ": fails: " + why);
  failures_.push_back(Failure{what, why, message, flags});
}

void Preflight::Plan(const std::string& text) {
  if (installer_.settings.CheckOnly) installer_.app.plan().Report(text);
}

bool Preflight::Conclude() {
  RunLog& log = installer_.app.log();
  for (const Failure& failure : failures_) {
    const std::string reason = failure.message + " (" + failure.what + ": " + failure.why + ")";
    if (failure.flags == kRaised) {
      log.Write("refused before any change: " + reason);
      throw FileFault(failure.message);
    }
    const int answer = installer_.ErrorBox(failure.message, failure.flags);
    if ((failure.flags & kMbYesNo) == kMbYesNo && answer != kIdNo) continue;
    installer_.app.outcome().NoteReason(reason);
    log.Write("refused before any change: " + reason);
    return false;
  }
  return true;
}

std::string EntrySizeText(const std::string& column) {
  if (column.empty()) return "?";
  char* end = nullptr;
  const long long value = std::strtoll(column.c_str(), &end, 10);
  if (*end != '\0' || value < INT32_MIN || value > UINT32_MAX) return "?";
  return std::to_string(static_cast<uint32_t>(value));
}

namespace {

// The components of a path, without empty and "." ones.
std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t stop = start;
    while (stop < path.size() && !IsSeparator(path[stop])) ++stop;
    std::string part = path.substr(start, stop - start);
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
    start = stop + 1;
  }
  return parts;
}

// The longest path Windows takes at all; a longer one can never be made.
constexpr size_t kLongestPath = 32767;

// The paths of the first 1, 2, ... components, as the host is asked for
// them, and as keys with letter case ignored, as Windows does: two entries
// of the package that meet in one meet on the disk. A key is a 64-bit
// FNV-1a hash of the folded path, grown one component at a time, so a deep
// path costs time and memory linear in its length.
class PathWalk {
 public:
  void Add(const std::string& part) {
    if (!path_.empty() && path_.back() != '\\') path_ += '\\';
    path_ += part;
    for (const char c : AsciiLowerCase(part) + "\\") {
      key_ ^= static_cast<unsigned char>(c);
      key_ *= 0x100000001B3ull;
    }
    if (++depth_ == 1) path_ += '\\';  // a drive: its root folder
  }
  const std::string& path() const { return path_; }
  uint64_t key() const { return key_; }

 private:
  std::string path_;
  uint64_t key_ = 0xCBF29CE484222325ull;
  size_t depth_ = 0;
};

// The size of the regular file at `path`, counted by reading it; nullopt
// when it cannot be read.
std::optional<uint64_t> FileSize(Host& host, const std::string& path) {
  std::unique_ptr<HostFile> file = host.OpenFileForRead(path, kShareRead);
  if (file == nullptr) return std::nullopt;
  uint64_t size = 0;
  const auto count = [&size](const char*, size_t done) {
    size += done;
    return true;
  };
  if (!ReadToEnd(*file, count)) return std::nullopt;
  return size;
}

// What placing the package's entries will make, so that an entry is
// checked against the ones before it as well as against the disk.
struct PlannedTree {
  std::set<uint64_t> files;
  std::map<uint64_t, bool> folders;  // each folder on the way: whether it exists now
  // What the host said of each existing folder asked, asked once.
  std::map<std::string, Host::FolderRoom> rooms;
  const Host::FolderRoom& RoomIn(Host& host, const std::string& folder) {
    auto it = rooms.find(folder);
    if (it == rooms.end()) it = rooms.emplace(folder, host.RoomIn(folder)).first;
    return it->second;
  }
  // Per volume: the bytes written there, counting the old bytes of every
  // file replaced, which are kept aside; a folder on it, and its room.
  struct Volume {
    uint64_t bytes = 0;
    std::string folder;
    std::optional<uint64_t> free_bytes;
  };
  std::map<std::string, Volume> volumes;
};

// Why the file at `target`, when there is one, cannot be replaced; empty
// when it can, with its size in `*old_size`.
std::string ReplacedFileFault(Host& host, const std::string& target, uint64_t* old_size) {
  const uint32_t attributes = host.FileAttributes(target);
  if (attributes == kInvalidFileAttributes) return std::string();
  if (attributes & kAttributeDirectory) return "a folder is there";
  if (attributes & kAttributeDevice) return "a pipe or device is there";
  if (attributes & kAttributeReadOnly) return "the file there is read-only";
  const std::optional<uint64_t> size = FileSize(host, target);
  if (!size) return "the file there cannot be read: " + host.LastError().Message();
  *old_size = *size;
  return std::string();
}

// Why the entry cannot be placed at `folder` + its name, empty when it can;
// `*old_size` is the size of the file it replaces (0 for a new one).
std::string PlacementFault(Host& host, PlannedTree& tree, const std::string& folder,
                           const std::string& name, uint64_t* old_size,
                           std::string* existing_folder) {
  *old_size = 0;
  std::vector<std::string> parts = Components(folder);
  const size_t folder_depth = parts.size();
  for (const std::string& part : Components(name)) parts.push_back(part);
  if (folder_depth == 0) return "the destination folder is empty";
  if (parts.size() == folder_depth) return "the name names no file";
  if (folder.size() + name.size() + 1 > kLongestPath)
    return "the path is longer than " + std::to_string(kLongestPath) +
           " characters, the longest Windows takes";
  // Each folder on the way: a folder, or missing and made below a folder
  // that takes new ones.
  std::string existing;  // the deepest folder that exists
  bool missing = false;
  PathWalk walk;
  std::vector<uint64_t> folder_keys;
  for (size_t depth = 1; depth < parts.size(); ++depth) {
    walk.Add(parts[depth - 1]);
    const uint64_t key = walk.key();
    const std::string& path = walk.path();
    folder_keys.push_back(key);
    if (tree.files.count(key) != 0) return "an earlier entry is placed as a file at " + path;
    if (missing) continue;
    const auto planned = tree.folders.find(key);
    if (planned != tree.folders.end()) {
      if (planned->second)
        existing = path;
      else
        missing = true;
      continue;
    }
    const uint32_t attributes = host.FileAttributes(path);
    if (attributes == kInvalidFileAttributes) {
      missing = true;
      continue;
    }
    if (!(attributes & kAttributeDirectory)) return "a file is in the way at " + path;
    existing = path;
  }
  walk.Add(parts.back());
  const std::string target = walk.path();
  const uint64_t target_key = walk.key();
  if (tree.folders.count(target_key) != 0) return "an earlier entry needs a folder there";
  if (!missing) {
    const std::string fault = ReplacedFileFault(host, target, old_size);
    if (!fault.empty()) return fault;
  }
  if (existing.empty()) return "no folder of the path exists";
  if (!tree.RoomIn(host, existing).writable)
    return (missing ? "no folder can be made in " : "no file can be made in ") + existing;
  *existing_folder = existing;
  // Folders met so far exist up to `existing`; below it they will be made.
  const size_t existing_depth = Components(existing).size();
  for (size_t depth = 1; depth < parts.size(); ++depth)
    tree.folders.emplace(folder_keys[depth - 1], depth <= existing_depth);
  tree.files.insert(target_key);
  return std::string();
}

// Characters that would end or change an "extension=" line of php.ini.
bool BreaksIniSyntax(const std::string& name) {
  for (const char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || std::string(";=\"'[]{}").find(c) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

void CheckWebServerControl(Installer& installer, const InstallContext& context,
                           Preflight& preflight) {
  Host& host = installer.host();
  const std::string program = ApacheProgramPath(context);
  preflight.Plan("web server stop: " + ApacheCommandLine(context, "stop"));
  const std::string what = "the web server's control program " + program;
  if (host.FileAttributes(program) == kAttributeNormal ||
      host.FileAttributes(program) == (kAttributeNormal | kAttributeReadOnly)) {
    preflight.Holds(what + " is there");
    return;
  }
  const std::unique_ptr<HostFile> file = host.OpenFileForRead(program, kShareRead);
  const std::string why = file ? "it is not a program file" : host.LastError().Message();
  preflight.Fails(what + " is there", why.empty() ? "it cannot be opened" : why,
                  "Apache cannot be stopped for the update: " + program + " cannot be found.",
                  kMbOk | kMbIconError);
}

namespace {

// Reads the package's directory into `zip`; false after the failure is noted.
bool ReadPackageDirectory(Host& host, const std::string& archive, TZipFile& zip,
                          Preflight& preflight) {
  const std::unique_ptr<HostFile> file = host.OpenFileForRead(archive, kShareRead);
  const std::string open_error = file ? std::string() : host.LastError().Message();
  if (zip.ReadDirectory(file.get())) return true;
  std::string why = !open_error.empty() ? open_error : zip.DirectoryError;
  preflight.Fails("package " + archive + " can be read", why.empty() ? "not a package" : why,
                  "Invalid package!", kMbOk | kMbIconError);
  return false;
}

// Checks one entry: its name, its data through the CRC, its place, and adds
// its bytes to its volume's count. False when it cannot be placed.
bool CheckEntry(Installer& installer, const InstallContext& context, Preflight& preflight,
                const std::string& destination, TZipFile& zip, PlannedTree& tree,
                const EntryRow& row) {
  Host& host = installer.host();
  const std::string name = row[kColumnName].value_or("");
  const EntryPlacement placement = PlaceEntry(name, context, destination);
  const std::string target = EntryTargetPath(placement.folder, name);
  const std::string size_text = EntrySizeText(row[kColumnUncompressedSize].value_or(""));
  const std::string what = "entry " + name + " can be placed as " + target;
  const std::string not_placed = "entry " + name + " -> " + target + ": cannot be placed: ";
  if (!placement.extension_line.empty()) {
    if (BreaksIniSyntax(name)) {
      preflight.Plan(not_placed + "its name would break php.ini's syntax");
      preflight.Fails(what,
                      "its name would break the line " + placement.extension_line + " of php.ini",
                      "Invalid package!", kMbOk | kMbIconError);
      return false;
    }
    preflight.extension_lines.push_back(placement.extension_line);
  }
  if (placement.folder == context.WorkFolder) preflight.work_folder_entries.push_back(name);
  const int32_t code = zip.CheckFile(name, installer.settings.PackagePassword);
  if (code > 0) {
    const std::string why = TZipFile::ErrorMessage(code);
    preflight.Plan(not_placed + why);
    preflight.Fails("entry " + name + " can be read from the package", why, why,
                    kMbOk | kMbIconError);
    return false;
  }
  uint64_t old_size = 0;
  std::string existing;
  const std::string fault =
      PlacementFault(host, tree, placement.folder, name, &old_size, &existing);
  if (!fault.empty()) {
    preflight.Plan(not_placed + fault);
    preflight.Fails(what, fault, TZipFile::ErrorMessage(kZipCannotCreate), kMbOk | kMbIconError);
    return false;
  }
  const bool replaces = host.FileAttributes(target) != kInvalidFileAttributes;
  preflight.Plan("entry " + name + " -> " + target + ": " +
                 (replaces ? "replaces a file of " + std::to_string(old_size) + " bytes with " +
                                 size_text + " bytes"
                           : "new, " + size_text + " bytes"));
  const Host::FolderRoom& room = tree.RoomIn(host, existing);
  // Folders whose volume is not known count as one volume: too little room
  // then refuses rather than lets an install run out of it.
  PlannedTree::Volume& volume = tree.volumes[room.volume];
  if (volume.folder.empty()) {
    volume.folder = existing;
    volume.free_bytes = room.free_bytes;
  }
  volume.bytes += std::strtoull(size_text.c_str(), nullptr, 10) + old_size;
  return true;
}

// Each volume has room for the new bytes and the old ones kept aside.
void CheckRoom(const PlannedTree& tree, Preflight& preflight) {
  for (const auto& [key, volume] : tree.volumes) {
    const std::optional<uint64_t>& free_bytes = volume.free_bytes;
    const std::string what = "room on the volume of " + volume.folder + " for " +
                             std::to_string(volume.bytes) + " bytes (new and kept aside)";
    if (!free_bytes)
      preflight.Holds(what + ", free space not known");
    else if (*free_bytes >= volume.bytes)
      preflight.Holds(what);
    else
      preflight.Fails(what, std::to_string(*free_bytes) + " bytes free",
                      TZipFile::ErrorMessage(kZipCannotWrite), kMbOk | kMbIconError);
  }
}

}  // namespace

void CheckUnpacking(Installer& installer, const InstallContext& context, Preflight& preflight) {
  Host& host = installer.host();
  const std::string archive = host.ProgramFolder() + kPackageFileName;
  // A package that is not the one this installer was released with is not
  // read any further.
  if (!CheckPackageDigest(installer, preflight)) return;
  TZipFile zip(host, archive);
  if (!ReadPackageDirectory(host, archive, zip, preflight)) return;
  const std::vector<EntryRow>& entries = zip.Directory->Entries;
  preflight.Plan("package " + archive + ": " + std::to_string(entries.size()) + " entries");
  preflight.Holds("package " + archive + " can be read");
  preflight.package_read = true;

  PlannedTree tree;
  size_t refused = 0;
  const std::string destination = installer.ui.DestinationFolder();
  for (const EntryRow& row : entries)
    if (!CheckEntry(installer, context, preflight, destination, zip, tree, row)) ++refused;
  if (refused == 0)
    preflight.Holds("every entry (" + std::to_string(entries.size()) +
                    ") reads whole and can be placed");
  CheckRoom(tree, preflight);
}

void CheckPhpIni(Installer& installer, const InstallContext& context, Preflight& preflight) {
  Host& host = installer.host();
  // The phase reads and rewrites the file also when it adds no line.
  const std::string path = context.PhpFolder + "\\php.ini";
  const std::string what = "php.ini " + path + " can be read and replaced";
  const uint32_t attributes = host.FileAttributes(path);
  std::string why;
  if (attributes == kInvalidFileAttributes)
    why = "it is missing";
  else if (attributes & kAttributeDirectory)
    why = "a folder is there";
  else if (attributes & kAttributeDevice)
    why = "a pipe or device is there";
  if (!why.empty()) {
    preflight.Fails(what, why, "Cannot open file " + path, kRaised);
    return;
  }
  std::string text;
  try {
    text = JoinedLines(LoadFile(host, path, kMaxLineListFile));
  } catch (const FileFault&) {
    const std::string reason = host.LastError().Message();
    preflight.Fails(what, reason.empty() ? "it cannot be read" : reason, "Cannot open file " + path,
                    kRaised);
    return;
  }
  if (attributes & kAttributeReadOnly) {
    preflight.Fails(what, "it is read-only", "Cannot create file " + path, kRaised);
    return;
  }
  std::vector<bool> added;
  AddExtensionLines(std::move(text), preflight.extension_lines, installer.package.ProductTitle,
                    &added);
  if (installer.settings.CheckOnly)
    ReportExtensionLines(installer.app.plan(), path, preflight.extension_lines, added, true);
  preflight.Holds(what);
}

void CheckSqlImport(Installer& installer, const InstallContext& context, Preflight& preflight) {
  for (const std::string& script : SqlScripts())
    preflight.Plan("SQL import: " + SqlImportCommandLine(installer, context, script) + " (" +
                   script + " in one transaction that stops at its first error)");
  // Without PostgreSQL the user has chosen to go on; the import then asks.
  if (context.PgBaseDir.empty()) return;
  const std::string question =
      "An error occured whilst trying to import data into SQL Server. Continue installation?";
  // psql.exe cannot read a script the package did not bring. The name as
  // written: on a host whose names keep their letter case another spelling
  // is another file.
  for (const std::string& script : SqlScripts()) {
    if (!preflight.package_read) break;  // refused for that already
    bool brought = false;
    for (const std::string& name : preflight.work_folder_entries)
      brought = brought || name == script;
    if (!brought)
      preflight.Fails("the package brings the script " + script, "it holds no entry of that name",
                      question, kMbYesNo | kMbIconError);
  }
  Host& host = installer.host();
  const std::string program = PsqlProgramPath(context);
  const std::string what = "the database client " + program + " is there";
  const uint32_t attributes = host.FileAttributes(program);
  if (attributes != kInvalidFileAttributes &&
      (attributes & (kAttributeDirectory | kAttributeDevice)) == 0) {
    preflight.Holds(what);
    return;
  }
  const std::unique_ptr<HostFile> file = host.OpenFileForRead(program, kShareRead);
  const std::string why = file ? std::string() : host.LastError().Message();
  preflight.Fails(what, why.empty() ? "it is not a program file" : why, question,
                  kMbYesNo | kMbIconError);
}

bool ProductKeyWritable(Host& host, std::string* why) {
  // The key itself opened with full access; or, when it is missing, the
  // nearest key above it, in which it can then be created. A key that is
  // there but does not open so may not be written.
  std::string path = kProductKey;
  std::string child;
  *why = "no key on its path can be opened with full access";
  for (;;) {
    const std::unique_ptr<HostRegistryKey> key = host.OpenLocalMachineKey(path, false);
    if (key != nullptr) {
      bool listed = false;
      for (uint32_t i = 0; !child.empty() && !listed; ++i) {
        const std::optional<std::string> name = key->EnumSubKey(i);
        if (!name) break;
        listed = AsciiLowerCase(*name) == AsciiLowerCase(child);
      }
      if (!listed) return true;
      *why = "HKEY_LOCAL_MACHINE\\" + (path.empty() ? child : path + "\\" + child) +
             " is there and cannot be opened with full access";
      return false;
    }
    if (path.empty()) return false;
    const size_t at = path.rfind('\\');
    child = at == std::string::npos ? path : path.substr(at + 1);
    path.resize(at == std::string::npos ? 0 : at);
  }
}

void CheckInstallFolderKey(Installer& installer, const InstallContext&, Preflight& preflight) {
  preflight.Plan(InstallFolderValueText(installer) + " would be written");
  const std::string what =
      "the registry key HKEY_LOCAL_MACHINE\\" + std::string(kProductKey) + " can be written";
  std::string why;
  if (ProductKeyWritable(installer.host(), &why)) {
    preflight.Holds(what);
    return;
  }
  preflight.Fails(what, why,
                  "Unable to save installation folder to the registry. The program will not "
                  "function without this information.  Contact your technical support.",
                  kMbOk | kMbIconError);
}
