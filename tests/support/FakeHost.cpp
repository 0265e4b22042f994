#include "support/FakeHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/Fault.h"
#include "platform/PqApi.h"
#include "platform/Text.h"

// --- Paths -----------------------------------------------------------------

std::string FakeHost::Key(const std::string& path) {
  std::string drive = "c:";
  std::string rest = path;
  if (rest.size() >= 2 && rest[1] == ':') {
    drive = AsciiLowerCase(rest.substr(0, 2));
    rest = rest.substr(2);
  }
  std::vector<std::string> parts;
  size_t p = 0;
  while (p <= rest.size()) {
    size_t q = p;
    while (q < rest.size() && rest[q] != '\\' && rest[q] != '/') ++q;
    const std::string part = AsciiLowerCase(rest.substr(p, q - p));
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    p = q + 1;
  }
  std::string key = drive;
  for (const std::string& part : parts) key += "\\" + part;
  return key;
}

namespace {

std::string ParentKey(const std::string& key) {
  const size_t at = key.rfind('\\');
  return at == std::string::npos ? std::string() : key.substr(0, at);
}

}  // namespace

// --- Files -----------------------------------------------------------------

struct FakeHost::Node {
  bool folder = false;
  bool read_only = false;
  std::string bytes;
  struct Handle {
    const void* owner;
    bool writer;
    unsigned share;
  };
  std::vector<Handle> handles;  // open now

  // Windows sharing: a new handle must allow the access of every open one,
  // and every open one must allow the new handle's access.
  bool CanOpen(bool writer, unsigned share) const {
    const unsigned access = writer ? kShareWrite : kShareRead;
    for (const Handle& h : handles) {
      if ((h.share & access) == 0) return false;
      if ((share & (h.writer ? kShareWrite : kShareRead)) == 0) return false;
    }
    return true;
  }
  bool Open() const { return !handles.empty(); }
};

class FakeFile : public HostFile {
 public:
  FakeFile(FakeHost& host, FakeHost::Node& node, bool writer, unsigned share)
      : host_(host), node_(node), writer_(writer) {
    ++host_.open_files_;
    node_.handles.push_back({this, writer, share});
  }
  ~FakeFile() override {
    --host_.open_files_;
    auto& h = node_.handles;
    h.erase(std::remove_if(h.begin(), h.end(), [this](const auto& x) { return x.owner == this; }),
            h.end());
  }

  bool Read(void* buffer, uint32_t count, uint32_t* done) override {
    *done = 0;
    if (writer_) return false;
    if (position_ < static_cast<int64_t>(node_.bytes.size())) {
      const size_t n = std::min<size_t>(count, node_.bytes.size() - static_cast<size_t>(position_));
      std::memcpy(buffer, node_.bytes.data() + position_, n);
      *done = static_cast<uint32_t>(n);
      position_ += static_cast<int64_t>(n);
    }
    return true;
  }

  bool Write(const void* buffer, uint32_t count, uint32_t* done) override {
    *done = 0;
    if (!writer_) return false;
    if (host_.writes_before_failure >= 0 && host_.writes_ >= host_.writes_before_failure)
      return false;
    ++host_.writes_;
    size_t n = count;
    if (host_.disk_space >= 0) n = std::min<size_t>(n, static_cast<size_t>(host_.disk_space));
    if (n == 0) return false;
    if (host_.disk_space >= 0) host_.disk_space -= static_cast<int64_t>(n);
    const size_t at = static_cast<size_t>(position_);
    if (node_.bytes.size() < at + n) node_.bytes.resize(at + n);
    std::memcpy(&node_.bytes[at], buffer, n);
    position_ += static_cast<int64_t>(n);
    *done = static_cast<uint32_t>(n);
    return true;
  }

  int64_t Seek(int64_t distance, SeekOrigin origin) override {
    const int64_t target = origin == SeekOrigin::kBegin ? distance : position_ + distance;
    if (target < 0) return -1;
    position_ = target;
    return position_;
  }

 private:
  FakeHost& host_;
  FakeHost::Node& node_;
  const bool writer_;
  int64_t position_ = 0;
};

