#include <gtest/gtest.h>

#include <functional>

#include "engine/InstallSequence.h"
#include "platform/Fault.h"
#include "support/FaultText.h"
#include "support/InstallerWorld.h"
#include "support/PackageBuilder.h"

namespace {

const char kPackage[] = "C:\\Setup\\Data.kpv";
const char kBox[] = "Could not create target";

// A machine the update applies to, its package made of `entries`.
void Machine(FakeHost& host, const std::vector<std::pair<std::string, std::string>>& entries) {
  host.SetString("Software\\Apache Software Foundation\\Apache\\2.2.14", "ServerRoot",
                 "C:\\Apache2.2\\");
  host.AddFile("C:\\Apache2.2\\conf\\httpd.conf", "LoadModule php5_module C:\\php\\x.dll\r\n");
  host.AddFile("C:\\Apache2.2\\bin\\httpd.exe", "MZ");
  host.SetString("Software\\PostgreSQL\\Installations\\postgresql-8.3", "Base Directory",
                 "C:\\PostgreSQL\\8.3\\");
  host.AddFile("C:\\PostgreSQL\\8.3\\bin\\psql.exe", "MZ");
  host.AddFile("C:\\php\\php.ini", "extension=php_zip.dll\r\n\r\n");
  host.AddFolder("C:\\php\\ext");
  host.AddFolder("C:\\Intranet");
  host.AddFile(kPackage, MakeArchive(entries));
}

const std::vector<std::pair<std::string, std::string>> kEntries = {
    {"articles/index.php", "<?php ?>"}, {"php_articles.dll", "MZ"}, {"brevoxil.sql", "SELECT 1;"}};

// The pre-flight and then the install on two copies of one machine: they
// agree, and a refusal changes nothing.
TEST(PreflightTest, CheckAndInstallAgreeOnEveryPrecondition) {
  struct Case {
    const char* what;
    std::function<void(FakeHost&)> arrange;
    std::string box;  // empty: all hold; a raised fault's text when raised
    unsigned flags = kMbOk | kMbIconError;
    int answer = kIdOk;
    bool raised = false;
    size_t commands = 3;  // of an install that goes ahead: stop, psql.exe, restart
  };
  const auto package = [](std::vector<std::pair<std::string, std::string>> entries) {
    return [entries](FakeHost& h) { h.AddFile(kPackage, MakeArchive(entries)); };
  };
  const Case cases[] = {
      {"all hold", [](FakeHost&) {}, ""},
      {"no package", [](FakeHost& h) { h.RemoveFile(kPackage); }, "Invalid package!"},
      {"data failing its CRC",
       [](FakeHost& h) {
         h.AddFile(kPackage, RenameEntry(MakeArchive(kEntries), "<?php ?>", "<?php !>"));
       },
       "Could not read from Zip file"},
      {"encrypted, no password",
       [](FakeHost& h) { h.AddFile(kPackage, MakeArchive(kEntries, "pw")); }, "Invalid password"},
      {"a folder at a target",
       [](FakeHost& h) { h.AddFolder("C:\\Intranet\\articles\\index.php"); }, kBox},
      {"a file on the way", [](FakeHost& h) { h.AddFile("C:\\Intranet\\articles", "x"); }, kBox},
      {"a file entry before a folder of the same name",
       package({{"articles", "x"}, {"articles/index.php", "y"}}), kBox},
      {"a name of dots only", package({{"./.", "x"}}), kBox},
      {"a read-only target",
       [](FakeHost& h) {
         h.AddFile("C:\\Intranet\\articles\\index.php", "old");
         h.SetReadOnly("C:\\Intranet\\articles\\index.php");
       },
       kBox},
      {"a folder that takes no new file", [](FakeHost& h) { h.RefuseNewFiles("C:\\php\\ext"); },
       kBox},
      {"no room for the new bytes", [](FakeHost& h) { h.disk_space = 10; },
       "Could not write to target"},
      {"no room for the old bytes kept aside",
       [](FakeHost& h) {
         h.AddFile("C:\\Intranet\\articles\\index.php", std::string(40, 'o'));
         h.disk_space = 40;
       },
       "Could not write to target"},
      {"an extension name that breaks php.ini", package({{"php_a;b.dll", "MZ"}}),
       "Invalid package!"},
      {"php.ini missing", [](FakeHost& h) { h.RemoveFile("C:\\php\\php.ini"); },
       "Cannot open file C:\\php\\\\php.ini", 0, 0, true},
      {"php.ini a folder",
       [](FakeHost& h) {
         h.RemoveFile("C:\\php\\php.ini");
         h.AddFolder("C:\\php\\php.ini");
       },
       "Cannot open file C:\\php\\\\php.ini", 0, 0, true},
      {"php.ini read-only", [](FakeHost& h) { h.SetReadOnly("C:\\php\\php.ini"); },
       "Cannot create file C:\\php\\\\php.ini", 0, 0, true},
      {"psql.exe missing, No",
       [](FakeHost& h) { h.RemoveFile("C:\\PostgreSQL\\8.3\\bin\\psql.exe"); },
       "An error occured whilst trying to import data into SQL Server. Continue installation?",
       kMbYesNo | kMbIconError, kIdNo},
      {"no script for psql.exe to import", package({{"index.php", "x"}}),
       "An error occured whilst trying to import data into SQL Server. Continue installation?",
       kMbYesNo | kMbIconError, kIdNo},
      {"httpd.exe missing", [](FakeHost& h) { h.RemoveFile("C:\\Apache2.2\\bin\\httpd.exe"); },
       "Apache cannot be stopped for the update: C:\\Apache2.2\\bin\\httpd.exe cannot be found."},
      {"the product key cannot be written",
       [](FakeHost& h) {
         h.AddKey("Software\\Corvantis\\v2.1");
         h.RefuseKeyWrites("Software\\Corvantis\\v2.1");
       },
       "Unable to save installation folder to the registry. The program will not function without "
       "this information.  Contact your technical support."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool results[2];
    std::vector<std::string> files[2];
    for (int run = 0; run < 2; ++run) {
      InstallerWorld w;
      Machine(w.host, kEntries);
      c.arrange(w.host);
      w.settings.CheckOnly = run == 0;
      if (!c.box.empty() && !c.raised) w.screen.ExpectBox(c.box, "ERROR", c.flags, c.answer);
      InstallPhases phases;
      phases.CheckVersions = [](Installer&) { return true; };
      phases.RecordModuleVersion = [](Installer&) { return true; };
      const std::vector<std::string> before = w.host.Files();
      if (c.raised) {
        EXPECT_EQ(FaultText<FileFault>([&] { RunInstall(w.installer, phases); }), c.box);
        results[run] = false;
      } else {
        results[run] = RunInstall(w.installer, phases);
      }
      files[run] = w.host.Files();
      if (run == 0 || !c.box.empty()) {
        // Nothing changed: no command ran, no file was written.
        EXPECT_TRUE(w.host.command_lines.empty());
        EXPECT_EQ(files[run], before);
        EXPECT_FALSE(w.app.outcome().changes_begun());
      } else {
        EXPECT_EQ(w.host.command_lines.size(), c.commands);
      }
    }
    EXPECT_EQ(results[0], c.box.empty());
    EXPECT_EQ(results[1], results[0]);
  }
}

// Sizes of 2 GiB and more are stored as negative signed columns.
TEST(PreflightTest, EntrySizesReadAsUnsigned) {
  EXPECT_EQ(EntrySizeText("325"), "325");
  EXPECT_EQ(EntrySizeText("-2147483648"), "2147483648");
  EXPECT_EQ(EntrySizeText("-1"), "4294967295");
  EXPECT_EQ(EntrySizeText("x"), "?");
  EXPECT_EQ(EntrySizeText(""), "?");
}

}  // namespace
