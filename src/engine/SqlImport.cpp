#include <string>
#include <vector>

#include "engine/Phases.h"
#include "engine/RunAndWait.h"
#include "platform/Text.h"
#include "shell/Settings.h"

namespace {

// The package's SQL scripts, in the order they run; Data.kpv holds them at
// its top level, and the unpacking has put them in the work folder.
const std::vector<std::string> SqlScripts = {"brevoxil.sql"};

// A user name as one argument of a command line that psql.exe splits by the
// C runtime's rules. A plain name stays as it is; one with blanks or quotes
// is quoted, so it can neither split into several arguments nor become an
// option of its own.
std::string UserArgument(const std::string& user) {
  if (user.find_first_of(" \t\"") == std::string::npos) return user;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : user) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(2 * backslashes, '\\');  // before the closing quote
  quoted.push_back('"');
  return quoted;
}

}  // namespace

// psql.exe gets neither the host nor the password: it connects with its own
// defaults. Its exit code is not read, so a script that fails inside the
// database does not stop the install.
bool ImportSqlScripts(Installer& installer, InstallContext& context) {
  for (const std::string& script : SqlScripts) {
    const std::string command_line = "\"" + ExcludeTrailingBackslash(context.PgBaseDir) +
                                     "\\bin\\psql.exe\" -f \"" +
                                     ExcludeTrailingBackslash(context.WorkFolder) + "\\" + script +
                                     "\" corvantis " + UserArgument(installer.settings.DbUser);
    if (!RunAndWait(installer.app, command_line)) {
      const int answer = installer.ErrorBox(
          "An error occured whilst trying to import data into SQL Server. Continue "
          "installation?",
          kMbYesNo | kMbIconError);
      if (answer == kIdNo) return false;
    }
  }
  return true;
}
