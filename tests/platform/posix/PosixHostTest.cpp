#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "TempFolder.h"
#include "platform/posix/PosixHost.h"

namespace {

struct TestHost {
  explicit TestHost(const std::string& prefix) {
    PosixHostOptions options;
    options.prefix = prefix;
    options.input = &in;
    options.output = &out;
    options.diagnostics = &diagnostics;
    host = CreatePosixHost(options);
  }
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream diagnostics;
  std::unique_ptr<Host> host;
};

TEST(PosixHostTest, FilesAndFoldersFollowTheWindowsCalls) {
  TempFolder prefix;
  MakeHostFolders(prefix / "drive_c");
  TestHost t(prefix.path());
  Host& host = *t.host;

  EXPECT_EQ(host.CreateFileForWrite("C:\\Data\\a.txt"), nullptr);  // no folder yet
  EXPECT_FALSE(host.MakeOneDirectory("C:\\Data\\Sub"));            // parent missing
  EXPECT_TRUE(host.MakeOneDirectory("C:\\Data"));
  EXPECT_FALSE(host.MakeOneDirectory("c:\\DATA"));  // exists, in any case
  EXPECT_EQ(host.FileAttributes("C:\\data"), kAttributeDirectory);
  EXPECT_EQ(host.FileAttributes("C:\\Data\\a.txt"), kInvalidFileAttributes);

  {
    std::unique_ptr<HostFile> file = host.CreateFileForWrite("C:\\Data\\a.txt");
    ASSERT_NE(file, nullptr);
    uint32_t done = 0;
    ASSERT_TRUE(file->Write("0123456789", 10, &done));
    EXPECT_EQ(done, 10u);
  }
  EXPECT_EQ(host.FileAttributes("C:/data/A.TXT"), kAttributeNormal);
  {
    std::unique_ptr<HostFile> file = host.OpenFileForRead("C:\\DATA\\A.txt", kShareNone);
    ASSERT_NE(file, nullptr);
    char buffer[16];
    uint32_t done = 0;
    EXPECT_EQ(file->Seek(4, SeekOrigin::kBegin), 4);
    ASSERT_TRUE(file->Read(buffer, 3, &done));
    EXPECT_EQ(std::string(buffer, done), "456");
    EXPECT_EQ(file->Seek(-8, SeekOrigin::kCurrent), -1);  // before the start
    EXPECT_EQ(file->Seek(-7, SeekOrigin::kCurrent), 0);
    EXPECT_EQ(file->Seek(100, SeekOrigin::kBegin), 100);  // past the end
    ASSERT_TRUE(file->Read(buffer, 4, &done));
    EXPECT_EQ(done, 0u);
  }
  EXPECT_EQ(host.OpenFileForRead("C:\\Data", kShareRead), nullptr);  // a folder
  {
    std::unique_ptr<HostFile> file = host.CreateFileForWrite("C:\\Data\\b.txt");
    uint32_t done = 0;
    ASSERT_TRUE(file->Write("new", 3, &done));
  }
  EXPECT_TRUE(host.ReplaceFileWith("C:\\Data\\b.txt", "C:\\Data\\a.txt"));
  EXPECT_EQ(ReadHostFile(prefix / "drive_c/Data/a.txt"), "new");
  EXPECT_TRUE(host.RemoveFile("C:\\Data\\a.txt"));
  EXPECT_FALSE(host.RemoveFile("C:\\Data\\a.txt"));
  EXPECT_FALSE(host.RemoveFile("C:\\Data"));
  // A crafted name cannot write outside the prefix.
  std::unique_ptr<HostFile> escaped = host.CreateFileForWrite("C:\\..\\..\\..\\escaped.txt");
  EXPECT_NE(escaped, nullptr);
  EXPECT_EQ(access((prefix / "drive_c/escaped.txt").c_str(), F_OK), 0);
}

TEST(PosixHostTest, TempFolderIsPrivateAndInsideThePrefix) {
  TempFolder prefix;
  TestHost t(prefix.path());
  const std::string temp = t.host->TempPath();
  ASSERT_EQ(temp.substr(0, 9), "C:\\users\\");
  ASSERT_EQ(temp.substr(temp.size() - 6), "\\Temp\\");
  const std::string user = temp.substr(9, temp.size() - 15);
  struct stat st;
  ASSERT_EQ(stat((prefix / "drive_c/users/" + user + "/Temp").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(t.host->ShortPathName(temp), temp);

  TestHost missing(prefix / "no-such-prefix");
  EXPECT_EQ(missing.host->TempPath(), temp);
  EXPECT_NE(access((prefix / "no-such-prefix").c_str(), F_OK), 0);  // not created
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

  // An edit made outside is seen by the next call.
  WriteHostFile(reg, "REGEDIT4\n[Software\\Corvantis\\v2.1]\n\"InstallDir\"=\"D:\\\\Web\"\n");
  EXPECT_EQ(product->QueryValue("InstallDir", &data), RegValueType::kString);
  EXPECT_EQ(data, "D:\\Web");
  EXPECT_EQ(host.OpenLocalMachineKey("Software\\Apache Group", false), nullptr);
}

TEST(PosixHostTest, FullAccessOpensFailWhenTheRegistryCannotBeWritten) {
  const struct {
    const char* name;
    bool make_prefix;
    bool registry_is_folder;
    const char* content;  // null: no file
  } cases[] = {
      {"system.reg is a folder", true, true, nullptr},
      {"no prefix folder", false, false, nullptr},
      {"not a REGEDIT4 file", true, false, "WINE REGISTRY Version 2\n[Software\\\\Corvantis]\n"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    TempFolder folder;
    const std::string prefix = folder / "prefix";
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
