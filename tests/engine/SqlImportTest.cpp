#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/Phases.h"
#include "platform/CommandLine.h"
#include "platform/Fault.h"
#include "platform/Text.h"
#include "support/FaultText.h"
#include "support/InstallerWorld.h"

namespace {

const char kImportFailed[] =
    "An error occured whilst trying to import data into SQL Server. Continue installation?";

// An installer whose work folder holds the unpacked script.
struct Import : InstallerWorld {
  explicit Import(const std::string& work_folder = "C:\\Temp\\1") {
    context.WorkFolder = work_folder;
    host.AddFile(ExcludeTrailingBackslash(work_folder) + "\\brevoxil.sql", "SELECT 1;");
  }
  bool Run() { return ImportSqlScripts(installer, context); }
  InstallContext context;
};

TEST(ImportSqlScriptsTest, CommandLineNamesPsqlTheScriptTheDatabaseAndTheUser) {
  struct Case {
    const char* pg_base_dir;
    const char* work_folder;
    const char* user;
    const char* command_line;
  };
  const Case cases[] = {
      {"C:\\Program Files\\PostgreSQL\\8.1\\", "C:\\DOCUME~1\\ADMINI~1\\LOCALS~1\\Temp\\123",
       "root",
       "\"C:\\Program Files\\PostgreSQL\\8.1\\bin\\psql.exe\" -f "
       "\"C:\\DOCUME~1\\ADMINI~1\\LOCALS~1\\Temp\\123\\brevoxil.sql.transaction\" corvantis root"},
      {"C:\\PostgreSQL", "C:\\Temp\\0\\", "postgres",
       "\"C:\\PostgreSQL\\bin\\psql.exe\" -f \"C:\\Temp\\0\\brevoxil.sql.transaction\" corvantis "
       "postgres"},
      // Only one trailing backslash goes.
      {"D:\\pg\\\\", "C:\\T\\9", "root",
       "\"D:\\pg\\\\bin\\psql.exe\" -f \"C:\\T\\9\\brevoxil.sql.transaction\" corvantis root"},
      // No PostgreSQL found: psql.exe on the current drive.
      {"", "C:\\T\\9", "root",
       "\"\\bin\\psql.exe\" -f \"C:\\T\\9\\brevoxil.sql.transaction\" corvantis root"},
      {"C:\\pg", "C:\\T\\9", "",
       "\"C:\\pg\\bin\\psql.exe\" -f \"C:\\T\\9\\brevoxil.sql.transaction\" corvantis "},
      // A name with blanks or quotes stays one argument.
      {"C:\\pg", "C:\\T\\9", "corvantis admin",
       "\"C:\\pg\\bin\\psql.exe\" -f \"C:\\T\\9\\brevoxil.sql.transaction\" corvantis \"corvantis "
       "admin\""},
      {"C:\\pg", "C:\\T\\9", "a \"b\\\" -c x",
       "\"C:\\pg\\bin\\psql.exe\" -f \"C:\\T\\9\\brevoxil.sql.transaction\" corvantis "
       "\"a \\\"b\\\\\\\" -c x\""},
      {"C:\\pg", "C:\\T\\9", "a b\\",
       "\"C:\\pg\\bin\\psql.exe\" -f \"C:\\T\\9\\brevoxil.sql.transaction\" corvantis \"a b\\\\\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command_line);
    Import t(c.work_folder);
    t.settings.DbUser = c.user;
    t.settings.DbHost = "dbserver";
    t.settings.DbPassword = "secret";
    t.context.PgBaseDir = c.pg_base_dir;
    EXPECT_TRUE(t.Run());
    EXPECT_EQ(t.host.command_lines, std::vector<std::string>{c.command_line});
  }
}

// psql.exe splits its command line by the C runtime's rules, as the POSIX
// host does for it: whatever the name holds, it arrives as one argument.
TEST(ImportSqlScriptsTest, AnyUserNameReachesPsqlAsOneArgument) {
  const std::string users[] = {
      "john smith",   "tab\there", "a \"b\\\" -c x", "a b\\", "back\\slash",
      "trailing\\\\", "\"",        "\\\"",           "  ",    "line\nbreak -f other.sql",
      "x\r\ny",       "\"\" \"\"",
  };
  for (const std::string& user : users) {
    SCOPED_TRACE(testing::PrintToString(user));
    Import t("C:\\Temp\\7");
    t.settings.DbUser = user;
    t.context.PgBaseDir = "C:\\Program Files\\PostgreSQL\\8.3";
    EXPECT_TRUE(t.Run());
    ASSERT_EQ(t.host.command_lines.size(), 1u);
    EXPECT_EQ(
        SplitProgramCommandLine(t.host.command_lines[0]),
        (std::vector<std::string>{"C:\\Program Files\\PostgreSQL\\8.3\\bin\\psql.exe", "-f",
                                  "C:\\Temp\\7\\brevoxil.sql.transaction", "corvantis", user}));
  }
}

// The gate read the module's version with libpq's defaults for what the
// settings leave empty; psql.exe gets the same.
TEST(ImportSqlScriptsTest, PsqlReachesTheGatesServerThroughItsEnvironment) {
  struct Case {
    const char* host;
    const char* password;
    EnvironmentAdditions environment;
  };
  const Case cases[] = {
      {"dbserver", "s3cret pass", {{"PGHOST", "dbserver"}, {"PGPASSWORD", "s3cret pass"}}},
      {"", "secret", {{"PGPASSWORD", "secret"}}},
      {"10.0.0.5", "", {{"PGHOST", "10.0.0.5"}}},
      {"", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    Import t;
    t.settings.DbHost = c.host;
    t.settings.DbPassword = c.password;
    EXPECT_TRUE(t.Run());
    EXPECT_EQ(t.host.environments, std::vector<EnvironmentAdditions>{c.environment});
    EXPECT_EQ(
        t.host.command_lines,
        std::vector<std::string>{
            "\"\\bin\\psql.exe\" -f \"C:\\Temp\\1\\brevoxil.sql.transaction\" corvantis root"});
  }
}

// psql.exe ends with 1 when it cannot read the script and 2 when it cannot
// reach the server: asked about as a psql.exe that did not start.
TEST(ImportSqlScriptsTest, PsqlThatCannotStartOrFailsAsksWhetherToGoOn) {
  struct Case {
    const char* what;
    std::function<void(FakeHost&)> arrange;
    int answer;
    bool result;
  };
  const auto not_started = [](FakeHost& h) {
    h.can_start = [](const std::string&) { return false; };
  };
  const auto exits_with = [](uint32_t code) {
    return [code](FakeHost& h) { h.exit_code = [code](const std::string&) { return code; }; };
  };
  const Case cases[] = {
      {"not started, No", not_started, kIdNo, false},
      {"not started, Yes", not_started, kIdYes, true},
      {"not started, no answer", not_started, 0, true},
      {"script unreadable, No", exits_with(1), kIdNo, false},
      {"no connection, No", exits_with(2), kIdNo, false},
      {"no connection, Yes", exits_with(2), kIdYes, true},
      {"wait failed, No", [](FakeHost& h) { h.wait_fails = true; }, kIdNo, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Import t;
    c.arrange(t.host);
    t.screen.ExpectBox(kImportFailed, "ERROR", kMbYesNo | kMbIconError, c.answer);
    EXPECT_EQ(t.Run(), c.result);
    EXPECT_EQ(t.screen.last_box_owner, &t.ui.owner);
    // Only a No stops the install; that is what its exit status tells.
    EXPECT_EQ(t.app.outcome().stopped_by_answer(), !c.result);
  }
}

TEST(ImportSqlScriptsTest, WaitsForPsqlAndLeavesTheScript) {
  Import t;
  t.host.input_waits = 3;
  EXPECT_TRUE(t.Run());
  EXPECT_EQ(std::count(t.screen.ui_log.begin(), t.screen.ui_log.end(), "pump"), 3);
  EXPECT_TRUE(t.host.HasFile("C:\\Temp\\1\\brevoxil.sql"));
}

TEST(SaveInstallFolderTest, RecordsTheDestinationFolder) {
  for (bool key_exists : {false, true}) {
    SCOPED_TRACE(key_exists);
    InstallerWorld t;
    if (key_exists) t.host.SetString("Software\\Corvantis\\v2.1", "InstallDir", "C:\\Old");
    t.ui.destination = "E:\\Web Sites\\Intranet\\";
    SaveInstallFolder(t.installer);
    EXPECT_EQ(t.host.Value("Software\\Corvantis\\v2.1", "InstallDir"), "E:\\Web Sites\\Intranet\\");
  }
}

TEST(SaveInstallFolderTest, KeyThatCannotOpenIsToldAndTheInstallGoesOn) {
  InstallerWorld t;
  t.host.registry_writable = false;
  t.screen.ExpectBox(
      "Unable to save installation folder to the registry. The program will not function "
      "without this information.  Contact your technical support.",
      "ERROR", kMbOk | kMbIconError, kIdOk);
  SaveInstallFolder(t.installer);
  EXPECT_EQ(t.screen.last_box_owner, &t.ui.owner);
}

TEST(SaveInstallFolderTest, ValueThatCannotBeWrittenRaises) {
  InstallerWorld t;
  t.host.value_writes_fail = true;
  EXPECT_EQ(FaultText<RegistryFault>([&t] { SaveInstallFolder(t.installer); }),
            "Failed to set data for 'InstallDir'");
}

}  // namespace
