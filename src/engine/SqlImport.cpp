#include <string>
#include <vector>

#include "engine/Phases.h"
#include "engine/RunAndWait.h"
#include "install/Settings.h"
#include "platform/Text.h"

const std::vector<std::string>& SqlScripts() {
  static const std::vector<std::string> scripts = {"brevoxil.sql"};
  return scripts;
}

namespace {

// A user name as one argument of a command line that psql.exe splits by the
// C runtime's rules. A plain name stays as it is; one with blanks, tabs or
// quotes is quoted, so it cannot split into several arguments. Line breaks
// and other control characters separate nothing there.
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

// psql.exe reaches the server the version gate read: the host and the
// password go to it in its environment (PGHOST, PGPASSWORD), never on its
// command line or in a file; an empty one leaves the installer's own, as it
// did for the gate. psql.exe ends with 0 once it has run the script, also
// when statements inside it failed (a second install relies on that), and
// with another status when it could not read the script or reach the
// server: that is asked about as a psql.exe that did not start.
std::string PsqlProgramPath(const InstallContext& context) {
  return ExcludeTrailingBackslash(context.PgBaseDir) + "\\bin\\psql.exe";
}

std::string SqlImportCommandLine(const Installer& installer, const InstallContext& context,
                                 const std::string& script) {
  return "\"" + PsqlProgramPath(context) + "\" -f \"" +
         ExcludeTrailingBackslash(context.WorkFolder) + "\\" + script + "\" corvantis " +
         UserArgument(installer.settings.DbUser);
}

bool ImportSqlScripts(Installer& installer, InstallContext& context) {
  const Settings& settings = installer.settings;
  EnvironmentAdditions environment;
  if (!settings.DbHost.empty()) environment.emplace_back("PGHOST", settings.DbHost);
  if (!settings.DbPassword.empty()) environment.emplace_back("PGPASSWORD", settings.DbPassword);
  for (const std::string& script : SqlScripts()) {
    const std::string command_line = SqlImportCommandLine(installer, context, script);
    std::optional<uint32_t> exit_code;
    if (!RunAndWait(installer.app, command_line, environment, &exit_code) || exit_code != 0u) {
      const int answer = installer.ErrorBox(
          "An error occured whilst trying to import data into SQL Server. Continue "
          "installation?",
          kMbYesNo | kMbIconError);
      if (answer == kIdNo) {
        installer.app.log().MarkStoppedByAnswer();
        return false;
      }
    }
  }
  return true;
}