FakeHost::FakeHost() : registry_(std::make_unique<RegKey>()) {
  nodes_["c:"] = std::make_unique<Node>();
  nodes_["c:"]->folder = true;
}

FakeHost::Node* FakeHost::Find(const std::string& key) const {
  auto it = nodes_.find(key);
  return it == nodes_.end() ? nullptr : it->second.get();
}

bool FakeHost::Locked(const std::string& key) const {
  return std::find(locked_.begin(), locked_.end(), key) != locked_.end();
}

namespace {

// The system texts of the Windows errors the fake gives.
const char kFileNotFound[] = "The system cannot find the file specified.";
const char kPathNotFound[] = "The system cannot find the path specified.";
const char kAccessDenied[] = "Access is denied.";
const char kSharingViolation[] =
    "The process cannot access the file because it is being used by another process.";
const char kAlreadyExists[] = "Cannot create a file when that file already exists.";

}  // namespace

const char* FakeHost::NoNewFile(const std::string& key) const {
  const Node* folder = Find(ParentKey(key));
  return folder == nullptr || !folder->folder ? kPathNotFound : kAccessDenied;
}

bool FakeHost::TakesNewFiles(const std::string& folder_key) const {
  const Node* folder = Find(folder_key);
  return folder != nullptr && folder->folder &&
         std::find(closed_folders_.begin(), closed_folders_.end(), folder_key) ==
             closed_folders_.end();
}

void FakeHost::SetReadOnly(const std::string& path) {
  Node* node = Find(Key(path));
  if (node == nullptr || node->folder) {
    ADD_FAILURE() << "no file " << path;
    return;
  }
  node->read_only = true;
}

void FakeHost::AddFolder(const std::string& path) {
  std::string key = Key(path);
  std::vector<std::string> chain;
  for (; !key.empty(); key = ParentKey(key)) chain.push_back(key);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    auto& node = nodes_[*it];
    if (node == nullptr) {
      node = std::make_unique<Node>();
      node->folder = true;
    }
  }
}

void FakeHost::AddFile(const std::string& path, const std::string& bytes) {
  const std::string key = Key(path);
  AddFolder(ParentKey(key));
  auto& node = nodes_[key];
  if (node == nullptr) node = std::make_unique<Node>();
  node->folder = false;
  node->bytes = bytes;
}

bool FakeHost::HasFile(const std::string& path) const {
  const Node* node = Find(Key(path));
  return node != nullptr && !node->folder;
}

bool FakeHost::HasFolder(const std::string& path) const {
  const Node* node = Find(Key(path));
  return node != nullptr && node->folder;
}

std::string FakeHost::FileContent(const std::string& path) const {
  const Node* node = Find(Key(path));
  if (node == nullptr || node->folder) {
    ADD_FAILURE() << "no file " << path;
    return std::string();
  }
  return node->bytes;
}

std::vector<std::string> FakeHost::Files() const {
  std::vector<std::string> files;
  for (const auto& [key, node] : nodes_)
    if (!node->folder) files.push_back(key);
  return files;
}

bool FakeHost::Fail(const char* operation, const std::string& path, const char* reason) {
  last_error_ = {operation, path, reason};
  return false;
}

std::nullptr_t FakeHost::FailNull(const char* operation, const std::string& path,
                                  const char* reason) {
  Fail(operation, path, reason);
  return nullptr;
}

std::unique_ptr<HostFile> FakeHost::OpenFileForRead(const std::string& path, unsigned share) {
  const std::string key = Key(path);
  Node* node = Find(key);
  if (node == nullptr) return FailNull("cannot open", path, kFileNotFound);
  if (node->folder) return FailNull("cannot open", path, kAccessDenied);
  if (Locked(key) || !node->CanOpen(false, share))
    return FailNull("cannot open", path, kSharingViolation);
  return std::make_unique<FakeFile>(*this, *node, false, share);
}

