#pragma once
// Registration of the package's PHP extensions in php.ini.

#include <string>
#include <vector>

#include "engine/InstallContext.h"
#include "engine/Installer.h"

// The lines of php.ini with every extension line that the text does not
// hold yet added as a commented block: after the empty line that follows the
// first "extension=php_zip.dll" line, at the start of the line after it when
// no empty line follows, or at the end of the file when there is no such
// line. Each block is inserted at the same place, so several stand in the
// reverse of their order.
std::vector<std::string> AddExtensionLines(std::vector<std::string> lines,
                                           const std::vector<std::string>& extension_lines,
                                           const std::string& product_title);

// Loads PhpFolder\php.ini, adds the collected extension lines and saves it
// (also when nothing was added). Raises "Cannot open file %s" or
// "Cannot create file %s"; a failed save leaves the old file whole.
void UpdatePhpIni(Installer& installer, InstallContext& context);
