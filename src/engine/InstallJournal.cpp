#include "engine/InstallJournal.h"

#include <algorithm>
#include <memory>

#include "formlib/FileUtil.h"
#include "formlib/Registry.h"
#include "platform/Text.h"

namespace {

std::string ParentFolder(const std::string& path) {
  const size_t at = path.find_last_of("\\/");
  return at == std::string::npos ? std::string() : path.substr(0, at);
}

// A registry key's parent: key names may hold '/', only '\' separates them.
std::string ParentKey(const std::string& key) {
  const size_t at = key.rfind('\\');
  return at == std::string::npos ? std::string() : key.substr(0, at);
}

std::string WithReason(const std::string& text, const std::string& why) {
  return why.empty() ? text : text + ": " + why;
}

}  // namespace

bool InstallJournal::Begin(const std::string& work_folder) {
  const std::string folder = ExcludeTrailingBackslash(work_folder);
  kept_folder_ = folder + "\\kept";
  journal_path_ = folder + "\\setup.journal";
  if (host_.FileAttributes(kept_folder_) != kAttributeDirectory &&
      !host_.MakeOneDirectory(kept_folder_)) {
    log_.Write(WithReason("cannot make " + kept_folder_, host_.LastError().Message()));
    return false;
  }
  journal_ = host_.CreateFileForWrite(journal_path_);
  if (journal_ == nullptr) {
    log_.Write(WithReason("cannot create " + journal_path_, host_.LastError().Message()));
    return false;
  }
  log_.Write("journal of the changes: " + journal_path_);
  return true;
}

void InstallJournal::Add(Note note, const std::string& line) {
  notes_.push_back(std::move(note));
  // A line on disk for whoever looks after a killed run; its loss costs
  // nothing the memory does not hold.
  if (journal_ != nullptr) {
    const std::string text = line + "\r\n";
    if (!WriteAll(*journal_, text.data(), text.size())) journal_.reset();
  }
}

std::string InstallJournal::NextKeptName() {
  return kept_folder_ + "\\" + std::to_string(++kept_count_);
}

bool InstallJournal::CopyFile(const std::string& from, const std::string& to) {
  std::unique_ptr<HostFile> in = host_.OpenFileForRead(from, kShareRead);
  if (in == nullptr) return false;
  std::unique_ptr<HostFile> out = host_.CreateFileForWrite(to);
  if (out == nullptr) return false;
  return ReadToEnd(*in,
                   [&out](const char* data, size_t size) { return WriteAll(*out, data, size); });
}

void InstallJournal::BeforeFoldersFor(const std::string& target) {
  // From the top down to the first folder that is missing: it and every
  // folder below it on the way to the target are about to be made. Only
  // the first and the deepest are noted, so a path thousands of folders
  // deep costs no more than the folders that exist.
  const std::string deepest = ParentFolder(target);
  // Entries of one folder follow each other: it is looked at once.
  if (deepest == known_folder_) return;
  known_folder_ = deepest;
  for (size_t at = deepest.find_first_of("\\/", 3);; at = deepest.find_first_of("\\/", at + 1)) {
    const std::string folder = deepest.substr(0, at);
    if (folder.size() > 3 && !folder.empty() && folder.back() != '\\' && folder.back() != '/' &&
        host_.FileAttributes(folder) == kInvalidFileAttributes) {
      Add({Kind::kFolder, folder, deepest, {}, {}, {}}, "folders made: " + folder);
      return;
    }
    if (at == std::string::npos) return;
  }
}

