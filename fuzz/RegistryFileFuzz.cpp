// system.reg as any text: what the reader accepts is written back byte for
// byte; after the installer's one write, the file reads back with that
// value and every other key and value as before.
#include "FuzzCheck.h"
#include "platform/posix/RegistryFile.h"

namespace {

std::string KeyPath(const std::vector<std::string>& names) {
  std::string path;
  for (const std::string& name : names) path += (path.empty() ? "" : "\\") + name;
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const std::optional<RegistryFile> registry = RegistryFile::Parse(FuzzInput(data, size), &error);
  if (!registry) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  FUZZ_CHECK(registry->Write() == FuzzInput(data, size));
  RegistryFile edited = *registry;
  const std::string key = "Software\\Corvantis\\v2.1";
  FUZZ_CHECK(edited.SetValue(key, "InstallDir", kRegSz, "C:\\Intranet \"x\"\\"));
  const std::optional<RegistryFile> again = RegistryFile::Parse(edited.Write(), &error);
  FUZZ_CHECK(again.has_value());
  const RegistryValue* set = again->FindValue(key, "InstallDir");
  FUZZ_CHECK(set != nullptr && set->type == kRegSz && set->data == "C:\\Intranet \"x\"\\");
  for (const RegistrySection& section : registry->sections()) {
    const std::string path = KeyPath(section.key);
    FUZZ_CHECK(again->KeyExists(path));
    for (const RegistryValue& value : section.values) {
      const RegistryValue* read = again->FindValue(path, value.name);
      if (read == set) continue;
      FUZZ_CHECK(read != nullptr && read->type == value.type && read->data == value.data);
    }
  }
  return 0;
}
