#pragma once
// TRegistry: the form library's registry class, on HKEY_LOCAL_MACHINE with
// full access, written once on top of the host's key primitives.

#include <memory>
#include <optional>
#include <string>

#include "platform/Host.h"

// " (32-bit view)" after a key's name in the log, when the host opens its
// keys in a view of the registry; else empty.
std::string RegistryViewNote(Host& host);

class TRegistry {
 public:
  explicit TRegistry(Host& host) : host_(host) {}
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;
  ~TRegistry() = default;  // closes the current key

  // Opens `key` (relative to the current key when one is open and `key` does
  // not start with "\"), creating it when `can_create`. On success the new
  // key replaces the current one. False when it can be neither opened nor
  // created.
  bool OpenKey(const std::string& key, bool can_create);
  void CloseKey() { current_.reset(); }
  bool HasCurrentKey() const { return current_ != nullptr; }

  // The name of the current key's subkey at `index`, unsorted.
  std::optional<std::string> SubKeyName(uint32_t index);
  // A REG_SZ or REG_EXPAND_SZ value; empty text when the value is missing.
  // Any other type raises "Invalid data type for '%s'".
  std::string ReadString(const std::string& name);
  // Writes a REG_SZ value; a failure raises "Failed to set data for '%s'".
  void WriteString(const std::string& name, const std::string& value);

 private:
  Host& host_;
  std::unique_ptr<HostRegistryKey> current_;
};
