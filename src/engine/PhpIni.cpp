#include "engine/PhpIni.h"

#include "engine/Phases.h"
#include "platform/FileUtil.h"
#include "shell/PackageDefinition.h"

namespace {

const char kAnchor[] = "extension=php_zip.dll";
const char kCrLf[] = "\r\n";

// Where the block goes in the joined text `t`.
size_t InsertionPoint(const std::string& t) {
  const size_t anchor = t.find(kAnchor);
  if (anchor == std::string::npos) return t.size();
  // Every line of the joined text ends with CR LF.
  const size_t line_end = t.find(kCrLf, anchor + sizeof kAnchor - 1);
  if (line_end == std::string::npos) return t.size();
  const size_t next_line = line_end + 2;
  // After the empty line that follows the anchor's line; when the anchor ends
  // its line this is the anchor's position plus 25, where the block has
  // always gone.
  if (t.compare(next_line, 2, kCrLf) == 0) return next_line + 2;
  return next_line;
}

}  // namespace

std::vector<std::string> AddExtensionLines(std::vector<std::string> lines,
                                           const std::vector<std::string>& extension_lines,
                                           const std::string& product_title) {
  for (const std::string& line : extension_lines) {
    std::string t = JoinLines(lines);
    if (t.find(line) != std::string::npos) continue;
    const std::string block = "\r\n\r\n; " + product_title + " extensions\r\n" + line + "\r\n";
    t.insert(InsertionPoint(t), block);
    lines = SplitLines(t);
  }
  return lines;
}

void UpdatePhpIni(Installer& installer, InstallContext& context) {
  Host& host = installer.host();
  const std::string path = context.PhpFolder + "\\php.ini";
  const std::vector<std::string> lines = AddExtensionLines(
      LoadLines(host, path), context.ExtensionLines, installer.package.ProductTitle);
  SaveLines(host, path, lines);
}
