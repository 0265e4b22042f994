#include "platform/posix/PosixRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <optional>

#include "platform/posix/AtomicFile.h"
#include "platform/posix/FileDescriptor.h"
#include "platform/posix/OsError.h"
#include "platform/posix/PosixFile.h"
#include "platform/posix/RegistryFile.h"

namespace {

static_assert(RegistryTypeNumber(RegValueType::kString) == kRegSz &&
                  RegistryTypeNumber(RegValueType::kExpandString) == kRegExpandSz &&
                  RegistryTypeNumber(RegValueType::kBinary) == kRegBinary &&
                  RegistryTypeNumber(RegValueType::kDword) == kRegDword,
              "the registry file's type numbers are the value types' own");

// The largest registry file read: far above any real one.
constexpr off_t kMaxRegistryFile = 64 << 20;

// 0, or the errno of the failure. Only a regular file is read: a pipe or a
// device is refused without waiting for it.
int ReadWholeFile(const std::string& host_path, std::string* text) {
  FileDescriptor fd(::open(host_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) return errno;
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  if (st.st_size > kMaxRegistryFile) return EFBIG;
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    text->append(buffer, static_cast<size_t>(n));
    if (text->size() > static_cast<size_t>(kMaxRegistryFile)) return EFBIG;
  }
}

// What tells one state of a file from another without reading it.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = -1;
  struct timespec modified = {}, changed = {};

  bool operator==(const FileStamp& o) const {
    return device == o.device && inode == o.inode && size == o.size &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
           changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
  }
};

std::optional<FileStamp> StampOf(const std::string& host_path) {
  struct stat st;
  if (::stat(host_path.c_str(), &st) != 0) return std::nullopt;
  return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

// A file written within this many seconds may be written again with the
// same size and times (they have the clock's coarse steps): its text is
// compared instead.
constexpr time_t kRecentSeconds = 2;

}  // namespace

class RegistryStore {
 public:
  RegistryStore(std::string host_file, RegistryWarning warn)
      : file_(std::move(host_file)), warn_(std::move(warn)) {}

  // Whether a save could succeed: the file is a writable regular file, or
  // is missing and its folder takes new files.
  bool Writable() const {
    struct stat st;
    if (::stat(file_.c_str(), &st) == 0) {
      if (!S_ISREG(st.st_mode))
        return Warn(OsErrorMessage("cannot use the registry", file_,
                                   S_ISDIR(st.st_mode) ? EISDIR : EINVAL));
      if (::access(file_.c_str(), W_OK) != 0)
        return Warn(OsErrorMessage("cannot write the registry", file_, errno));
    } else if (errno != ENOENT) {
      return Warn(OsErrorMessage("cannot use the registry", file_, errno));
    }
    // The save renames a new file into the folder.
    const std::string folder = HostFolderOf(file_);
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
      return Warn(OsErrorMessage("cannot write the registry", file_, errno));
    return true;
  }

  // The file as it is now, parsed again only when it changed; a missing
  // file is an empty registry. Null when it cannot be read or parsed.
  RegistryFile* Load() {
    const std::optional<FileStamp> stamp = StampOf(file_);
    if (cached_ && stamp && settled_ && *stamp == stamp_) return &*cached_;
    std::string text;
    const int err = ReadWholeFile(file_, &text);
    if (err == ENOENT) {
      Remember(RegistryFile(), std::nullopt);
      return &*cached_;
    }
    if (err != 0) {
      cached_.reset();
      Warn(OsErrorMessage("cannot read the registry", file_, err));
      return nullptr;
    }
    if (cached_ && cached_->Write() == text) {
      Remember(std::move(*cached_), stamp);
      return &*cached_;
    }
    std::string error;
    std::optional<RegistryFile> parsed = RegistryFile::Parse(text, &error);
    if (!parsed) {
      cached_.reset();
      Warn("the registry " + file_ + " is left alone: " + error);
      return nullptr;
    }
    Remember(std::move(*parsed), stamp);
    return &*cached_;
  }

  // Saves the file as loaded and edited since; after a failure the next
  // load reads the file again.
  bool Save() {
    std::string error;
    if (cached_ && SaveFileAtomically(file_, cached_->Write(), &error)) {
      Remember(std::move(*cached_), StampOf(file_));
      return true;
    }
    cached_.reset();
    Warn(error);
    return false;
  }

