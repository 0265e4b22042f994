#include "platform/posix/PosixRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "platform/posix/AtomicFile.h"
#include "platform/posix/FileDescriptor.h"
#include "platform/posix/OsError.h"
#include "platform/posix/PosixFile.h"
#include "platform/posix/RegistryFile.h"

namespace {

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

  // The file as it is now; a missing file is an empty registry.
  std::optional<RegistryFile> Load() const {
    std::string text;
    const int err = ReadWholeFile(file_, &text);
    if (err == ENOENT) return RegistryFile();
    if (err != 0) {
      Warn(OsErrorMessage("cannot read the registry", file_, err));
      return std::nullopt;
    }
    std::string error;
    std::optional<RegistryFile> parsed = RegistryFile::Parse(text, &error);
    if (!parsed) Warn("the registry " + file_ + " is left alone: " + error);
    return parsed;
  }

  bool Save(const RegistryFile& registry) const {
    std::string error;
    if (SaveFileAtomically(file_, registry.Write(), &error)) return true;
    Warn(error);
    return false;
  }

 private:
  bool Warn(const std::string& message) const {
    if (warn_) warn_(message);
    return false;
  }

  const std::string file_;
  const RegistryWarning warn_;
};

std::unique_ptr<HostRegistryKey> Open(std::shared_ptr<const RegistryStore> store,
                                      const std::string& path, bool create);

class PosixRegistryKey : public HostRegistryKey {
 public:
  PosixRegistryKey(std::shared_ptr<const RegistryStore> store, std::string path)
      : store_(std::move(store)), path_(std::move(path)) {}

  std::unique_ptr<HostRegistryKey> OpenSubKey(const std::string& path, bool create) override {
    return Open(store_, path_ + "\\" + path, create);
  }

  std::optional<std::string> EnumSubKey(uint32_t index) override {
    const std::optional<RegistryFile> registry = store_->Load();
    if (!registry) return std::nullopt;
    const std::vector<std::string> subkeys = registry->SubKeys(path_);
    if (index >= subkeys.size()) return std::nullopt;
    return subkeys[index];
  }

  RegValueType QueryValue(const std::string& name, std::string* data) override {
    data->clear();
    const std::optional<RegistryFile> registry = store_->Load();
    const RegistryValue* value = registry ? registry->FindValue(path_, name) : nullptr;
    if (value == nullptr) return RegValueType::kMissing;
    *data = value->data;
    switch (value->type) {
      case kRegSz:
        return RegValueType::kString;
      case kRegExpandSz:
        return RegValueType::kExpandString;
      case kRegDword:
        return RegValueType::kDword;
      case kRegBinary:
        return RegValueType::kBinary;
      default:
        return RegValueType::kOther;
    }
  }

  bool SetStringValue(const std::string& name, const std::string& value) override {
    if (!store_->Writable()) return false;
    std::optional<RegistryFile> registry = store_->Load();
    if (!registry || !registry->SetValue(path_, name, kRegSz, value)) return false;
    return store_->Save(*registry);
  }

  bool DeleteValue(const std::string& name) override {
    std::optional<RegistryFile> registry = store_->Load();
    if (!registry) return false;
    if (registry->FindValue(path_, name) == nullptr) return true;
    if (!store_->Writable() || !registry->DeleteValue(path_, name)) return false;
    return store_->Save(*registry);
  }

 private:
  const std::shared_ptr<const RegistryStore> store_;
  const std::string path_;
};

std::unique_ptr<HostRegistryKey> Open(std::shared_ptr<const RegistryStore> store,
                                      const std::string& path, bool create) {
  if (!store->Writable()) return nullptr;
  std::optional<RegistryFile> registry = store->Load();
  if (!registry) return nullptr;
  if (!registry->KeyExists(path)) {
    if (!create || !registry->AddKey(path) || !store->Save(*registry)) return nullptr;
  }
  return std::make_unique<PosixRegistryKey>(std::move(store), path);
}

}  // namespace

std::unique_ptr<HostRegistryKey> OpenRegistryKey(const std::string& host_file,
                                                 const std::string& path, bool create,
                                                 RegistryWarning warn) {
  return Open(std::make_shared<const RegistryStore>(host_file, std::move(warn)), path, create);
}
