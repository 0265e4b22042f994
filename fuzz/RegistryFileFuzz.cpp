// system.reg as any text: what the reader makes of it is written back, and
// the written file reads back as the same keys and values.
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
  const std::string written = registry->Write();
  const std::optional<RegistryFile> again = RegistryFile::Parse(written, &error);
  FUZZ_CHECK(again.has_value());
  FUZZ_CHECK(again->Write() == written);
  for (const RegistrySection& section : registry->sections()) {
    const std::string key = KeyPath(section.key);
    FUZZ_CHECK(again->KeyExists(key));
    for (const RegistryValue& value : section.values) {
      const RegistryValue* read = again->FindValue(key, value.name);
      FUZZ_CHECK(read != nullptr && read->type == value.type && read->data == value.data);
    }
  }
  return 0;
}