bool InstallJournal::BeforePlacing(const std::string& target) {
  // A second name for the old file, tried first: most entries of an update
  // replace one.
  const std::string kept = NextKeptName();
  if (!host_.MakeHardLink(target, kept)) {
    if (host_.FileAttributes(target) == kInvalidFileAttributes) {
      --kept_count_;
      Add({Kind::kNewFile, target, {}, {}, {}, {}}, "file made: " + target);
      return true;
    }
    const std::string why = host_.LastError().Message();
    if (!CopyFile(target, kept)) {
      host_.RemoveFile(kept);
      log_.Write(
          WithReason("cannot keep the old " + target + " as " + kept, host_.LastError().Message()));
      return false;
    }
    log_.Write(WithReason("kept a copy of " + target + " (no second name", why) + ")");
  }
  Add({Kind::kReplacedFile, target, kept, {}, {}, {}},
      "file replaced: " + target + " kept as " + kept);
  return true;
}

void InstallJournal::NotPlaced(const std::string& target) {
  if (notes_.empty() || notes_.back().path != target) return;
  const Note& last = notes_.back();
  if (last.kind != Kind::kNewFile && last.kind != Kind::kReplacedFile) return;
  if (last.kind == Kind::kReplacedFile) host_.RemoveFile(last.kept);
  const std::string line = "not placed after all: " + target;
  notes_.pop_back();
  if (journal_ != nullptr) {
    const std::string text = line + "\r\n";
    if (!WriteAll(*journal_, text.data(), text.size())) journal_.reset();
  }
}

bool InstallJournal::KeepContent(const std::string& path) {
  std::string bytes;
  try {
    bytes = LoadFile(host_, path);
  } catch (const std::exception& e) {
    log_.Write(WithReason(std::string("cannot keep the old ") + path + ": " + e.what(),
                          host_.LastError().Message()));
    return false;
  }
  const std::string kept = NextKeptName();
  std::unique_ptr<HostFile> out = host_.CreateFileForWrite(kept);
  if (out == nullptr || !WriteAll(*out, bytes.data(), bytes.size()))
    log_.Write(
        WithReason("cannot keep a copy of " + path + " on disk", host_.LastError().Message()));
  Add({Kind::kContent, path, kept, {}, {}, std::move(bytes)},
      "file rewritten: " + path + " kept as " + kept);
  return true;
}

void InstallJournal::KeepRegistryValue(const std::string& key, const std::string& name) {
  // The keys that do not open, from the deepest up: the write makes them.
  // (The pre-flight found each of them missing, not merely closed.)
  std::string path = key;
  std::string first_missing;
  std::unique_ptr<HostRegistryKey> opened;
  while (!path.empty() && (opened = host_.OpenLocalMachineKey(path, false)) == nullptr) {
    first_missing = path;
    path = ParentKey(path);
  }
  if (!first_missing.empty())
    Add({Kind::kRegistryKey, first_missing, key, {}, {}, {}},
        "registry key made: " + first_missing);
  RegValueType type = RegValueType::kMissing;
  std::string data;
  if (first_missing.empty() && opened != nullptr) type = opened->QueryValue(name, &data);
  static const char* const kTypeNames[] = {
      "", "", " (REG_EXPAND_SZ)", " (REG_DWORD)", " (REG_BINARY)", " (another type)"};
  const bool text = type == RegValueType::kString || type == RegValueType::kExpandString;
  std::string was = " was absent";
  if (type != RegValueType::kMissing)
    was = (text ? " was \"" + data + "\"" : " was " + std::to_string(data.size()) + " bytes") +
          kTypeNames[static_cast<int>(type)];
  Add({Kind::kRegistryValue, key, {}, name, type, data},
      "registry value " + key + "\\" + name + was);
}

bool InstallJournal::UndoRegistryValue(const Note& note, std::string* why) {
  std::unique_ptr<HostRegistryKey> key = host_.OpenLocalMachineKey(note.path, false);
  if (key == nullptr) {
    // Gone with its key, as it was before.
    if (note.type == RegValueType::kMissing) return true;
    *why = "the key cannot be opened";
    return false;
  }
  if (note.type == RegValueType::kMissing) {
    if (key->DeleteValue(note.name)) return true;
    *why = "the value cannot be deleted";
    return false;
  }
  if (note.type == RegValueType::kOther) {
    *why = "its old type cannot be written";
    return false;
  }
  if (key->SetValue(note.name, note.type, note.bytes)) return true;
  *why = "the value cannot be written";
  return false;
}