 private:
  bool Warn(const std::string& message) const {
    if (warn_) warn_(message);
    return false;
  }

  // Keeps `registry` as the file's state of `stamp` (none: not known).
  void Remember(RegistryFile registry, const std::optional<FileStamp>& stamp) {
    cached_ = std::move(registry);
    stamp_ = stamp.value_or(FileStamp());
    settled_ = stamp.has_value() && stamp->modified.tv_sec + kRecentSeconds < ::time(nullptr);
  }

  const std::string file_;
  const RegistryWarning warn_;
  std::optional<RegistryFile> cached_;
  FileStamp stamp_;
  bool settled_ = false;  // the stamp alone tells a change
};

namespace {

std::unique_ptr<HostRegistryKey> Open(std::shared_ptr<RegistryStore> store, const std::string& path,
                                      bool create);

class PosixRegistryKey : public HostRegistryKey {
 public:
  PosixRegistryKey(std::shared_ptr<RegistryStore> store, std::string path)
      : store_(std::move(store)), path_(std::move(path)) {}

  std::unique_ptr<HostRegistryKey> OpenSubKey(const std::string& path, bool create) override {
    return Open(store_, path_ + "\\" + path, create);
  }

  std::optional<std::string> EnumSubKey(uint32_t index) override {
    const RegistryFile* registry = store_->Load();
    if (registry == nullptr) return std::nullopt;
    const std::vector<std::string> subkeys = registry->SubKeys(path_);
    if (index >= subkeys.size()) return std::nullopt;
    return subkeys[index];
  }

  RegValueType QueryValue(const std::string& name, std::string* data) override {
    data->clear();
    const RegistryFile* registry = store_->Load();
    const RegistryValue* value = registry ? registry->FindValue(path_, name) : nullptr;
    if (value == nullptr) return RegValueType::kMissing;
    *data = value->data;
    return RegValueTypeOf(value->type);
  }

  bool SetValue(const std::string& name, RegValueType type, const std::string& data) override {
    const uint32_t file_type = RegistryTypeNumber(type);
    if (file_type == 0 || !store_->Writable()) return false;
    RegistryFile* registry = store_->Load();
    if (registry == nullptr || !registry->SetValue(path_, name, file_type, data)) return false;
    return store_->Save();
  }

  bool DeleteValue(const std::string& name) override {
    RegistryFile* registry = store_->Load();
    if (registry == nullptr) return false;
    if (registry->FindValue(path_, name) == nullptr) return true;
    if (!store_->Writable() || !registry->DeleteValue(path_, name)) return false;
    return store_->Save();
  }

  Removal DeleteEmptySubKey(const std::string& path) override {
    RegistryFile* registry = store_->Load();
    if (registry == nullptr) return Removal::kFailed;
    const std::string key = path_ + "\\" + path;
    if (!registry->KeyExists(key)) return Removal::kAbsent;
    if (!store_->Writable()) return Removal::kFailed;
    if (!registry->DeleteEmptyKey(key)) return Removal::kNotEmpty;
    return store_->Save() ? Removal::kRemoved : Removal::kFailed;
  }

 private:
  const std::shared_ptr<RegistryStore> store_;
  const std::string path_;
};

std::unique_ptr<HostRegistryKey> Open(std::shared_ptr<RegistryStore> store, const std::string& path,
                                      bool create) {
  if (!store->Writable()) return nullptr;
  RegistryFile* registry = store->Load();
  if (registry == nullptr) return nullptr;
  if (!registry->KeyExists(path)) {
    if (!create || !registry->AddKey(path) || !store->Save()) return nullptr;
  }
  return std::make_unique<PosixRegistryKey>(std::move(store), path);
}

}  // namespace

std::shared_ptr<RegistryStore> MakeRegistryStore(const std::string& host_file,
                                                 RegistryWarning warn) {
  return std::make_shared<RegistryStore>(host_file, std::move(warn));
}

std::unique_ptr<HostRegistryKey> OpenRegistryKey(const std::shared_ptr<RegistryStore>& store,
                                                 const std::string& path, bool create) {
  return Open(store, path, create);
}
