#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

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

// Names no path can have map to nothing, without a look-up per component:
// a name of 30,000 folders is answered at once. ".." can bring a long name
// back within reach.
TEST(PathMapTest, NamesTooLongForAnyPathNameNothing) {
  TempFolder prefix;
  const PathMap paths(prefix.path());
  std::string deep = "C:\\Intranet";
  while (deep.size() < 60000) deep += "\\a";
  EXPECT_TRUE(paths.ToHost(deep).empty());
  // Z:\ is the host's root: "/" and the name, one byte short of PATH_MAX.
  const std::string longest(PATH_MAX - 2, 'x');
  EXPECT_EQ(paths.ToHost("Z:\\" + longest), "/" + longest);
  EXPECT_TRUE(paths.ToHost("Z:\\" + longest + "y").empty());
  std::string climbing = "C:\\Intranet";
  for (int i = 0; i < 2000; ++i) climbing += "\\abc\\..";
  EXPECT_EQ(paths.ToHost(climbing), prefix / "drive_c/Intranet");
  EXPECT_TRUE(paths.ToHost(climbing + std::string(PathMap::kMaxWindowsPath, 'x')).empty());
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

namespace {

// Letter-case matching keeps a listing per folder; it must follow changes
// made from outside as well as those the host makes itself.
TEST(PathMapTest, CaseMatchingFollowsChangesToTheFolder) {
  TempFolder prefix;
  MakeHostFolders(prefix / "drive_c/Site");
  const PathMap paths(prefix.path());
  const std::string site = prefix / "drive_c/Site";
  EXPECT_EQ(paths.ToHost("C:\\SITE\\Index.PHP"), site + "/Index.PHP");  // nothing there yet
  MakeHostFolders(site + "/Images");                                    // from outside, at once
  EXPECT_EQ(paths.ToHost("C:\\site\\images"), site + "/Images");
  MakeHostFolders(site + "/Docs");
  EXPECT_EQ(paths.ToHost("c:\\SITE\\DOCS\\a"), site + "/Docs/a");
  for (int i = 0; i < 300; ++i) {
    const std::string host = paths.ToHost("C:\\Site\\File" + std::to_string(i) + ".txt");
    ASSERT_EQ(::close(::creat(host.c_str(), 0644)), 0);
    paths.Changed(host);
  }
  EXPECT_EQ(paths.ToHost("C:\\SITE\\FILE299.TXT"), site + "/File299.txt");
  ::unlink((site + "/File7.txt").c_str());
  paths.Changed(site + "/File7.txt");
  EXPECT_EQ(paths.ToHost("C:\\Site\\file7.TXT"), site + "/file7.TXT");
}

}  // namespace