bool InstallJournal::UndoRegistryKeys(const Note& note, std::string* why) {
  // From the deepest key made up to the first: each only while it is empty,
  // so a key that holds what the install did not write stays.
  for (std::string key = note.kept;; key = ParentKey(key)) {
    const std::string parent = ParentKey(key);
    // A missing parent: the key went with it (or was never made).
    std::unique_ptr<HostRegistryKey> above = host_.OpenLocalMachineKey(parent, false);
    const HostRegistryKey::Removal removal =
        above ? above->DeleteEmptySubKey(key.substr(parent.empty() ? 0 : parent.size() + 1))
              : HostRegistryKey::Removal::kAbsent;
    if (removal == HostRegistryKey::Removal::kNotEmpty) {
      *why = "HKEY_LOCAL_MACHINE\\" + key + " holds values or keys the install did not write";
      return false;
    }
    if (removal == HostRegistryKey::Removal::kFailed) {
      *why = "HKEY_LOCAL_MACHINE\\" + key + " cannot be removed";
      return false;
    }
    if (key.size() <= note.path.size()) return true;
  }
}

bool InstallJournal::Undo(const Note& note, std::string* why) {
  switch (note.kind) {
    case Kind::kFolder: {
      // The folders made, from the first one down as far as they exist, are
      // removed from the deepest up.
      std::vector<std::string> made;
      size_t at = note.path.size();
      for (;;) {
        const std::string folder = note.kept.substr(0, at);
        const bool separator_last = folder.back() == '\\' || folder.back() == '/';
        if (!separator_last) {
          if (host_.FileAttributes(folder) != kAttributeDirectory) break;
          made.push_back(folder);
        }
        if (at >= note.kept.size()) break;
        at = std::min(note.kept.find_first_of("\\/", at + 1), note.kept.size());
      }
      bool removed = true;
      for (auto it = made.rbegin(); it != made.rend(); ++it)
        removed = host_.RemoveOneDirectory(*it) && removed;
      return removed;
    }
    case Kind::kNewFile:
      if (host_.FileAttributes(note.path) == kInvalidFileAttributes) return true;
      return host_.RemoveFile(note.path);
    case Kind::kReplacedFile:
      if (host_.MoveFileReplacing(note.kept, note.path)) return true;
      // A copy on another volume: its bytes go back in place.
      try {
        SaveFileReplacing(host_, note.path, LoadFile(host_, note.kept));
        return true;
      } catch (const std::exception&) {
        return false;
      }
    case Kind::kContent:
      try {
        SaveFileReplacing(host_, note.path, note.bytes);
        return true;
      } catch (const std::exception&) {
        return false;
      }
    case Kind::kRegistryValue:
      return UndoRegistryValue(note, why);
    case Kind::kRegistryKey:
      return UndoRegistryKeys(note, why);
  }
  return false;
}

bool InstallJournal::Restore(std::vector<std::string>* not_restored) {
  bool complete = true;
  for (auto it = notes_.rbegin(); it != notes_.rend(); ++it) {
    const std::string what =
        it->kind == Kind::kRegistryValue ? it->path + "\\" + it->name : it->path;
    static const char* const kSteps[] = {"folder removed",          "new file removed",
                                         "old file put back",       "old content put back",
                                         "registry value put back", "registry key removed"};
    std::string why;
    if (Undo(*it, &why)) {
      log_.Write(std::string("restore: ") + kSteps[static_cast<int>(it->kind)] + ": " + what);
      continue;
    }
    complete = false;
    if (why.empty()) why = host_.LastError().Message();
    log_.Write(WithReason("restore: could not put back " + what, why));
    not_restored->push_back(what);
  }
  return complete;
}