std::unique_ptr<HostFile> FakeHost::CreateFileForWrite(const std::string& path) {
  created_files.push_back(path);
  const std::string key = Key(path);
  if (Locked(key)) return FailNull("cannot create", path, kSharingViolation);
  Node* node = Find(key);
  if (node != nullptr) {
    if (node->folder || node->read_only) return FailNull("cannot create", path, kAccessDenied);
    if (!node->CanOpen(true, kShareNone)) return FailNull("cannot create", path, kSharingViolation);
    node->bytes.clear();
  } else {
    if (!TakesNewFiles(ParentKey(key))) return FailNull("cannot create", path, NoNewFile(key));
    auto& slot = nodes_[key];
    slot = std::make_unique<Node>();
    node = slot.get();
  }
  return std::make_unique<FakeFile>(*this, *node, true, kShareNone);
}

LogFileHandle FakeHost::OpenLogFile(const std::string& path) {
  LogFileHandle log;
  log.line_end = log_line_end;
  const std::string key = Key(path);
  if (path.empty() || path.back() == '\\' || path.back() == '/') {
    Fail("cannot open the log", path, kAccessDenied);
    return log;
  }
  if (Locked(key)) {
    Fail("cannot open the log", path, kSharingViolation);
    return log;
  }
  Node* node = Find(key);
  if (node == nullptr) {
    if (!TakesNewFiles(ParentKey(key))) {
      Fail("cannot open the log", path, NoNewFile(key));
      return log;
    }
    auto& slot = nodes_[key];
    slot = std::make_unique<Node>();
    node = slot.get();
  } else if (node->folder || node->read_only) {
    Fail("cannot open the log", path, kAccessDenied);
    return log;
  }
  log.file = std::make_unique<FakeFile>(*this, *node, true, kShareRead);
  log.file->Seek(static_cast<int64_t>(node->bytes.size()), SeekOrigin::kBegin);
  log.identity = key;
  return log;
}

std::optional<std::string> FakeHost::FileIdentity(const std::string& path) {
  const std::string key = Key(path);
  if (Find(key) == nullptr) return std::nullopt;
  return key;
}

std::unique_ptr<HostFile> FakeHost::OpenFileForOverwrite(const std::string& path) {
  const std::string key = Key(path);
  Node* node = Find(key);
  if (node == nullptr) return FailNull("cannot overwrite", path, kFileNotFound);
  if (node->folder || node->read_only) return FailNull("cannot overwrite", path, kAccessDenied);
  if (Locked(key) || !node->CanOpen(true, kShareNone))
    return FailNull("cannot overwrite", path, kSharingViolation);
  node->bytes.clear();
  return std::make_unique<FakeFile>(*this, *node, true, kShareNone);
}

std::unique_ptr<HostFile> FakeHost::CreateFileBeside(const std::string& path, std::string* name) {
  const std::string key = Key(path);
  if (!TakesNewFiles(ParentKey(key)))
    return FailNull("cannot create a file beside", path, NoNewFile(key));
  std::string created;
  do {
    created = key + ".~" + std::to_string(++created_beside_);
  } while (Find(created) != nullptr);
  auto& slot = nodes_[created];
  slot = std::make_unique<Node>();
  *name = created;
  return std::make_unique<FakeFile>(*this, *slot, true, kShareNone);
}

uint32_t FakeHost::FileAttributes(const std::string& path) {
  const Node* node = Find(Key(path));
  if (node == nullptr) return kInvalidFileAttributes;
  if (node->folder) return kAttributeDirectory;
  return node->read_only ? kAttributeNormal | kAttributeReadOnly : kAttributeNormal;
}

Host::FolderRoom FakeHost::RoomIn(const std::string& path) {
  FolderRoom room;
  const Node* node = Find(Key(path));
  if (node == nullptr || !node->folder) return room;
  room.writable = TakesNewFiles(Key(path));
  if (disk_space >= 0) room.free_bytes = static_cast<uint64_t>(disk_space);
  return room;
}

bool FakeHost::MakeOneDirectory(const std::string& path) {
  const std::string key = Key(path);
  if (Find(key) != nullptr) return Fail("cannot make the folder", path, kAlreadyExists);
  if (Locked(key)) return Fail("cannot make the folder", path, kAccessDenied);
  const Node* parent = Find(ParentKey(key));
  if (parent == nullptr || !parent->folder)
    return Fail("cannot make the folder", path, kPathNotFound);
  auto& node = nodes_[key];
  node = std::make_unique<Node>();
  node->folder = true;
  return true;
}

