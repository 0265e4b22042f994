#pragma once
// What the install sequence gathers before it changes anything, handed to
// its phases. Lives for one run of RunInstall().

#include <string>
#include <vector>

class InstallJournal;

struct InstallContext {
  std::string WorkFolder;                   // short temp path + a decimal number, no trailing "\"
  std::string ServerRootPath;               // the web server's "ServerRoot"; may be empty
  std::string PhpFolder;                    // from httpd.conf; ends with "\" or is empty
  std::string PgBaseDir;                    // PostgreSQL's "Base Directory"; may be empty
  std::vector<std::string> ExtensionLines;  // "extension=" lines for php.ini
  // Notes each change after the web server's stop, so a failure can undo
  // it; null when nothing is to be undone ("/norollback").
  InstallJournal* Journal = nullptr;
};
