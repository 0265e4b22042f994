#include <string>
#include <vector>

#include "engine/InstallSequence.h"
#include "engine/Phases.h"
#include "engine/RunAndWait.h"
#include "formlib/FileUtil.h"
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

std::string SqlTransactionFileName(const std::string& script) { return script + ".transaction"; }
std::string SqlOutputFileName(const std::string& script) { return script + ".output"; }

// psql.exe reaches the server the version gate read: the host and the
// password go to it in its environment (PGHOST, PGPASSWORD), never on its
// command line or in a file; an empty one leaves the installer's own, as it
// did for the gate. It runs the script inside the transaction file that
// WriteSqlTransaction makes beside it.
std::string PsqlProgramPath(const InstallContext& context) {
  return ExcludeTrailingBackslash(context.PgBaseDir) + "\\bin\\psql.exe";
}

std::string SqlImportCommandLine(const Installer& installer, const InstallContext& context,
                                 const std::string& script) {
  return "\"" + PsqlProgramPath(context) + "\" -f \"" +
         ExcludeTrailingBackslash(context.WorkFolder) + "\\" + SqlTransactionFileName(script) +
         "\" corvantis " + UserArgument(installer.settings.DbUser);
}

std::string SqlTransactionText(const std::string& script_bytes) {
  // ON_ERROR_STOP makes psql stop at the first failed statement and end
  // with status 3; the transaction then ends with the connection, rolled
  // back. Every psql 8.x knows both; its "-1" came with 8.2. The script's
  // own text stands in the file, so no path has to be quoted for psql.
  // A last statement without its ";" is ended before the COMMIT.
  return "\\set ON_ERROR_STOP 1\nBEGIN;\n" + script_bytes + "\n;\nCOMMIT;\n";
}

namespace {

// The transaction file for `script`; false, with the reason in the log,
// when the script cannot be read or the file cannot be written.
bool WriteSqlTransaction(Installer& installer, const InstallContext& context,
                         const std::string& script) {
  Host& host = installer.host();
  RunLog& log = installer.app.log();
  const std::string folder = ExcludeTrailingBackslash(context.WorkFolder) + "\\";
  std::string bytes;
  try {
    bytes = LoadFile(host, folder + script);
  } catch (const std::exception& e) {
    log.Write("the import cannot read its script: " + std::string(e.what()) + ": " +
              host.LastError().Message());
    return false;
  }
  const std::string path = folder + SqlTransactionFileName(script);
  const std::string text = SqlTransactionText(bytes);
  std::unique_ptr<HostFile> file = host.CreateFileForWrite(path);
  if (file == nullptr || !WriteAll(*file, text.data(), text.size())) {
    log.Write("the import cannot write " + path + ": " + host.LastError().Message());
    return false;
  }
  log.Write("the script runs in one transaction, from " + path +
            " (psql's line numbers there are the script's plus 2)");
  return true;
}

}  // namespace

bool ImportSqlScripts(Installer& installer, InstallContext& context) {
  const Settings& settings = installer.settings;
  RunOptions options = InstallRunOptions(installer);
  if (!settings.DbHost.empty()) options.environment.emplace_back("PGHOST", settings.DbHost);
  if (!settings.DbPassword.empty())
    options.environment.emplace_back("PGPASSWORD", settings.DbPassword);
  for (const std::string& script : SqlScripts()) {
    const std::string command_line = SqlImportCommandLine(installer, context, script);
    options.output_file =
        ExcludeTrailingBackslash(context.WorkFolder) + "\\" + SqlOutputFileName(script);
    RunResult result;
    if (WriteSqlTransaction(installer, context, script))
      result = RunProgram(installer.app, command_line, options);
    if (!result.Succeeded()) {
      installer.app.log().Write("the import of " + script + " failed (" + result.Outcome() +
                                "); the database is as it was before it");
      const int answer = installer.ErrorBox(
          "An error occured whilst trying to import data into SQL Server. Continue "
          "installation?",
          kMbYesNo | kMbIconError);
      if (answer == kIdNo) {
        installer.app.outcome().MarkStoppedByAnswer();
        return false;
      }
    }
  }
  return true;
}