bool FakeHost::ReplaceFileWith(const std::string& from, const std::string& to) {
  const std::string from_key = Key(from);
  const std::string to_key = Key(to);
  Node* source = Find(from_key);
  if (source == nullptr) return Fail("cannot replace", to, kFileNotFound);
  if (source->folder) return Fail("cannot replace", to, kAccessDenied);
  Node* target = Find(to_key);
  if (source->Open() || Locked(to_key) || (target != nullptr && target->Open()))
    return Fail("cannot replace", to, kSharingViolation);
  if (target != nullptr && (target->folder || target->read_only || replace_fails))
    return Fail("cannot replace", to, kAccessDenied);
  nodes_[to_key] = std::move(nodes_[from_key]);
  nodes_.erase(from_key);
  return true;
}

bool FakeHost::RemoveFile(const std::string& path) {
  const std::string key = Key(path);
  Node* node = Find(key);
  if (node == nullptr) return Fail("cannot remove", path, kFileNotFound);
  if (node->folder || node->read_only) return Fail("cannot remove", path, kAccessDenied);
  if (node->Open() || Locked(key)) return Fail("cannot remove", path, kSharingViolation);
  nodes_.erase(key);
  return true;
}

bool FakeHost::MoveFileReplacing(const std::string& from, const std::string& to) {
  const std::string from_key = Key(from);
  const std::string to_key = Key(to);
  Node* source = Find(from_key);
  if (source == nullptr) return Fail("cannot move", to, kFileNotFound);
  Node* target = Find(to_key);
  if (source->Open() || Locked(from_key) || Locked(to_key) || (target != nullptr && target->Open()))
    return Fail("cannot move", to, kSharingViolation);
  if (target != nullptr && (target->folder || target->read_only))
    return Fail("cannot move", to, kAccessDenied);
  if (target == nullptr && TakesNewFiles(ParentKey(to_key)) == false)
    return Fail("cannot move", to, kAccessDenied);
  moves.push_back(from + " -> " + to);
  nodes_[to_key] = std::move(nodes_[from_key]);
  nodes_.erase(from_key);
  return true;
}

bool FakeHost::MakeHardLink(const std::string& existing, const std::string& link) {
  const Node* source = Find(Key(existing));
  if (source == nullptr || source->folder) return Fail("cannot link", link, kFileNotFound);
  if (Find(Key(link)) != nullptr) return Fail("cannot link", link, kAlreadyExists);
  if (!hard_links) return Fail("cannot link", link, kAccessDenied);
  const Node* parent = Find(ParentKey(Key(link)));
  if (parent == nullptr || !parent->folder) return Fail("cannot link", link, kPathNotFound);
  // A copy serves: nothing here writes a file in place once it is linked.
  auto node = std::make_unique<Node>();
  node->bytes = source->bytes;
  node->read_only = source->read_only;
  nodes_[Key(link)] = std::move(node);
  return true;
}

bool FakeHost::RemoveOneDirectory(const std::string& path) {
  const std::string key = Key(path);
  const Node* node = Find(key);
  if (node == nullptr || !node->folder)
    return Fail("cannot remove the folder", path, kPathNotFound);
  for (const auto& [other, _] : nodes_)
    if (other.size() > key.size() && other.compare(0, key.size(), key) == 0 &&
        other[key.size()] == '\\')
      return Fail("cannot remove the folder", path, kAccessDenied);
  nodes_.erase(key);
  return true;
}

std::string FakeHost::ShortPathName(const std::string& path) {
  auto it = short_paths.find(path);
  return it == short_paths.end() ? path : it->second;
}

// --- Registry --------------------------------------------------------------

struct FakeHost::RegKey {
  std::string name;
  std::vector<std::unique_ptr<RegKey>> subkeys;  // in creation order
  struct Value {
    std::string name;
    RegValueType type;
    std::string data;
  };
  std::vector<Value> values;

  RegKey* Child(const std::string& child, bool create) {
    for (auto& k : subkeys)
      if (EqualsIgnoreAsciiCase(k->name, child)) return k.get();
    if (!create) return nullptr;
    subkeys.push_back(std::make_unique<RegKey>());
    subkeys.back()->name = child;
    return subkeys.back().get();
  }
  Value* FindValue(const std::string& value_name) {
    for (Value& v : values)
      if (EqualsIgnoreAsciiCase(v.name, value_name)) return &v;
    return nullptr;
  }
};

