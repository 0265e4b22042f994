// The registry below HKEY_LOCAL_MACHINE: RegOpenKeyExA, RegCreateKeyExA,
// RegEnumKeyExA, RegQueryValueExA, RegSetValueExA, RegDeleteValueA,
// RegQueryInfoKeyA, RegDeleteKeyExA, RegCloseKey.
#include "platform/win32/Win32Registry.h"

namespace {

static_assert(RegistryTypeNumber(RegValueType::kString) == REG_SZ &&
                  RegistryTypeNumber(RegValueType::kExpandString) == REG_EXPAND_SZ &&
                  RegistryTypeNumber(RegValueType::kBinary) == REG_BINARY &&
                  RegistryTypeNumber(RegValueType::kDword) == REG_DWORD,
              "the value types' numbers are the registry's own");

// Registry keys are opened in the 32-bit view of the registry, where the
// 32-bit web server, PHP and PostgreSQL installers of these servers record
// themselves and where the 32-bit installers of the intranet read and wrote
// "InstallDir". On 32-bit Windows the flag changes nothing.
constexpr REGSAM kRegistryAccess = KEY_ALL_ACCESS | KEY_WOW64_32KEY;

// RegOpenKeyExA, or RegCreateKeyExA when `create`, with full access.
UniqueKey OpenKey(HKEY parent, const std::string& path, bool create) {
  HKEY key = nullptr;
  LONG status;
  if (create)
    status = RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             kRegistryAccess, nullptr, &key, nullptr);
  else
    status = RegOpenKeyExA(parent, path.c_str(), 0, kRegistryAccess, &key);
  return UniqueKey(status == ERROR_SUCCESS ? key : nullptr);
}

class Win32RegistryKey : public HostRegistryKey {
 public:
  explicit Win32RegistryKey(UniqueKey key) : key_(std::move(key)) {}

  std::unique_ptr<HostRegistryKey> OpenSubKey(const std::string& path, bool create) override {
    UniqueKey key = OpenKey(key_.get(), path, create);
    if (key.get() == nullptr) return nullptr;
    return std::make_unique<Win32RegistryKey>(std::move(key));
  }

  std::optional<std::string> EnumSubKey(uint32_t index) override {
    char name[256] = {};  // a key name has at most 255 characters
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key_.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      return std::nullopt;
    return std::string(name, length);
  }

  RegValueType QueryValue(const std::string& name, std::string* data) override {
    data->clear();
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG status = RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type, nullptr, &size);
    // The value may grow between the calls: ask again until it fits.
    std::string bytes;
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
      bytes.resize(size);
      DWORD got = size;
      status = RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(bytes.empty() ? nullptr : &bytes[0]), &got);
      if (status == ERROR_SUCCESS) {
        bytes.resize(got);
        break;
      }
      if (status == ERROR_MORE_DATA) size = got;
    }
    if (status != ERROR_SUCCESS) return RegValueType::kMissing;
    // The text ends at its terminating zero, which need not be stored.
    *data = type == REG_SZ || type == REG_EXPAND_SZ ? bytes.substr(0, bytes.find('\0')) : bytes;
    return RegValueTypeOf(type);
  }

  bool SetValue(const std::string& name, RegValueType type, const std::string& data) override {
    const DWORD windows_type = RegistryTypeNumber(type);
    if (windows_type == REG_NONE) return false;
    DWORD size = static_cast<DWORD>(data.size());
    // A text is stored with the terminating zero c_str() has.
    if (windows_type == REG_SZ || windows_type == REG_EXPAND_SZ) ++size;
    return RegSetValueExA(key_.get(), name.c_str(), 0, windows_type,
                          reinterpret_cast<const BYTE*>(data.c_str()), size) == ERROR_SUCCESS;
  }

  bool DeleteValue(const std::string& name) override {
    const LONG status = RegDeleteValueA(key_.get(), name.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }

  Removal DeleteEmptySubKey(const std::string& path) override {
    HKEY opened = nullptr;
    LONG status =
        RegOpenKeyExA(key_.get(), path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &opened);
    if (status == ERROR_FILE_NOT_FOUND) return Removal::kAbsent;
    if (status != ERROR_SUCCESS) return Removal::kFailed;
    UniqueKey subkey(opened);
    DWORD subkeys = 0;
    DWORD values = 0;
    status = RegQueryInfoKeyA(subkey.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                              &values, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return Removal::kFailed;
    if (subkeys != 0 || values != 0) return Removal::kNotEmpty;
    subkey.reset();
    // The view the keys are opened in; RegDeleteKeyA would take the
    // program's own.
    status = RegDeleteKeyExA(key_.get(), path.c_str(), KEY_WOW64_32KEY, 0);
    if (status == ERROR_FILE_NOT_FOUND) return Removal::kAbsent;
    return status == ERROR_SUCCESS ? Removal::kRemoved : Removal::kFailed;
  }

 private:
  UniqueKey key_;
};

}  // namespace

std::unique_ptr<HostRegistryKey> OpenWin32LocalMachineKey(const std::string& path, bool create) {
  UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, path, create);
  if (key.get() == nullptr) return nullptr;
  return std::make_unique<Win32RegistryKey>(std::move(key));
}
