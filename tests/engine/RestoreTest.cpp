#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "engine/InstallJournal.h"
#include "engine/InstallSequence.h"
#include "platform/Fault.h"
#include "support/InstallerWorld.h"
#include "support/PackageBuilder.h"

namespace {

const char kHttpd[] = "\"C:\\Apache2.2\\bin\\httpd.exe\" -w -n \"Apache2.2\" -k ";
const char kRestored[] = "The previous state was restored and Apache was started again.";
const char kImportFailed[] =
    "An error occured whilst trying to import data into SQL Server. Continue installation?";

const char kProduct[] = "Software\\Corvantis\\v2.1";

// The product's keys, whether each is there, and the value the install
// writes, with its type.
std::string RegistryState(FakeHost& host) {
  std::string data;
  std::unique_ptr<HostRegistryKey> key = host.OpenLocalMachineKey(kProduct, false);
  const RegValueType type = key ? key->QueryValue("InstallDir", &data) : RegValueType::kMissing;
  return std::to_string(host.HasKey("Software\\Corvantis")) + std::to_string(key != nullptr) +
         " type " + std::to_string(static_cast<int>(type)) + " " + data;
}

// Every file of the fake machine with its bytes, the temp folder (the work
// folder's home) left out, and the registry value the install writes with
// its type and keys.
std::map<std::string, std::string> State(FakeHost& host) {
  std::map<std::string, std::string> state;
  for (const std::string& file : host.Files())
    if (file.compare(0, 8, "c:\\temp\\") != 0) state[file] = host.FileContent(file);
  state["InstallDir"] = host.Value("Software\\Corvantis\\v2.1", "InstallDir").value_or("(none)");
  state["registry"] = RegistryState(host);
  return state;
}

// The real phases on a machine where the package replaces a file and adds
// others, one of them in a new folder, each failure after the stop:
// everything is as before, the web server started again.
TEST(RestoreTest, EachFailureAfterTheStopPutsTheMachineBack) {
  struct Case {
    const char* what;
    std::function<void(InstallerWorld&, InstallPhases&)> arrange;
    std::vector<std::string> boxes;  // after the failure's own
    std::vector<std::string> actions;
    bool raised = false;
  };
  const auto at_stop = [](std::function<void(FakeHost&)> change) {
    return [change](InstallerWorld& w, InstallPhases&) {
      w.host.on_start = [&w, change](const std::string& line) {
        if (line == kHttpd + std::string("stop")) change(w.host);
      };
    };
  };
  const Case cases[] = {
      {"an entry's target locked after the stop",
       at_stop([](FakeHost& h) { h.LockFile("C:\\php\\ext\\php_articles.dll"); }),
       {"Could not create target\nC:\\php\\ext\\php_articles.dll: The process cannot "
        "access the file because it is being used by another process.",
        kRestored},
       {"stop", "start"}},
      {"php.ini locked after the stop",
       at_stop([](FakeHost& h) { h.LockFile("C:\\php\\php.ini"); }),
       {kRestored},
       {"stop", "start"},
       true},
      {"the script fails, answered No",
       [](InstallerWorld& w, InstallPhases&) {
         w.host.exit_code = [](const std::string& line) {
           return line.find("psql.exe") != std::string::npos ? 3u : 0u;
         };
       },
       {kImportFailed, kRestored},
       {"stop", "start"}},
      {"the restart fails",
       [](InstallerWorld& w, InstallPhases&) {
         w.host.exit_code = [](const std::string& line) {
           return line == kHttpd + std::string("restart") ? 1u : 0u;
         };
       },
       {std::string("Apache could not be restarted.\n") + kHttpd + "restart\nexit status 1",
        kRestored},
       {"stop", "restart", "start"}},
      {"kept by copies where the volume has no hard links",
       [](InstallerWorld& w, InstallPhases&) {
         w.host.hard_links = false;
         w.host.exit_code = [](const std::string& line) {
           return line == kHttpd + std::string("restart") ? 1u : 0u;
         };
       },
       {std::string("Apache could not be restarted.\n") + kHttpd + "restart\nexit status 1",
        kRestored},
       {"stop", "restart", "start"}},
      {"a REG_EXPAND_SZ in a key that holds another value",
       [](InstallerWorld& w, InstallPhases&) {
         w.host.SetValue(kProduct, "InstallDir", RegValueType::kExpandString, "%SystemDrive%\\I");
         w.host.SetString(kProduct, "Build", "42");
         w.host.exit_code = [](const std::string& line) {
           return line == kHttpd + std::string("restart") ? 1u : 0u;
         };
       },
       {std::string("Apache could not be restarted.\n") + kHttpd + "restart\nexit status 1",
        kRestored},
       {"stop", "restart", "start"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    InstallerWorld w;
    w.settings.VerySilent = true;
    w.host.SetString("Software\\Apache Software Foundation\\Apache\\2.2.14", "ServerRoot",
                     "C:\\Apache2.2\\");
    w.host.AddFile("C:\\Apache2.2\\conf\\httpd.conf", "LoadModule php5_module C:\\php\\x.dll\r\n");
    w.host.AddFile("C:\\Apache2.2\\bin\\httpd.exe", "MZ");
    w.host.SetString("Software\\PostgreSQL\\Installations\\postgresql-8.3", "Base Directory",
                     "C:\\PostgreSQL\\8.3\\");
    w.host.AddFile("C:\\PostgreSQL\\8.3\\bin\\psql.exe", "MZ");
    w.host.AddFile("C:\\php\\php.ini", "extension=php_zip.dll\r\n\r\n");
    w.host.AddFile("C:\\php\\ext\\php_articles.dll", "MZ old");
    w.host.AddFolder("C:\\Intranet");
    w.host.AddFile("C:\\Setup\\Data.kpv", MakeArchive({{"articles/list/index.php", "<?php ?>"},
                                                       {"php_articles.dll", "MZ new"},
                                                       {"brevoxil.sql", "SELECT 1;"},
                                                       {"z.php", "<?php ?>"}}));
    InstallPhases phases;
    phases.CheckVersions = [](Installer&) { return true; };
    phases.RecordModuleVersion = [](Installer&) { return true; };
    c.arrange(w, phases);
    for (const std::string& box : c.boxes) {
      const bool question = box == kImportFailed;
      w.screen.ExpectBox(box, "ERROR", (question ? kMbYesNo : kMbOk) | kMbIconError,
                         question ? kIdNo : kIdOk);
    }
    const std::map<std::string, std::string> before = State(w.host);
    if (c.raised) {
      // The fault names the file, and the system's reason follows it.
      try {
        RunInstall(w.installer, phases);
        ADD_FAILURE() << "no fault raised";
      } catch (const FileFault& e) {
        EXPECT_STREQ(e.what(),
                     "Cannot open file C:\\php\\\\php.ini\nThe process cannot access the file "
                     "because it is being used by another process.");
      }
    } else
      EXPECT_FALSE(RunInstall(w.installer, phases));
    EXPECT_EQ(State(w.host), before);
    EXPECT_FALSE(w.host.HasFolder("C:\\Intranet\\articles"));
    std::vector<std::string> actions;
    for (const std::string& line : w.host.command_lines)
      if (line.compare(0, sizeof kHttpd - 1, kHttpd) == 0)
        actions.push_back(line.substr(sizeof kHttpd - 1));
    EXPECT_EQ(actions, c.actions);
    EXPECT_EQ(w.app.outcome().restore(), InstallOutcome::Restore::kRestored);
  }
}

// What cannot be put back is named, and the run says so.
TEST(RestoreTest, WhatCannotBePutBackIsNamed) {
  FakeHost host;
  RunLog log(host);
  host.AddFolder("C:\\Temp\\1");
  host.AddFile("C:\\Intranet\\a.php", "old");
  InstallJournal journal(host, log);
  ASSERT_TRUE(journal.Begin("C:\\Temp\\1"));
  journal.BeforeFoldersFor("C:\\Intranet\\new\\b.php");
  ASSERT_TRUE(journal.BeforePlacing("C:\\Intranet\\a.php"));
  host.AddFile("C:\\Intranet\\a.php", "new");
  host.AddFile("C:\\Intranet\\new\\b.php", "new");
  host.SetReadOnly("C:\\Intranet\\a.php");
  std::vector<std::string> not_restored;
  EXPECT_FALSE(journal.Restore(&not_restored));
  // The new folder holds a file nobody noted: it stays, and so does a.php.
  EXPECT_EQ(not_restored, (std::vector<std::string>{"C:\\Intranet\\a.php", "C:\\Intranet\\new"}));
  EXPECT_EQ(host.FileContent("C:\\Intranet\\a.php"), "new");
}

// A key the install made goes while nothing else stands in it; what cannot
// come back is named.
TEST(RestoreTest, KeysTheInstallMadeGoWhileNothingElseStandsInThem) {
  const struct {
    const char* what;
    std::function<void(FakeHost&)> before, meanwhile;
    std::vector<std::string> not_restored;
    std::string line;  // of the log
  } cases[] = {
      {"both keys made",
       [](FakeHost& h) { h.AddKey("Software"); },
       [](FakeHost&) {},
       {},
       "restore: registry value put back: Software\\Corvantis\\v2.1\\InstallDir\r\n"
       "   0.000  restore: registry key removed: Software\\Corvantis\r\n"},
      {"a key made takes another value",
       [](FakeHost& h) { h.AddKey("Software\\Corvantis"); },
       [](FakeHost& h) { h.SetString(kProduct, "Other", "x"); },
       {kProduct},
       "restore: could not put back Software\\Corvantis\\v2.1: HKEY_LOCAL_MACHINE\\Software\\"
       "Corvantis\\v2.1 holds values or keys the install did not write\r\n"},
      {"a value of another type",
       [](FakeHost& h) { h.SetValue(kProduct, "InstallDir", RegValueType::kOther, "x"); },
       [](FakeHost&) {},
       {std::string(kProduct) + "\\InstallDir"},
       "restore: could not put back Software\\Corvantis\\v2.1\\InstallDir: its old type cannot "
       "be written\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeHost host;
    host.AddFolder("C:\\Temp\\1");
    host.AddFolder("C:\\Logs");
    RunLog log(host);
    ASSERT_TRUE(log.Open("C:\\Logs\\setup.log"));
    c.before(host);
    const std::string before = RegistryState(host);
    InstallJournal journal(host, log);
    ASSERT_TRUE(journal.Begin("C:\\Temp\\1"));
    journal.KeepRegistryValue(kProduct, "InstallDir");
    ASSERT_TRUE(host.OpenLocalMachineKey(kProduct, true)->SetStringValue("InstallDir", "C:\\I"));
    c.meanwhile(host);
    std::vector<std::string> not_restored;
    EXPECT_EQ(journal.Restore(&not_restored), c.not_restored.empty());
    EXPECT_EQ(not_restored, c.not_restored);
    EXPECT_EQ(RegistryState(host) == before, c.not_restored.empty());
    EXPECT_NE(host.FileContent("C:\\Logs\\setup.log").find(c.line), std::string::npos);
  }
}

}  // namespace
