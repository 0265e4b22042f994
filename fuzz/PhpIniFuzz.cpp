// The php.ini update on any file: the input up to its first zero byte is
// the file as loaded, each line after it the name of a package extension.
// The update only adds lines, adds each missing extension once, a second
// update with the same extensions changes nothing, and the bytes are those
// of the update run one line at a time over the whole text.
#include "FuzzCheck.h"
#include "engine/PhpIni.h"
#include "formlib/FileUtil.h"
#include "install/PackageDefinition.h"
#include "support/PhpIniReference.h"

namespace {

// True when `part` is `whole` with some lines left out.
bool IsSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
  size_t at = 0;
  for (const std::string& line : whole)
    if (at < part.size() && part[at] == line) ++at;
  return at == part.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto [file, names] = SplitAtZero(FuzzInput(data, size));
  std::vector<std::string> extension_lines;
  // Names hold no line break: the reader refuses a package whose names do.
  for (const std::string& name : SplitLines(names)) extension_lines.push_back("extension=" + name);

  const std::string& title = ThePackage().ProductTitle;
  const std::vector<std::string> before = SplitLines(file);
  const std::string joined = AddExtensionLines(JoinLines(before), extension_lines, title).Joined();
  const std::vector<std::string> after = SplitLines(joined);
  FUZZ_CHECK(joined == JoinLines(AddOneAtATime(before, extension_lines, title)));

  // Each added extension is a block of four lines.
  FUZZ_CHECK(after.size() >= before.size());
  FUZZ_CHECK((after.size() - before.size()) % 4 == 0);
  FUZZ_CHECK(after.size() - before.size() <= 4 * extension_lines.size());
  FUZZ_CHECK(IsSubsequence(before, after));
  const std::string text = JoinLines(after);
  for (const std::string& line : extension_lines) FUZZ_CHECK(text.find(line) != std::string::npos);
  FUZZ_CHECK(AddExtensionLines(joined, extension_lines, title).Joined() == joined);
  // What is saved reads back as the same lines.
  FUZZ_CHECK(SplitLines(text) == after);
  return 0;
}