namespace {

std::vector<std::string> KeyParts(const std::string& path) {
  std::vector<std::string> parts;
  size_t p = 0;
  while (p <= path.size()) {
    size_t q = path.find('\\', p);
    if (q == std::string::npos) q = path.size();
    if (q > p) parts.push_back(path.substr(p, q - p));
    p = q + 1;
  }
  return parts;
}

FakeHost::RegKey* Walk(FakeHost::RegKey* from, const std::string& path, bool create) {
  for (const std::string& part : KeyParts(path)) {
    from = from->Child(part, create);
    if (from == nullptr) return nullptr;
  }
  return from;
}

}  // namespace

class FakeKey : public HostRegistryKey {
 public:
  FakeKey(FakeHost& host, FakeHost::RegKey& key) : host_(host), key_(key) {}

  std::unique_ptr<HostRegistryKey> OpenSubKey(const std::string& path, bool create) override {
    if (!host_.registry_writable) return nullptr;
    FakeHost::RegKey* key = Walk(&key_, path, create);
    if (key == nullptr) return nullptr;
    return std::make_unique<FakeKey>(host_, *key);
  }
  std::optional<std::string> EnumSubKey(uint32_t index) override {
    if (index >= key_.subkeys.size()) return std::nullopt;
    return key_.subkeys[index]->name;
  }
  RegValueType QueryValue(const std::string& name, std::string* data) override {
    const FakeHost::RegKey::Value* value = key_.FindValue(name);
    if (value == nullptr) return RegValueType::kMissing;
    *data = value->data;
    return value->type;
  }
  bool SetValue(const std::string& name, RegValueType type, const std::string& data) override {
    if (host_.value_writes_fail || type == RegValueType::kMissing || type == RegValueType::kOther)
      return false;
    FakeHost::RegKey::Value* existing = key_.FindValue(name);
    if (existing == nullptr) {
      key_.values.push_back({name, type, data});
    } else {
      existing->type = type;
      existing->data = data;
    }
    return true;
  }
  bool DeleteValue(const std::string& name) override {
    if (host_.value_writes_fail) return false;
    auto& values = key_.values;
    for (auto it = values.begin(); it != values.end();)
      it = EqualsIgnoreAsciiCase(it->name, name) ? values.erase(it) : it + 1;
    return true;
  }
  // A handle still open on the removed key must not be used afterwards.
  Removal DeleteEmptySubKey(const std::string& path) override {
    const size_t at = path.rfind('\\');
    FakeHost::RegKey* parent =
        at == std::string::npos ? &key_ : Walk(&key_, path.substr(0, at), false);
    FakeHost::RegKey* key = parent ? parent->Child(path.substr(at + 1), false) : nullptr;
    if (key == nullptr) return Removal::kAbsent;
    if (!key->values.empty() || !key->subkeys.empty()) return Removal::kNotEmpty;
    if (host_.value_writes_fail) return Removal::kFailed;
    auto& siblings = parent->subkeys;
    siblings.erase(std::find_if(siblings.begin(), siblings.end(),
                                [key](const auto& k) { return k.get() == key; }));
    return Removal::kRemoved;
  }

 private:
  FakeHost& host_;
  FakeHost::RegKey& key_;
};

FakeHost::RegKey* FakeHost::FindKey(const std::string& path, bool create) {
  return Walk(registry_.get(), path, create);
}

void FakeHost::AddKey(const std::string& path) { FindKey(path, true); }

void FakeHost::SetValue(const std::string& key, const std::string& name, RegValueType type,
                        const std::string& data) {
  RegKey* k = FindKey(key, true);
  RegKey::Value* value = k->FindValue(name);
  if (value == nullptr)
    k->values.push_back({name, type, data});
  else
    *value = {name, type, data};
}

bool FakeHost::HasKey(const std::string& path) const {
  return Walk(registry_.get(), path, false) != nullptr;
}

