// The PHP folder found in any httpd.conf, loaded as lines and joined as the
// detection does, and the extension folder the unpacking then makes below
// it on the in-memory host.
#include "FuzzCheck.h"
#include "engine/InstallSequence.h"
#include "formlib/FileUtil.h"
#include "platform/Fault.h"
#include "support/FakeHost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = JoinLines(SplitLines(FuzzInput(data, size)));
  const std::optional<std::string> folder = PhpFolderFromHttpdConf(text);
  if (text.find("LoadModule php5_module ") == std::string::npos) FUZZ_CHECK(!folder);
  if (!folder) return 0;
  // A folder to write to: never empty, its separators all '\', ending in one.
  FUZZ_CHECK(!folder->empty() && folder->back() == '\\');
  FUZZ_CHECK(folder->find_first_of("/\r\n") == std::string::npos);

  FakeHost host;
  try {
    if (ForceDirectories(host, *folder + "\\ext")) FUZZ_CHECK(host.HasFolder(*folder + "\\ext"));
  } catch (const FileFault&) {
    // "Unable to create directory": only for an empty path, never here.
    FUZZ_CHECK(false);
  }
  return 0;
}
