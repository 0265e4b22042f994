#include "formlib/Registry.h"

#include "platform/Fault.h"

bool TRegistry::OpenKey(const std::string& key, bool can_create) {
  const bool relative = key.empty() || key[0] != '\\';
  const std::string path = relative ? key : key.substr(1);
  const bool create = can_create && !path.empty();
  std::unique_ptr<HostRegistryKey> opened;
  if (relative && current_ != nullptr)
    opened = current_->OpenSubKey(path, create);
  else
    opened = host_.OpenLocalMachineKey(path, create);
  if (opened == nullptr) return false;
  current_ = std::move(opened);
  return true;
}

std::optional<std::string> TRegistry::SubKeyName(uint32_t index) {
  if (current_ == nullptr) return std::nullopt;
  return current_->EnumSubKey(index);
}

std::string TRegistry::ReadString(const std::string& name) {
  std::string data;
  const RegValueType type =
      current_ == nullptr ? RegValueType::kMissing : current_->QueryValue(name, &data);
  switch (type) {
    case RegValueType::kMissing:
      return std::string();
    case RegValueType::kString:
    case RegValueType::kExpandString:
      return data;
    default:
      throw RegistryFault(FormatMessage1("Invalid data type for '%s'", name));
  }
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  if (current_ == nullptr || !current_->SetStringValue(name, value))
    throw RegistryFault(FormatMessage1("Failed to set data for '%s'", name));
}

std::string RegistryViewNote(Host& host) {
  const std::string view = host.RegistryView();
  return view.empty() ? std::string() : " (" + view + ")";
}
