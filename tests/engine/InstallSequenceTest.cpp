#include <gtest/gtest.h>

#include "engine/InstallSequence.h"
#include "engine/RunAndWait.h"
#include "platform/Fault.h"
#include "support/FaultText.h"
#include "support/InstallerWorld.h"

namespace {

const char kApacheKey[] = "Software\\Apache Software Foundation\\Apache\\2.2.14";
const char kPostgresKey[] = "Software\\PostgreSQL\\Installations\\postgresql-8.3";
const char kStop[] = "\"C:\\Apache2.2\\bin\\httpd.exe\" -w -n \"Apache2.2\" -k stop";
const char kRestart[] = "\"C:\\Apache2.2\\bin\\httpd.exe\" -w -n \"Apache2.2\" -k restart";
const char kStart[] = "\"C:\\Apache2.2\\bin\\httpd.exe\" -w -n \"Apache2.2\" -k start";
const char kRestored[] = "The previous state was restored and Apache was started again.";
const char kNoApache[] = "Apache does not appear to be installed on this computer.";
const char kNoPhp[] = "PHP does not appear to be installed in Apache on this computer.";
const char kNoPostgres[] =
    "PostgreSQL Server does not appear to be installed on this computer. Continue installation?";

// A server with Apache, PHP and PostgreSQL, and phases that record their
// calls and the context they were given.
struct Server {
  explicit Server(bool apache = true, bool php = true, bool postgres = true) {
    if (apache) w.host.SetString(kApacheKey, "ServerRoot", "C:\\Apache2.2\\");
    if (php)
      w.host.AddFile("C:\\Apache2.2\\conf\\httpd.conf",
                     "ServerRoot \"C:/Apache2.2\"\n"
                     "LoadModule php5_module C:\\php\\php5apache2_2.dll\n");
    if (postgres) w.host.SetString(kPostgresKey, "Base Directory", "C:\\PostgreSQL\\8.3\\");
    // The programs the commands run and php.ini, which the checks before
    // the stop look for.
    w.host.AddFile("C:\\Apache2.2\\bin\\httpd.exe", "MZ");
    w.host.AddFile("C:\\php\\php.ini", "[PHP]\r\n");
    w.host.AddFile("C:\\PostgreSQL\\8.3\\bin\\psql.exe", "MZ");
    w.host.random_values = {7};
    w.host.ticks = 1000;
    phases.CheckVersions = [this](Installer&) { return Record("CheckVersions", check); };
    phases.CheckPackage = [this](Installer&, const InstallContext&, Preflight& preflight) {
      preflight.work_folder_entries.push_back("brevoxil.sql");
      if (!Record("CheckPackage", package))
        preflight.Fails("package", "refused", "Invalid package!", kMbOk | kMbIconError);
    };
    phases.UnpackPackage = [this](Installer&, InstallContext& c) {
      seen = c;
      return Record("UnpackPackage", unpack);
    };
    phases.UpdatePhpIni = [this](Installer&, InstallContext&) {
      Record("UpdatePhpIni", true);
      if (php_ini_fault) throw FileFault("Cannot open file C:\\php\\\\php.ini");
    };
    phases.ImportSqlScripts = [this](Installer&, InstallContext&) {
      return Record("ImportSqlScripts", import);
    };
    phases.SaveInstallFolder = [this](Installer&) { Record("SaveInstallFolder", true); };
    phases.RecordModuleVersion = [this](Installer&) {
      return Record("RecordModuleVersion", record);
    };
  }

  // An error box the run is to show, answered OK.
  void Error(const std::string& text) {
    w.screen.ExpectBox(text, "ERROR", kMbOk | kMbIconError, kIdOk);
  }

  bool Record(const std::string& phase, bool result) {
    w.ui.log.push_back("phase: " + phase);
    return result;
  }