std::optional<std::string> FakeHost::Value(const std::string& key, const std::string& name) const {
  RegKey* k = Walk(registry_.get(), key, false);
  if (k == nullptr) return std::nullopt;
  const RegKey::Value* value = k->FindValue(name);
  if (value == nullptr) return std::nullopt;
  return value->data;
}

std::unique_ptr<HostRegistryKey> FakeHost::OpenLocalMachineKey(const std::string& path,
                                                               bool create) {
  if (!registry_writable) return nullptr;
  const std::string folded = Key(path) + "\\";
  for (const std::string& refused : unwritable_keys_)
    if (folded.compare(0, refused.size() + 1, refused + "\\") == 0) return nullptr;
  RegKey* key = FindKey(path, create);
  if (key == nullptr) return nullptr;
  return std::make_unique<FakeKey>(*this, *key);
}

// --- Processes -------------------------------------------------------------

namespace {

class FakeProcess : public HostProcess {
 public:
  FakeProcess(int input_waits, bool fails, uint32_t exit_code, bool hangs, uint32_t* ticks,
              int* terminated)
      : input_waits_(input_waits),
        fails_(fails),
        exit_code_(exit_code),
        hangs_(hangs),
        ticks_(ticks),
        terminated_(terminated) {}
  Wait WaitForExitOrInput() override {
    if (exited_) return Wait::kExited;
    if (hangs_) {
      *ticks_ += 1000;  // a second passes with each wait
      return Wait::kInput;
    }
    if (input_waits_ > 0) {
      --input_waits_;
      return Wait::kInput;
    }
    if (fails_) return Wait::kFailed;
    exited_ = true;
    return Wait::kExited;
  }
  std::optional<uint32_t> ExitCode() override {
    return exited_ ? std::optional<uint32_t>(exit_code_) : std::nullopt;
  }
  bool Terminate() override {
    if (!exited_) ++*terminated_;
    exited_ = true;
    exit_code_ = 1;
    return true;
  }

 private:
  int input_waits_;
  bool fails_;
  uint32_t exit_code_;
  bool hangs_;
  uint32_t* ticks_;
  int* terminated_;
  bool exited_ = false;
};

}  // namespace

std::unique_ptr<HostProcess> FakeHost::StartProcess(const std::string& command_line,
                                                    const EnvironmentAdditions& environment,
                                                    const ProcessOptions& options) {
  command_lines.push_back(command_line);
  environments.push_back(environment);
  quiet_starts.push_back(options.quiet);
  if (can_start && !can_start(command_line))
    return FailNull("cannot start", command_line, kFileNotFound);
  if (!options.output_file.empty()) {
    const std::string text = output ? output(command_line) : std::string();
    std::unique_ptr<HostFile> file = CreateFileForWrite(options.output_file);
    if (file == nullptr) return nullptr;
    uint32_t done = 0;
    file->Write(text.data(), static_cast<uint32_t>(text.size()), &done);
  }
  if (on_start) on_start(command_line);
  return std::make_unique<FakeProcess>(input_waits, wait_fails,
                                       exit_code ? exit_code(command_line) : 0,
                                       hangs && hangs(command_line), &ticks, &terminated);
}

int FakeHost::Random() {
  if (random_values.empty()) return 0;
  const int value = random_values.front();
  random_values.pop_front();
  return value;
}

const PqApi& FakeHost::Pq() {
  if (pq == nullptr) throw DatabaseFault(pq_error);
  return *pq;
}

std::unique_ptr<HostSha256> FakeHost::NewSha256() {
  class StandInDigest final : public HostSha256 {
   public:
    bool Update(const void* data, size_t size) override {
      const unsigned char* at = static_cast<const unsigned char*>(data);
      for (uint64_t& h : state_)
        for (size_t i = 0; i < size; ++i) h = (h ^ at[i]) * 0x100000001b3ull;
      return true;
    }
    std::optional<std::string> Finish() override {
      std::string digest;
      for (uint64_t h : state_)
        for (int i = 0; i < 8; ++i) digest += static_cast<char>(h >> (8 * i));
      return digest;
    }

   private:
    uint64_t state_[4] = {0xcbf29ce484222325ull, 1, 2, 3};
  };
  if (!digest_available) return nullptr;
  return std::make_unique<StandInDigest>();
}

FakeHost::~FakeHost() = default;
