#include <gtest/gtest.h>
#include <unistd.h>

#include "TempFolder.h"
#include "platform/posix/PathMap.h"

namespace {

TEST(PathMapTest, WindowsNamesMapIntoTheirDrives) {
  TempFolder prefix;
  MakeHostFolders(prefix / "drive_c/Program Files/Apache");
  const PathMap paths(prefix.path());
  const std::string c = prefix / "drive_c";
  struct Case {
    const char* windows;
    std::string host;
  } cases[] = {
      {"C:\\Intranet\\index.php", c + "/Intranet/index.php"},
      {"c:/Intranet", c + "/Intranet"},
      {"C:\\", c},
      {"C:", c},
      {"\\bin\\psql.exe", c + "/bin/psql.exe"},
      {"/bin/psql.exe", c + "/bin/psql.exe"},
      {"D:\\data\\x", prefix / "drive_d/data/x"},
      {"z:\\etc\\passwd", "/etc/passwd"},
      {"Z:\\", "/"},
      {"C:\\\\a//b\\/\\c\\", c + "/a/b/c"},
      {"C:\\a\\.\\b\\..\\c", c + "/a/c"},
      {"C:\\..\\..\\etc\\passwd", c + "/etc/passwd"},
      {"\\..\\..\\x", c + "/x"},
      {"C:\\a\\..\\..\\..\\b", c + "/b"},
      {"Z:\\..\\tmp", "/tmp"},
      {"C:\\PROGRAM FILES\\apache\\Conf\\httpd.conf", c + "/Program Files/Apache/Conf/httpd.conf"},
      {"C:\\program files\\APACHE", c + "/Program Files/Apache"},
      {"", ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.windows);
    EXPECT_EQ(paths.ToHost(k.windows), k.host);
  }
}

TEST(PathMapTest, RelativeNamesStayOnTheCurrentFoldersDrive) {
  TempFolder prefix;
  MakeHostFolders(prefix / "drive_c/Setup/Sub");
  const PathMap paths(prefix.path());
  char saved[4096];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir((prefix / "drive_c/Setup").c_str()), 0);
  const std::string sub = paths.ToHost("SUB\\file");
  const std::string up = paths.ToHost("..\\..\\..\\..\\etc\\passwd");
  ASSERT_EQ(chdir(saved), 0);
  EXPECT_EQ(sub, prefix / "drive_c/Setup/Sub/file");
  EXPECT_EQ(up, prefix / "drive_c/etc/passwd");
}

TEST(PathMapTest, HostPathsGetTheirWindowsNames) {
  TempFolder prefix;
  MakeHostFolders(prefix / "real/drive_c");
  ASSERT_EQ(symlink((prefix / "real").c_str(), (prefix / "link").c_str()), 0);
  const PathMap paths(prefix / "link");
  struct Case {
    std::string host;
    const char* windows;
  } cases[] = {
      {prefix / "link/drive_c/Intranet", "C:\\Intranet"},
      {prefix / "link/drive_x/setup/", "X:\\setup\\"},
      {prefix / "link/drive_d", "D:\\"},
      {prefix / "real/drive_c/a//b", "C:\\a\\b"},  // the prefix's resolved name
      {"/home/me/build/", "Z:\\home\\me\\build\\"},
      {"/", "Z:\\"},
      {"build/src", "build\\src"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.host);
    EXPECT_EQ(paths.ToWindows(k.host), k.windows);
  }
  EXPECT_EQ(paths.ToWindows(prefix / "link/drive_cd/x").substr(0, 3), "Z:\\");
}

}  // namespace
