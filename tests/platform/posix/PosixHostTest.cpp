#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <sstream>

#include "TempFolder.h"
#include "formlib/FileUtil.h"
#include "platform/Fault.h"
#include "platform/posix/PosixHost.h"
#include "support/HostContract.h"

namespace {

struct TestHost {
  explicit TestHost(const std::string& prefix) {
    PosixHostOptions options;
    options.prefix = prefix;
    host = CreatePosixHost(options);
    host->SetNoticeSink([this](const std::string& line) { diagnostics << line << "\n"; });
  }
  std::ostringstream diagnostics;
  std::unique_ptr<Host> host;
};

TEST(PosixHostTest, KeepsTheHostContract) {
  TempFolder prefix;
  MakeHostFolders(prefix / "drive_c/Contract");
  TestHost t(prefix.path());
  HostContractOptions options;
  options.folder = "C:\\Contract\\";
  options.enforces_sharing = false;
  options.native_folder = prefix.path() + "/drive_c/Contract/";
  CheckHostContract(*t.host, options);
  EXPECT_EQ(ReadHostFile(prefix / "drive_c/Contract/Seek.bin"), std::string("abc\0def", 7));
}

// The package digest is the one sha256sum gives, over a file of odd length
// read in many pieces.
TEST(PosixHostTest, FileSha256AgreesWithSha256sum) {
  TempFolder prefix;
  MakeHostFolders(prefix / "drive_c");
  TestHost t(prefix.path());
  std::string bytes;
  for (unsigned i = 0; i < 300001; ++i) bytes += static_cast<char>((i * 7919u) >> 3);
  ASSERT_TRUE(WriteAllTo(*t.host, "C:\\Data.kpv", bytes));
  const std::string command = "sha256sum '" + (prefix / "drive_c/Data.kpv") + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[65] = {};
  ASSERT_EQ(fread(line, 1, 64, pipe), 64u);
  pclose(pipe);
  EXPECT_EQ(FileSha256(*t.host, "C:\\Data.kpv", kShareRead), std::string(line));
}

// The Windows file calls themselves are checked by the host contract.
TEST(PosixHostTest, ACraftedNameCannotWriteOutsideThePrefix) {
  TempFolder prefix;
  MakeHostFolders(prefix / "drive_c");
  TestHost t(prefix.path());
  std::unique_ptr<HostFile> escaped = t.host->CreateFileForWrite("C:\\..\\..\\..\\escaped.txt");
  EXPECT_NE(escaped, nullptr);
  EXPECT_EQ(access((prefix / "drive_c/escaped.txt").c_str(), F_OK), 0);
}

// The temp folder is only named until something is placed in it; then it
// is made private.
TEST(PosixHostTest, TempFolderIsPrivateAndMadeWhenFirstUsed) {
  TempFolder prefix;
  MakeHostFolders(prefix / "drive_c");
  TestHost t(prefix.path());
  const std::string temp = t.host->TempPath();
  ASSERT_EQ(temp.substr(0, 9), "C:\\users\\");
  ASSERT_EQ(temp.substr(temp.size() - 6), "\\Temp\\");
  const std::string user = temp.substr(9, temp.size() - 15);
  const std::string host_temp = prefix / ("drive_c/users/" + user + "/Temp");
  EXPECT_EQ(t.host->ShortPathName(temp), temp);
  EXPECT_NE(access((prefix / "drive_c/users").c_str(), F_OK), 0);  // nothing made yet

  ASSERT_TRUE(ForceDirectories(*t.host, temp + "12345"));
  struct stat st;
  ASSERT_EQ(stat(host_temp.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(stat((host_temp + "/12345").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);  // 0777 less the umask
  ASSERT_EQ(stat((prefix / "drive_c/users").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
}

// What stands at a path the installer reads or writes: a link is never
// written through (it is replaced by a new file), a pipe or device is
// refused at once, and nothing outside changes.
TEST(PosixHostTest, LinksAndSpecialFilesAreNeverWrittenThrough) {
  TempFolder prefix;
  MakeHostFolders(prefix / "drive_c/Intranet");
  MakeHostFolders(prefix / "outside");
  const std::string sentinel = prefix / "outside/sentinel.txt";
  const std::string missing = prefix / "outside/created.txt";
  TestHost t(prefix.path());
  Host& host = *t.host;
  enum Expect { kReplaced, kRefused };
  struct Case {
    const char* what;
    std::function<void(const std::string&)> make;
    Expect write;         // CreateFileForWrite
    bool readable;        // OpenFileForRead
    uint32_t attributes;  // FileAttributes
  };
  const Case cases[] = {
      {"a file", [](const std::string& p) { WriteHostFile(p, "old"); }, kReplaced, true,
       kAttributeNormal},
      {"a link to a file outside",
       [&](const std::string& p) { ASSERT_EQ(symlink(sentinel.c_str(), p.c_str()), 0); }, kReplaced,
       true, kAttributeNormal},
      {"a link to nothing outside",
       [&](const std::string& p) { ASSERT_EQ(symlink(missing.c_str(), p.c_str()), 0); }, kReplaced,
       false, kInvalidFileAttributes},
      {"a hard link to a file outside",
       [&](const std::string& p) { ASSERT_EQ(link(sentinel.c_str(), p.c_str()), 0); }, kReplaced,
       true, kAttributeNormal},
      {"a pipe", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0666), 0); }, kRefused,
       false, kAttributeDevice},
      {"a link to a device",
       [](const std::string& p) { ASSERT_EQ(symlink("/dev/zero", p.c_str()), 0); }, kReplaced,
       false, kAttributeDevice},
      {"a folder", [](const std::string& p) { MakeHostFolders(p); }, kRefused, false,
       kAttributeDirectory},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteHostFile(sentinel, "keep");
    const std::string at = prefix / "drive_c/Intranet/index.php";
    c.make(at);
    EXPECT_EQ(host.FileAttributes("C:\\Intranet\\index.php"), c.attributes);
    EXPECT_EQ(host.OpenFileForRead("C:\\Intranet\\index.php", kShareRead) != nullptr, c.readable);
    {
      std::unique_ptr<HostFile> file = host.CreateFileForWrite("C:\\Intranet\\index.php");
      ASSERT_EQ(file != nullptr, c.write == kReplaced);
      if (file != nullptr) {
        uint32_t done = 0;
        ASSERT_TRUE(file->Write("new", 3, &done));
      }
    }
    struct stat st;
    ASSERT_EQ(lstat(at.c_str(), &st), 0);
    if (c.write == kReplaced) {
      EXPECT_TRUE(S_ISREG(st.st_mode));
      EXPECT_EQ(st.st_nlink, 1u);
      EXPECT_EQ(ReadHostFile(at), "new");
    }
    EXPECT_EQ(ReadHostFile(sentinel), "keep");
    EXPECT_NE(access(missing.c_str(), F_OK), 0);
    ::remove(at.c_str());
  }
}

// Saving in the way of php.ini: the file keeps its mode, owner and links,
// a read-only one is left untouched, and no fixed temporary name is used.
TEST(PosixHostTest, ASavedFileKeepsItsIdentity) {
  // Each case makes its files below a fresh prefix; `ini` is php.ini's host
  // path, `conf` another folder.
  struct Paths {
    std::string ini, conf;
  };
  struct Case {
    const char* what;
    std::function<void(const Paths&)> make;
    bool saved;
    std::function<void(const Paths&, const struct stat& before)> check;
  };
  const Case cases[] = {
      {"mode 0600, owner www-data",
       [](const Paths& p) {
         WriteHostFile(p.ini, "old\n");
         ASSERT_EQ(chmod(p.ini.c_str(), 0600), 0);
         if (geteuid() == 0) {
           ASSERT_EQ(chown(p.ini.c_str(), 33, 33), 0);
         }
       },
       true,
       [](const Paths& p, const struct stat&) {
         struct stat st;
         ASSERT_EQ(stat(p.ini.c_str(), &st), 0);
         EXPECT_EQ(st.st_mode & 07777, 0600u);
         if (geteuid() == 0) {
           EXPECT_EQ(st.st_uid, 33u);
           EXPECT_EQ(st.st_gid, 33u);
         }
       }},
      {"a link to the configuration elsewhere",
       [](const Paths& p) {
         WriteHostFile(p.conf + "/php.ini", "old\n");
         ASSERT_EQ(symlink("../../conf/php.ini", p.ini.c_str()), 0);
       },
       true,
       [](const Paths& p, const struct stat&) {
         struct stat st;
         ASSERT_EQ(lstat(p.ini.c_str(), &st), 0);
         EXPECT_TRUE(S_ISLNK(st.st_mode));
         EXPECT_EQ(ReadHostFile(p.conf + "/php.ini"), "new\r\n");
       }},
      {"a hard link",
       [](const Paths& p) {
         WriteHostFile(p.conf + "/php.ini", "old\n");
         ASSERT_EQ(link((p.conf + "/php.ini").c_str(), p.ini.c_str()), 0);
       },
       true,
       [](const Paths& p, const struct stat& before) {
         EXPECT_EQ(ReadHostFile(p.conf + "/php.ini"), "new\r\n");
         struct stat st;
         ASSERT_EQ(stat(p.ini.c_str(), &st), 0);
         EXPECT_EQ(st.st_ino, before.st_ino);
         EXPECT_EQ(st.st_nlink, 2u);
       }},
      {"read-only",
       [](const Paths& p) {
         WriteHostFile(p.ini, "old\n");
         ASSERT_EQ(chmod(p.ini.c_str(), 0444), 0);
       },
       false,
       [](const Paths& p, const struct stat& before) {
         struct stat st;
         ASSERT_EQ(stat(p.ini.c_str(), &st), 0);
         EXPECT_EQ(st.st_ino, before.st_ino);
         EXPECT_EQ(st.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
       }},
      {"a link planted at a temporary name of old",
       [](const Paths& p) {
         WriteHostFile(p.ini, "old\n");
         WriteHostFile(p.conf + "/victim", "keep");
         ASSERT_EQ(symlink((p.conf + "/victim").c_str(), (p.ini + ".~update").c_str()), 0);
       },
       true,
       [](const Paths& p, const struct stat&) {
         EXPECT_EQ(ReadHostFile(p.conf + "/victim"), "keep");
         struct stat st;
         ASSERT_EQ(lstat((p.ini + ".~update").c_str(), &st), 0);
         EXPECT_TRUE(S_ISLNK(st.st_mode));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder prefix;
    MakeHostFolders(prefix / "drive_c/php");
    MakeHostFolders(prefix / "conf");
    const Paths paths{prefix / "drive_c/php/php.ini", prefix / "conf"};
    c.make(paths);
    const std::string old_bytes = ReadHostFile(paths.ini);
    const std::vector<std::string> folder_before = FolderNames(prefix / "drive_c/php");
    struct stat before;
    ASSERT_EQ(stat(paths.ini.c_str(), &before), 0);
    TestHost t(prefix.path());
    try {
      SaveFileReplacing(*t.host, "C:\\php\\\\php.ini", "new\r\n");
      EXPECT_TRUE(c.saved);
      EXPECT_EQ(ReadHostFile(paths.ini), "new\r\n");
    } catch (const FileFault& e) {
      EXPECT_FALSE(c.saved);
      EXPECT_STREQ(e.what(), "Cannot create file C:\\php\\\\php.ini");
      EXPECT_EQ(ReadHostFile(paths.ini), old_bytes);
    }
    EXPECT_EQ(FolderNames(prefix / "drive_c/php"), folder_before);  // no temporary file left
    c.check(paths, before);
  }
}

// Where a replace cannot keep php.ini as it is, for an account that is not
// the superuser, it is overwritten in place: a folder that takes no new
// file, or a file of another owner that the account may write.
TEST(PosixHostTest, AFileThatCannotBeReplacedIsOverwrittenInPlace) {
  constexpr uid_t kNobody = 65534;
  if (geteuid() != 0) GTEST_SKIP() << "needs to run as root to become another user";
  struct Case {
    const char* what;
    uid_t folder_owner, file_owner;
    mode_t file_mode;
  };
  const Case cases[] = {
      {"the folder takes no new file", 0, kNobody, 0644},
      {"the owner cannot be given to a new file", kNobody, 0, 0664},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder prefix;
    ASSERT_EQ(chmod(prefix.path().c_str(), 0755), 0);
    MakeHostFolders(prefix / "drive_c/php");
    const std::string ini = prefix / "drive_c/php/php.ini";
    WriteHostFile(ini, "old\n");
    ASSERT_EQ(chown((prefix / "drive_c/php").c_str(), c.folder_owner, kNobody), 0);
    ASSERT_EQ(chown(ini.c_str(), c.file_owner, kNobody), 0);
    ASSERT_EQ(chmod(ini.c_str(), c.file_mode), 0);
    struct stat before;
    ASSERT_EQ(stat(ini.c_str(), &before), 0);
    // The save runs in a child that has become "nobody".
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(2);
      TestHost t(prefix.path());
      try {
        SaveFileReplacing(*t.host, "C:\\php\\\\php.ini", "new\r\n");
      } catch (const FileFault&) {
        _exit(1);
      }
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadHostFile(ini), "new\r\n");
    struct stat after;
    ASSERT_EQ(stat(ini.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_uid, c.file_owner);
    EXPECT_EQ(after.st_mode & 07777, c.file_mode);
    EXPECT_EQ(FolderNames(prefix / "drive_c/php"), std::vector<std::string>{"php.ini"});
  }
}

TEST(PosixHostTest, RegistryKeysLiveInSystemReg) {
  TempFolder prefix;
  const std::string reg = prefix / "system.reg";
  WriteHostFile(reg,
                "REGEDIT4\n\n[Software\\\\Apache Group\\\\Apache\\\\2.2.14]\n"
                "\"ServerRoot\"=\"C:\\\\Apache2.2\\\\\"\n"
                "[Software\\\\Apache Group\\\\Apache\\\\2.0]\n"
                "\"Path\"=hex(2):43,3a,00\n\"Build\"=dword:00000001\n");
  TestHost t(prefix.path());
  Host& host = *t.host;

  std::unique_ptr<HostRegistryKey> apache =
      host.OpenLocalMachineKey("software\\apache group\\apache", false);
  ASSERT_NE(apache, nullptr);
  EXPECT_EQ(apache->EnumSubKey(0), "2.2.14");
  EXPECT_EQ(apache->EnumSubKey(1), "2.0");
  EXPECT_EQ(apache->EnumSubKey(2), std::nullopt);
  std::unique_ptr<HostRegistryKey> first = apache->OpenSubKey("2.2.14", false);
  ASSERT_NE(first, nullptr);
  std::string data;
  EXPECT_EQ(first->QueryValue("serverroot", &data), RegValueType::kString);
  EXPECT_EQ(data, "C:\\Apache2.2\\");
  std::unique_ptr<HostRegistryKey> second = apache->OpenSubKey("2.0", false);
  EXPECT_EQ(second->QueryValue("Path", &data), RegValueType::kExpandString);
  EXPECT_EQ(data, "C:");
  EXPECT_EQ(second->QueryValue("Build", &data), RegValueType::kDword);
  EXPECT_EQ(second->QueryValue("None", &data), RegValueType::kMissing);
  EXPECT_EQ(host.OpenLocalMachineKey("Software\\Corvantis\\v2.1", false), nullptr);

  // Create-open writes the key's section; a set value is saved at once.
  std::unique_ptr<HostRegistryKey> product =
      host.OpenLocalMachineKey("Software\\Corvantis\\v2.1", true);
  ASSERT_NE(product, nullptr);
  EXPECT_NE(ReadHostFile(reg).find("[Software\\\\Corvantis\\\\v2.1]\n"), std::string::npos);
  ASSERT_TRUE(product->SetStringValue("InstallDir", "C:\\Intranet"));
  EXPECT_NE(ReadHostFile(reg).find("\"InstallDir\"=\"C:\\\\Intranet\"\n"), std::string::npos);

  // At start-up the wizard create-opens its key: when it exists, the file
  // is not written at all.
  struct stat before, after;
  ASSERT_EQ(stat(reg.c_str(), &before), 0);
  EXPECT_NE(host.OpenLocalMachineKey("software\\CORVANTIS\\v2.1", true), nullptr);
  EXPECT_NE(host.OpenLocalMachineKey("Software\\Corvantis", true), nullptr);
  ASSERT_EQ(stat(reg.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

  // An edit made outside is seen by the next call.
  WriteHostFile(reg, "REGEDIT4\n[Software\\Corvantis\\v2.1]\n\"InstallDir\"=\"D:\\\\Web\"\n");
  EXPECT_EQ(product->QueryValue("InstallDir", &data), RegValueType::kString);
  EXPECT_EQ(data, "D:\\Web");
  EXPECT_EQ(host.OpenLocalMachineKey("Software\\Apache Group", false), nullptr);
}

TEST(PosixHostTest, AMissingPrefixIsMadeOnFirstUseAsAnEmptyMachine) {
  TempFolder folder;
  const std::string prefix = folder / "prefix";
  TestHost t(prefix);
  EXPECT_NE(access(prefix.c_str(), F_OK), 0);  // not before the registry is used
  std::unique_ptr<HostRegistryKey> product =
      t.host->OpenLocalMachineKey("Software\\Corvantis\\v2.1", true);
  ASSERT_NE(product, nullptr);
  EXPECT_EQ(ReadHostFile(prefix + "/system.reg"), "REGEDIT4\n\n[Software\\\\Corvantis\\\\v2.1]\n");
  EXPECT_EQ(FolderNames(prefix), (std::vector<std::string>{"drive_c", "system.reg"}));
  EXPECT_EQ(t.host->OpenLocalMachineKey("Software\\Apache Group\\Apache", false), nullptr);
  EXPECT_EQ(t.diagnostics.str(), "made the prefix " + prefix + ", an empty machine\n");
}

TEST(PosixHostTest, FullAccessOpensFailWhenTheRegistryCannotBeWritten) {
  const struct {
    const char* name;
    bool make_prefix;
    bool registry_is_folder;
    const char* content;  // null: no file
  } cases[] = {
      {"system.reg is a folder", true, true, nullptr},
      {"no folder for the prefix folder", false, false, nullptr},
      {"not a REGEDIT4 file", true, false, "WINE REGISTRY Version 2\n[Software\\\\Corvantis]\n"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    TempFolder folder;
    const std::string prefix = folder / (k.make_prefix ? "prefix" : "missing/prefix");
    if (k.make_prefix) MakeHostFolders(prefix);
    if (k.registry_is_folder) MakeHostFolders(prefix + "/system.reg");
    if (k.content != nullptr) WriteHostFile(prefix + "/system.reg", k.content);
    TestHost t(prefix);
    EXPECT_EQ(t.host->OpenLocalMachineKey("Software\\Corvantis", true), nullptr);
    EXPECT_EQ(t.host->OpenLocalMachineKey("Software\\Corvantis", false), nullptr);
    EXPECT_EQ(t.host->OpenLocalMachineKey("", false), nullptr);
    EXPECT_NE(t.diagnostics.str().find("system.reg"), std::string::npos) << t.diagnostics.str();
    if (k.content != nullptr) {
      EXPECT_EQ(ReadHostFile(prefix + "/system.reg"), k.content);
    }
    if (!k.make_prefix) {
      EXPECT_NE(access(prefix.c_str(), F_OK), 0);
    }
  }
}

TEST(PosixHostTest, RandomNumbersMatchTheWindowsRuntime) {
  TestHost t("/nonexistent");
  EXPECT_EQ(t.host->Random(), 41);  // seed 1 before any srand
  t.host->SeedRandom(1);
  EXPECT_EQ(t.host->Random(), 41);
  EXPECT_EQ(t.host->Random(), 18467);
  EXPECT_EQ(t.host->Random(), 6334);
  t.host->SeedRandom(1262304000u);
  const int r = t.host->Random();
  EXPECT_EQ(r, static_cast<int>(((1262304000u * 214013u + 2531011u) >> 16) & 0x7FFF));
}

TEST(PosixHostTest, ProgramFolderIsAWindowsNameWithATrailingBackslash) {
  TempFolder prefix;
  PosixHostOptions options;
  options.prefix = prefix.path();
  options.program_path = prefix / "drive_x/Setup/setup";
  EXPECT_EQ(CreatePosixHost(options)->ProgramFolder(), "X:\\Setup\\");
  options.program_path = "/opt/corvantis/setup";
  EXPECT_EQ(CreatePosixHost(options)->ProgramFolder(), "Z:\\opt\\corvantis\\");
  options.program_path.clear();  // the running test program
  const std::string own = CreatePosixHost(options)->ProgramFolder();
  EXPECT_EQ(own.substr(0, 3), "Z:\\");
  EXPECT_EQ(own.back(), '\\');
  EXPECT_EQ(CreatePosixHost(options)->FromNativePath("/srv/www"), "Z:\\srv\\www");
}

}  // namespace
