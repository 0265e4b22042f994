#pragma once
// Registration of the package's PHP extensions in php.ini.

#include <cstddef>
#include <string>
#include <vector>

#include "install/InstallContext.h"
#include "install/Installer.h"

// php.ini as its lines joined, each followed by CR LF, and the blocks of
// extension lines added at one place in it.
struct PhpIniText {
  std::string text;
  size_t at = 0;       // where `blocks` stand in `text`
  std::string blocks;  // the blocks there, in the order they stand
  // The whole file: `text` with `blocks` at `at`.
  std::string Joined() const;
};

// php.ini's `text` (its lines, each followed by CR LF) with every extension
// line that the text does not hold yet, also as part of a longer line or of
// a block added before, added as a commented block: after the empty line
// that follows the first "extension=php_zip.dll" line, at the start of the
// line after it when no empty line follows, or at the end of the file when
// there is no such line. Each block is inserted at the same place, so
// several stand in the reverse of their order. Takes time linear in the
// text and the lines (lines holding a line break or a zero byte, which no
// package name has, are added one at a time as the text was once handled).
// `added`, when given, tells for each extension line whether it was added.
PhpIniText AddExtensionLines(std::string text, const std::vector<std::string>& extension_lines,
                             const std::string& product_title, std::vector<bool>* added = nullptr);

// Loads PhpFolder\php.ini, adds the collected extension lines and saves it
// (also when nothing was added). Raises "Cannot open file %s" or
// "Cannot create file %s"; a failed save leaves the old file whole.
void UpdatePhpIni(Installer& installer, InstallContext& context);

// Writes each extension line to the log (and plan): added (or, `planned`,
// to be added) or already present in the php.ini at `path`.
void ReportExtensionLines(RunPlan& plan, const std::string& path,
                          const std::vector<std::string>& lines, const std::vector<bool>& added,
                          bool planned);
