#include <gtest/gtest.h>

#include "engine/Phases.h"
#include "engine/Preflight.h"
#include "engine/UnpackPackage.h"
#include "install/PackageDefinition.h"
#include "platform/Fault.h"
#include "support/FaultText.h"
#include "support/InstallerWorld.h"
#include "support/PackageBuilder.h"

namespace {

const char kPackage[] = "C:\\Setup\\Data.kpv";

InstallContext Context() {
  InstallContext context;
  context.WorkFolder = "C:\\Temp\\4242";
  context.PhpFolder = "C:\\php\\";
  return context;
}

// The unpacking's precondition as the sequence evaluates it before the web
// server's stop: true when it holds, else false after the box.
bool CheckPackage(Installer& installer) {
  Preflight preflight(installer);
  CheckUnpacking(installer, Context(), preflight);
  return preflight.Conclude();
}

TEST(UnpackPackageTest, EachEntryGoesToTheFolderOfItsExtension) {
  struct Case {
    std::string name;
    std::string folder;
    std::string extension_line;
  };
  const Case cases[] = {
      {"index.php", "C:\\Intranet", ""},
      {"PHP_PGSQL.DLL", "C:\\php\\\\ext", "extension=PHP_PGSQL.DLL"},
      {"php_x.dll", "C:\\php\\\\ext", "extension=php_x.dll"},
      {"ext/php_x.dll", "C:\\php\\\\ext", ""},
      {"libpq.dll", "C:\\php\\\\ext", ""},
      {"Microsoft.VC90.CRT.manifest", "C:\\php\\\\ext", ""},
      {"php5ts.Manifest", "C:\\php\\\\ext", ""},
      {"Setup.SQL", "C:\\Temp\\4242", ""},
      {"brevoxil.sql", "C:\\Temp\\4242", ""},
      {"docs.old/readme", "C:\\Intranet", ""},
      {"docs.old\\readme", "C:\\Intranet", ""},
      {"docs/read.me.SQL", "C:\\Temp\\4242", ""},
      {"README", "C:\\Intranet", ""},
      {"images/logo.gif", "C:\\Intranet", ""},
      {"archive.dll.bak", "C:\\Intranet", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const EntryPlacement p = PlaceEntry(c.name, Context(), "C:\\Intranet");
    EXPECT_EQ(p.folder, c.folder);
    EXPECT_EQ(p.extension_line, c.extension_line);
  }
  EXPECT_EQ(EntryBaseName("images/icons\\a:b.gif"), "b.gif");
  EXPECT_EQ(EntryExtension("A.\xC9XT"), ".\xE9xt");
}

// An installer with the package of `entries` beside it.
struct Unpacking {
  void Package(const std::vector<std::pair<std::string, std::string>>& entries,
               const std::string& password = std::string()) {
    w.host.AddFile(kPackage, MakeArchive(entries, password));
  }
  bool Unpack() { return UnpackPackage(w.installer, context); }
  InstallerWorld w;
  InstallContext context = Context();
};

struct UnpackTest : testing::Test, Unpacking {};

TEST_F(UnpackTest, PlacesEveryEntryAndCollectsTheExtensionLines) {
  Package({{"index.php", "<?php ?>"},
           {"images/logo.gif", "GIF89a"},
           {"php_articles.dll", "MZ"},
           {"php_articles.dll.manifest", "<assembly/>"},
           {"brevoxil.sql", "CREATE TABLE x();"}});
  ASSERT_TRUE(CheckPackage(w.installer));  // reads, and writes nothing
  EXPECT_FALSE(w.host.HasFolder("C:\\Intranet\\images"));
  EXPECT_EQ(w.host.open_files(), 0);
  ASSERT_TRUE(Unpack());
  EXPECT_EQ(w.host.FileContent("C:\\Intranet\\index.php"), "<?php ?>");
  EXPECT_EQ(w.host.FileContent("C:\\Intranet\\images\\logo.gif"), "GIF89a");
  EXPECT_EQ(w.host.FileContent("C:\\php\\ext\\php_articles.dll"), "MZ");
  EXPECT_EQ(w.host.FileContent("C:\\php\\ext\\php_articles.dll.manifest"), "<assembly/>");
  EXPECT_EQ(w.host.FileContent("C:\\Temp\\4242\\brevoxil.sql"), "CREATE TABLE x();");
  EXPECT_EQ(context.ExtensionLines, std::vector<std::string>{"extension=php_articles.dll"});
  EXPECT_EQ(w.ui.Only("progress: "), (std::vector<std::string>{"0", "20", "40", "60", "80"}));
  EXPECT_EQ(w.ui.Only("text: ").back(), "Extracting file...brevoxil.sql");
  EXPECT_EQ(w.host.open_files(), 0);
}

TEST_F(UnpackTest, TheStatusNamesTheEntryByItsBaseNameCutTo260Characters) {
  const std::string long_name = std::string(270, 'n') + ".php";
  Package({{"images/icons/logo.gif", "GIF89a"}, {"docs/" + long_name, "<?php ?>"}});
  ASSERT_TRUE(Unpack());
  EXPECT_EQ(w.ui.Only("text: "),
            (std::vector<std::string>{"Extracting file...logo.gif",
                                      "Extracting file..." + std::string(260, 'n')}));
}

TEST_F(UnpackTest, ProgressNeverReachesAHundred) {
  struct Case {
    int entries;
    std::vector<std::string> progress;
  };
  const Case cases[] = {
      {1, {"0"}},
      {3, {"0", "33", "66"}},
      {7, {"0", "14", "28", "42", "57", "71", "85"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entries);
    Unpacking u;
    std::vector<std::pair<std::string, std::string>> entries;
    for (int i = 0; i < c.entries; ++i) entries.emplace_back("f" + std::to_string(i), "x");
    u.Package(entries);
    ASSERT_TRUE(u.Unpack());
    EXPECT_EQ(u.w.ui.Only("progress: "), c.progress);
  }
}

TEST_F(UnpackTest, FolderEntriesOnlyPlaceNothing) {
  Package({{"docs/", ""}, {"docs/img/", ""}});
  ASSERT_TRUE(Unpack());
  EXPECT_TRUE(w.ui.Only("progress: ").empty());
  EXPECT_TRUE(context.ExtensionLines.empty());
  EXPECT_FALSE(w.host.HasFolder("C:\\Intranet\\docs"));
}

TEST_F(UnpackTest, AnUnusablePackageIsInvalid) {
  struct Case {
    const char* what;
    std::function<void(FakeHost&)> arrange;
  };
  const Case cases[] = {
      {"missing", [](FakeHost&) {}},
      {"not an archive", [](FakeHost& h) { h.AddFile(kPackage, "MZ\x90\x00 not a zip"); }},
      {"no entries at all", [](FakeHost& h) { h.AddFile(kPackage, MakeArchive({})); }},
      {"locked",
       [](FakeHost& h) {
         h.AddFile(kPackage, MakeArchive({{"a.php", "x"}}));
         h.LockFile(kPackage);
       }},
      {"a name leading outside the folder",
       [](FakeHost& h) {
         h.AddFile(kPackage, RenameEntry(MakeArchive({{"a.php", "x"}, {"xx_xx_xxxx.ini", "x"}}),
                                         "xx_xx_xxxx.ini", "../../boot.ini"));
       }},
      {"a device name",
       [](FakeHost& h) {
         h.AddFile(kPackage, RenameEntry(MakeArchive({{"a.php", "x"}, {"xxx.php", "x"}}), "xxx.php",
                                         "aux.php"));
       }},
  };
  // The check before the web server stops and the unpacking say the same.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Unpacking u;
    c.arrange(u.w.host);
    for (int showings = 0; showings < 2; ++showings)
      u.w.screen.ExpectBox("Invalid package!", "ERROR", kMbOk | kMbIconError, kIdOk);
    EXPECT_FALSE(CheckPackage(u.w.installer));
    EXPECT_EQ(u.w.host.open_files(), 0);
    EXPECT_FALSE(u.Unpack());
    EXPECT_EQ(u.w.host.open_files(), 0);
    EXPECT_EQ(u.w.screen.last_box_owner, &u.w.ui.owner);
  }
}

// An installer released with a package's digest takes that package only;
// one bound to none takes any. The plan names both digests.
TEST(PackageDigestTest, OnlyThePackageOfTheBoundDigestIsTaken) {
  const std::string package = MakeArchive({{"index.php", "<?php ?>"}});
  std::string changed = package;
  changed[changed.size() / 2] ^= 1;
  const std::string other = MakeArchive({{"index.php", "<?php evil(); ?>"}});
  InstallerWorld probe;
  probe.host.AddFile(kPackage, package);
  const std::string digest = *FileSha256(probe.host, kPackage, kShareRead);
  const struct {
    const char* what;
    std::string bound;
    std::optional<std::string> file;  // nullopt: no Data.kpv
    bool taken;
  } cases[] = {
      {"bound to no package", "", other, true},
      {"its own package", digest, package, true},
      {"one byte changed", digest, changed, false},
      {"another valid package", digest, other, false},
      {"no package at all", digest, std::nullopt, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    InstallerWorld w;
    PackageDefinition bound = ThePackage();
    bound.PackageSha256 = c.bound;
    Installer installer{w.app, bound, w.settings, w.ui, w.connection, w.query, w.login};
    if (c.file) w.host.AddFile(kPackage, *c.file);
    std::vector<std::string> plan;
    w.app.plan().SetOutput([&plan](const std::string& line) { plan.push_back(line); });
    // Through the unpacking's own precondition, as the install and the
    // pre-flight evaluate it.
    Preflight preflight(installer);
    CheckUnpacking(installer, InstallContext(), preflight);
    std::vector<std::string> digest_lines;
    for (const std::string& line : plan)
      if (line.find("released with") != std::string::npos) digest_lines.push_back(line);
    EXPECT_EQ(w.host.open_files(), 0);
    if (c.taken) {
      for (const Preflight::Failure& failure : preflight.failures())
        EXPECT_EQ(failure.what.find("released with"), std::string::npos) << failure.what;
    } else {
      ASSERT_FALSE(preflight.failures().empty());
      EXPECT_NE(preflight.failures()[0].what.find("released with"), std::string::npos);
      ASSERT_EQ(preflight.failures().size(), 1u);  // read no further
      w.screen.ExpectBox("Invalid package!", "ERROR", kMbOk | kMbIconError, kIdOk);
      EXPECT_FALSE(preflight.Conclude());
      ASSERT_EQ(digest_lines.size(), 1u);
      EXPECT_NE(digest_lines[0].find(digest), std::string::npos) << digest_lines[0];
      if (c.file) {
        const std::string actual = *FileSha256(w.host, kPackage, kShareRead);
        EXPECT_NE(digest_lines[0].find(actual + " differs from "), std::string::npos)
            << digest_lines[0];
      }
    }
  }
}

TEST_F(UnpackTest, AnExtractionErrorStopsThePhaseAndKeepsEarlierFiles) {
  Package({{"a.php", "first"}, {"b.php", "second"}, {"c.php", "third"}});
  w.host.AddFile("C:\\Intranet\\b.php", "in use");
  w.host.LockFile("C:\\Intranet\\b.php");
  // The box names the target and the system's reason after its text.
  w.screen.ExpectBox(
      "Could not create target\nC:\\Intranet\\b.php: The process cannot access the file "
      "because it is being used by another process.",
      "ERROR", kMbOk | kMbIconError, kIdOk);
  EXPECT_FALSE(Unpack());
  EXPECT_EQ(w.host.FileContent("C:\\Intranet\\a.php"), "first");
  EXPECT_EQ(w.host.FileContent("C:\\Intranet\\b.php"), "in use");
  EXPECT_FALSE(w.host.HasFile("C:\\Intranet\\c.php"));
  EXPECT_EQ(w.ui.Only("progress: "), std::vector<std::string>{"0"});
  EXPECT_EQ(w.host.open_files(), 0);
}

TEST_F(UnpackTest, AnEncryptedPackageWithoutAPasswordIsRefusedCleanly) {
  Package({{"index.php", "<?php secret ?>"}}, "s3cret");
  w.screen.ExpectBox("Invalid password", "ERROR", kMbOk | kMbIconError, kIdOk);
  EXPECT_FALSE(Unpack());
  EXPECT_FALSE(w.host.HasFile("C:\\Intranet\\index.php"));
  // With the password it would install.
  Unpacking with;
  with.w.settings.PackagePassword = "s3cret";
  with.Package({{"index.php", "<?php secret ?>"}}, "s3cret");
  ASSERT_TRUE(with.Unpack());
  EXPECT_EQ(with.w.host.FileContent("C:\\Intranet\\index.php"), "<?php secret ?>");
}

TEST_F(UnpackTest, AnEmptyDestinationFolderIsARaisedFault) {
  Package({{"index.php", "x"}});
  w.ui.destination = "";
  EXPECT_EQ(FaultText<FileFault>([this] { Unpack(); }), "Unable to create directory");
  EXPECT_EQ(w.host.open_files(), 0);
}

}  // namespace