  InstallerWorld w;
  InstallPhases phases;
  bool check = true, package = true, unpack = true, import = true, record = true;
  bool php_ini_fault = false;
  InstallContext seen;
};

struct InstallSequenceTest : testing::Test, Server {};

TEST_F(InstallSequenceTest, RunsEveryPhaseInOrder) {
  w.host.on_start = [this](const std::string& command) { w.ui.log.push_back("run: " + command); };
  EXPECT_TRUE(RunInstall(w.installer, phases));
  EXPECT_EQ(w.ui.log, (std::vector<std::string>{
                          "status: Performing pre-install tasks.  Please wait...",
                          "phase: CheckVersions",
                          "phase: CheckPackage",
                          "status: Stopping Apache.  Please wait...",
                          std::string("run: ") + kStop,
                          "status: Installing module.  Please wait...",
                          "phase: UnpackPackage",
                          "phase: UpdatePhpIni",
                          "status: Configuring files.  Please wait...",
                          "status: Importing data to SQL Server.  Please wait...",
                          "phase: ImportSqlScripts",
                          "status: Configuring web pages.  Please wait...",
                          "phase: SaveInstallFolder",
                          "status: Restarting Apache.  Please wait...",
                          std::string("run: ") + kRestart,
                          "status: Performing post-install tasks.  Please wait...",
                          "phase: RecordModuleVersion",
                      }));
  EXPECT_EQ(w.host.command_lines, (std::vector<std::string>{kStop, kRestart}));
  EXPECT_EQ(seen.ServerRootPath, "C:\\Apache2.2\\");
  EXPECT_EQ(seen.PhpFolder, "C:\\php\\");
  EXPECT_EQ(seen.PgBaseDir, "C:\\PostgreSQL\\8.3\\");
  EXPECT_EQ(seen.WorkFolder, "C:\\Temp\\7000");
  EXPECT_TRUE(seen.ExtensionLines.empty());
}

TEST_F(InstallSequenceTest, EachWayOutLeavesTheWebServerAsItShould) {
  // What differs from a server where all goes well, the error boxes shown
  // (each answered OK), the web server's commands and the last phase run.
  struct Case {
    const char* what;
    std::function<void(Server&)> arrange;
    std::vector<std::string> boxes;
    std::vector<std::string> commands;
    std::string last_phase;
    bool result = false;
    bool apache = true;
  };
  const auto conf = [](const char* text) {
    return [text](Server& t) { t.w.host.AddFile("C:\\Apache2.2\\conf\\httpd.conf", text); };
  };
  const auto fails = [](bool Server::*phase, bool no_rollback = false) {
    return [phase, no_rollback](Server& t) {
      t.*phase = false;
      t.w.settings.NoRollback = no_rollback;
    };
  };
  const auto restart_fails = [](Server& t) {
    t.w.host.exit_code = [](const std::string& line) { return line == kRestart ? 1u : 0u; };
  };
  const Case cases[] = {
      {"gate refuses", fails(&Server::check), {}, {}, "CheckVersions"},
      {"no Apache", [](Server&) {}, {kNoApache}, {}, "CheckVersions", false, false},
      {"no PHP module line",
       conf("LoadModule php4_module x\\y.dll\n"),
       {kNoPhp},
       {},
       "CheckVersions"},
      {"module line without a folder",
       conf("LoadModule php5_module \"php5apache2_2.dll\"\r\n"),
       {kNoPhp},
       {},
       "CheckVersions"},
      {"package refused", fails(&Server::package), {"Invalid package!"}, {}, "CheckPackage"},
      {"unpacking fails", fails(&Server::unpack), {kRestored}, {kStop, kStart}, "UnpackPackage"},
      {"unpacking fails under /norollback",
       fails(&Server::unpack, true),
       {},
       {kStop},
       "UnpackPackage"},
      {"import stopped by the user",
       fails(&Server::import),
       {kRestored},
       {kStop, kStart},
       "ImportSqlScripts"},
      {"restart fails",
       restart_fails,
       {std::string("Apache could not be restarted.\n") + kRestart + "\nexit status 1", kRestored},
       {kStop, kRestart, kStart},
       "SaveInstallFolder"},
      {"module record fails", fails(&Server::record), {}, {kStop, kRestart}, "RecordModuleVersion"},
      {"the pre-flight plans instead of every change",
       [](Server& t) { t.w.settings.CheckOnly = true; },
       {},
       {},
       "CheckPackage",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Server t(c.apache);
    c.arrange(t);
    for (const std::string& box : c.boxes) t.Error(box);
    EXPECT_EQ(RunInstall(t.w.installer, t.phases), c.result);
    EXPECT_EQ(t.w.host.command_lines, c.commands);
    EXPECT_EQ(t.w.ui.Only("phase: ").back(), c.last_phase);
    // The changes begin with the web server's stop, and only there.
    EXPECT_EQ(t.w.app.outcome().changes_begun(), !c.commands.empty());
  }
}

TEST_F(InstallSequenceTest, MissingPostgreSqlAsksWhetherToGoOn) {
  for (int answer : {kIdNo, kIdYes, 0}) {
    SCOPED_TRACE(answer);
    Server t(true, true, false);
    FakeHost& host = t.w.host;
    FakeUi& screen = t.w.screen;
    screen.ExpectBox(kNoPostgres, "ERROR", kMbYesNo | kMbIconError, answer);
    EXPECT_EQ(RunInstall(t.w.installer, t.phases), answer != kIdNo);
    if (answer != kIdNo) {
      EXPECT_EQ(t.seen.PgBaseDir, "");
    } else {
      EXPECT_TRUE(host.command_lines.empty());
    }
  }
}

TEST_F(InstallSequenceTest, FaultsRestoreAndStartTheWebServerAgainBeforeTheyAreShown) {
  for (bool rollback : {true, false}) {
    SCOPED_TRACE(rollback);
    Server t;
    t.php_ini_fault = true;
    t.w.settings.NoRollback = !rollback;
    if (rollback) t.Error(kRestored);
    EXPECT_THROW(RunInstall(t.w.installer, t.phases), FileFault);
    const std::vector<std::string> commands =
        rollback ? std::vector<std::string>{kStop, kStart} : std::vector<std::string>{kStop};
    EXPECT_EQ(t.w.host.command_lines, commands);
    EXPECT_EQ(t.w.app.outcome().restore(),
              rollback ? InstallOutcome::Restore::kRestored : InstallOutcome::Restore::kNone);
  }
}

// A stop that fails or hangs ends the install before anything is written.
TEST_F(InstallSequenceTest, StopThatFailsChangesNothing) {
  const auto not_started = [](const std::string& stop) {
    return "not started: cannot start " + stop + ": The system cannot find the file specified.";
  };
  // The server root is used verbatim in the command lines: without its
  // backslash the program cannot be started there.
  const std::string verbatim = "\"C:\\Apache2.2bin\\httpd.exe\" -w -n \"Apache2.2\" -k stop";
  struct Case {
    const char* what;
    std::function<void(Server&)> arrange;
    std::string outcome;
    std::string stop = kStop;
  };
  const Case cases[] = {
      {"exit status", [](Server& t) { t.w.host.exit_code = [](const std::string&) { return 2u; }; },
       "exit status 2"},
      {"not started",
       [](Server& t) { t.w.host.can_start = [](const std::string&) { return false; }; },
       not_started(kStop)},
      {"hangs unattended",
       [](Server& t) {
         t.w.settings.VerySilent = true;
         t.w.settings.WaitLimitSeconds = 5;
         t.w.host.hangs = [](const std::string&) { return true; };
       },
       "ended after the wait limit of 5.000 s"},
      {"server root used verbatim in the command lines",
       [](Server& t) {
         t.w.host.SetString(kApacheKey, "ServerRoot", "C:\\Apache2.2");
         t.w.host.AddFile("C:\\Apache2.2\\conf\\httpd.conf",
                          "LoadModule php5_module C:\\php\\x.dll");
         t.w.host.AddFile("C:\\Apache2.2bin\\httpd.exe", "MZ");
         t.w.host.can_start = [](const std::string& line) {
           return line.find("2.2bin") == std::string::npos;
         };
       },
       not_started(verbatim), verbatim},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Server t;
    c.arrange(t);
    t.Error("Apache could not be stopped; nothing was changed.\n" + c.stop + "\n" + c.outcome);
    EXPECT_FALSE(RunInstall(t.w.installer, t.phases));
    EXPECT_EQ(t.w.host.command_lines, std::vector<std::string>{c.stop});
    EXPECT_EQ(t.w.ui.Only("phase: ").back(), "CheckPackage");
    EXPECT_FALSE(t.w.app.outcome().changes_begun());
    EXPECT_EQ(t.w.host.terminated, c.outcome.find("limit") != std::string::npos ? 1 : 0);
  }
}

// Every program starts after the front-end has ended its open line, and
// hidden exactly when nobody watches the run.
TEST_F(InstallSequenceTest, ProgramsStartAfterTheOpenLineEndsHiddenWhenVerySilent) {
  for (bool very_silent : {false, true}) {
    SCOPED_TRACE(very_silent);
    Server t;
    t.w.settings.VerySilent = very_silent;
    std::vector<int> ended_before;
    t.w.host.on_start = [&](const std::string&) {
      ended_before.push_back(t.w.screen.open_lines_ended);
    };
    ASSERT_TRUE(RunInstall(t.w.installer, t.phases));
    ASSERT_EQ(ended_before, (std::vector<int>{1, 2}));
    EXPECT_EQ(t.w.host.quiet_starts, std::vector<bool>(2, very_silent));
  }
}

TEST(InstallSequenceFaultTest, UnreadableHttpdConfIsARaisedFault) {
  Server t(false, false, true);
  t.w.host.AddKey("Software\\Apache Group\\Apache");  // no subkey: no ServerRoot
  EXPECT_EQ(FaultText<FileFault>([&t] { RunInstall(t.w.installer, t.phases); }),
            "Cannot open file \\conf\\httpd.conf");
  EXPECT_TRUE(t.w.screen.boxes.empty());
}

TEST_F(InstallSequenceTest, ApacheGroupKeyWinsAndOnlyTheFirstSubkeyCounts) {
  w.host.SetString("Software\\Apache Group\\Apache\\1.3", "ServerRoot", "D:\\Apache\\");
  w.host.SetString("Software\\Apache Group\\Apache\\2.0", "ServerRoot", "E:\\Apache\\");
  w.host.AddFile("D:\\Apache\\conf\\httpd.conf", "LoadModule php5_module D:\\php5\\x.dll");
  w.host.AddFile("D:\\Apache\\bin\\httpd.exe", "MZ");
  w.host.AddFile("D:\\php5\\php.ini", "");
  ASSERT_TRUE(RunInstall(w.installer, phases));
  EXPECT_EQ(seen.ServerRootPath, "D:\\Apache\\");
  EXPECT_EQ(seen.PhpFolder, "D:\\php5\\");
}

// Whichever step's precondition fails, no step runs: the web server is not
// stopped, nothing is changed, and the failing check's box is the one shown.
TEST_F(InstallSequenceTest, NoStepRunsWhenAnyStepsCheckFails) {
  const std::vector<InstallStep> steps = InstallSteps(phases);
  ASSERT_EQ(steps.size(), 7u);
  for (size_t failing = 0; failing < steps.size(); ++failing) {
    SCOPED_TRACE(steps[failing].name);
    Server t;
    std::vector<InstallStep> changed = InstallSteps(t.phases);
    std::vector<std::string> ran;
    for (InstallStep& step : changed) {
      ASSERT_TRUE(step.check && step.run);
      step.run = [&ran, name = step.name, run = step.run](Installer& i, InstallContext& c) {
        ran.push_back(name);
        return run(i, c);
      };
    }
    changed[failing].check = [check = changed[failing].check](Installer& i, const InstallContext& c,
                                                              Preflight& p) {
      check(i, c, p);
      p.Fails("a precondition", "it fails", "It fails.", kMbOk | kMbIconError);
    };
    t.Error("It fails.");
    EXPECT_FALSE(RunInstall(t.w.installer, t.phases, changed));
    EXPECT_TRUE(ran.empty());
    EXPECT_TRUE(t.w.host.command_lines.empty());
    EXPECT_FALSE(t.w.app.outcome().changes_begun());
    EXPECT_EQ(t.w.app.outcome().reason(), "It fails. (a precondition: it fails)");
  }
}

TEST(DetectPhpTest, FolderOfTheFirstModuleLine) {
  struct Case {
    std::string conf;
    std::optional<std::string> folder;
  };
  const Case cases[] = {
      {"LoadModule php5_module C:\\php\\php5apache2_2.dll\r\n", "C:\\php\\"},
      {"LoadModule php5_module    C:\\php\\x.dll   \r\n", "C:\\php\\"},
      {"LoadModule php5_module \t C:\\php\\x.dll\t\r\n", "C:\\php\\"},
      {"#LoadModule php5_module C:\\old\\x.dll\r\nLoadModule php5_module C:\\php\\x.dll\r\n",
       "C:\\old\\"},
      {"LoadModule php5_module\tC:\\php\\x.dll\r\n", std::nullopt},
      {"loadmodule php5_module C:\\php\\x.dll\r\n", std::nullopt},
      {"LoadModule php5_module\r\nC:\\php\\x.dll\r\n", std::nullopt},
      {"LoadModule php5_module \r\nC:\\php\\x.dll\r\n", std::nullopt},
      // Quoted, as PHP's instructions write it, and with forward slashes.
      {"LoadModule php5_module \"C:/php/php5apache2_2.dll\"\r\n", "C:\\php\\"},
      {"LoadModule php5_module \"C:\\php\\x.dll\"", "C:\\php\\"},
      {"LoadModule php5_module C:/php/x.dll\r\n", "C:\\php\\"},
      {"LoadModule php5_module \"C:/Program Files/PHP/php5apache2_2.dll\"\r\n",
       "C:\\Program Files\\PHP\\"},
      {"LoadModule php5_module  'D:/php 5/x.dll'  \r\n", "D:\\php 5\\"},
      {"LoadModule php5_module \"C:\\\\php\\\\x.dll\"", "C:\\php\\"},
      {"LoadModule php5_module \"C:/php\\\"q/x.dll\"", "C:\\php\"q\\"},
      {"LoadModule php5_module \"C:/php/x.dll", "C:\\php\\"},
      // No folder part: nothing to write to.
      {"LoadModule php5_module x.dll", std::nullopt},
      {"LoadModule php5_module \"x.dll\"\r\n", std::nullopt},
      {"LoadModule php5_module \"\"\r\n", std::nullopt},
      {"LoadModule php5_module C:x.dll", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.conf));
    EXPECT_EQ(PhpFolderFromHttpdConf(c.conf), c.folder);
  }
}

TEST(MakeWorkFolderNameTest, ShortTempPathAndTheWrappedProduct) {
  struct Case {
    int random;
    uint32_t ticks;
    std::string folder;
  };
  const Case cases[] = {
      {0, 123456, "C:\\DOCUME~1\\ADMINI~1\\LOCALS~1\\Temp\\0"},
      {7, 1000, "C:\\DOCUME~1\\ADMINI~1\\LOCALS~1\\Temp\\7000"},
      {32767, 0xFFFFFFFFu, "C:\\DOCUME~1\\ADMINI~1\\LOCALS~1\\Temp\\4294934529"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.random);
    FakeHost host;
    host.temp_path = "C:\\Documents and Settings\\Administrator\\Local Settings\\Temp\\";
    host.short_paths[host.temp_path] = "C:\\DOCUME~1\\ADMINI~1\\LOCALS~1\\Temp\\";
    host.random_values = {c.random};
    host.ticks = c.ticks;
    host.time = 1275271388;
    InstallContext context;
    MakeWorkFolderName(host, context);
    EXPECT_EQ(context.WorkFolder, c.folder);
    EXPECT_EQ(host.seeds, std::vector<unsigned>{1275271388u});
    EXPECT_FALSE(host.HasFolder(c.folder));
  }
}

TEST(RunAndWaitTest, PumpsWhileWaitingAndStopsOnAFailedWait) {
  FakeHost host;
  FakeUi screen;
  TApplication app(host, screen);
  host.input_waits = 3;
  EXPECT_TRUE(RunAndWait(app, "\"C:\\bin\\x.exe\" a"));
  EXPECT_EQ(std::count(screen.ui_log.begin(), screen.ui_log.end(), "pump"), 3);
  host.input_waits = 0;
  host.wait_fails = true;
  EXPECT_TRUE(RunAndWait(app, "x"));
  host.can_start = [](const std::string&) { return false; };
  EXPECT_FALSE(RunAndWait(app, "y"));
  EXPECT_EQ(host.command_lines, (std::vector<std::string>{"\"C:\\bin\\x.exe\" a", "x", "y"}));
}

}  // namespace
