#include <gtest/gtest.h>

#include <functional>
#include <string_view>

#include "formlib/FileUtil.h"
#include "platform/Fault.h"
#include "support/FakeHost.h"
#include "support/FaultText.h"

namespace {

TEST(FileUtilTest, SplitLinesBreaksAtEveryLineEnding) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\r\n", {"a"}},
      {"a\rb\nc", {"a", "b", "c"}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"\r\n", {""}},
      {std::string("a\r\nb\0c\r\nd", 10), {"a", "b"}},
      {std::string("\0abc", 4), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(SplitLines(c.text), c.lines);
  }
}

TEST(FileUtilTest, JoinLinesEndsEveryLineWithCrLf) {
  EXPECT_EQ(JoinLines({}), "");
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

TEST(FileUtilTest, MissingFolderOrHugeFileRaisesCannotOpen) {
  FakeHost host;
  host.AddFolder("C:\\Apache\\conf\\folder.conf");
  host.AddFile("C:\\Apache\\conf\\huge.conf", std::string(kMaxLineListFile + 1, '\n'));
  for (const char* name : {"httpd.conf", "folder.conf", "huge.conf"}) {
    SCOPED_TRACE(name);
    const std::string path = std::string("C:\\Apache\\conf\\") + name;
    EXPECT_EQ(FaultText<FileFault>([&] { LoadLines(host, path); }), "Cannot open file " + path);
    EXPECT_EQ(host.open_files(), 0);
  }
  host.AddFile("C:\\x.txt", "12345");
  EXPECT_EQ(LoadFile(host, "C:\\x.txt", 5), "12345");
  EXPECT_THROW(LoadFile(host, "C:\\x.txt", 4), FileFault);
}

// A save replaces the file, or, where no new file can take its place or a
// replace would not keep it as it is, writes it where it is; a failed one
// leaves the old file whole. No temporary file is left either way.
TEST(FileUtilTest, SaveReplacesOrOverwritesOrLeavesTheOldFileWhole) {
  struct Case {
    const char* what;
    std::function<void(FakeHost&)> arrange;
    bool saved;
  };
  const Case cases[] = {
      {"replaced, no temporary left", [](FakeHost&) {}, true},
      {"no new file in the folder: overwritten in place",
       [](FakeHost& h) { h.RefuseNewFiles("C:\\php"); }, true},
      {"identity not kept by a replace: overwritten in place",
       [](FakeHost& h) { h.replace_fails = true; }, true},
      {"write fails", [](FakeHost& h) { h.writes_before_failure = 0; }, false},
      {"disk full", [](FakeHost& h) { h.disk_space = 3; }, false},
      {"target locked", [](FakeHost& h) { h.LockFile("C:\\php\\php.ini"); }, false},
      {"target read-only", [](FakeHost& h) { h.SetReadOnly("C:\\php\\php.ini"); }, false},
      {"read-only, no new file in the folder",
       [](FakeHost& h) {
         h.SetReadOnly("C:\\php\\php.ini");
         h.RefuseNewFiles("C:\\php");
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeHost host;
    host.AddFile("C:\\php\\php.ini", "old\r\n");
    c.arrange(host);
    try {
      SaveFileReplacing(host, "C:\\php\\php.ini",
                        std::vector<std::string_view>{"a much longer new\r\n", "content\r\n"});
      EXPECT_TRUE(c.saved);
    } catch (const FileFault& e) {
      EXPECT_FALSE(c.saved);
      EXPECT_STREQ(e.what(), "Cannot create file C:\\php\\php.ini");
    }
    EXPECT_EQ(host.FileContent("C:\\php\\php.ini"),
              c.saved ? "a much longer new\r\ncontent\r\n" : "old\r\n");
    EXPECT_EQ(host.Files(), std::vector<std::string>{"c:\\php\\php.ini"});
    EXPECT_EQ(host.open_files(), 0);
  }
  // Lines are saved each ended by CR LF.
  FakeHost host;
  host.AddFile("C:\\php\\php.ini", "old\n");
  SaveLines(host, "C:\\php\\php.ini", {"new", "lines"});
  EXPECT_EQ(host.FileContent("C:\\php\\php.ini"), "new\r\nlines\r\n");
}

TEST(FileUtilTest, ForceDirectoriesMakesEveryMissingParent) {
  FakeHost host;
  EXPECT_TRUE(ForceDirectories(host, "C:\\Intranet\\images/icons\\"));
  EXPECT_TRUE(host.HasFolder("C:\\Intranet"));
  EXPECT_TRUE(host.HasFolder("C:\\Intranet\\images\\icons"));
  // A doubled separator reads as one; existing folders and roots count as done.
  EXPECT_TRUE(ForceDirectories(host, "C:\\Intranet\\\\ext"));
  EXPECT_TRUE(host.HasFolder("C:\\Intranet\\ext"));
  EXPECT_TRUE(ForceDirectories(host, "C:\\php\\\\ext"));  // the parent is missing too
  EXPECT_TRUE(host.HasFolder("C:\\php\\ext"));
  EXPECT_TRUE(ForceDirectories(host, "C:\\Intranet"));
  EXPECT_TRUE(ForceDirectories(host, "C:"));
  EXPECT_TRUE(ForceDirectories(host, "\\"));
  // A file where a folder should be.
  host.AddFile("C:\\blocked", "x");
  EXPECT_FALSE(ForceDirectories(host, "C:\\blocked\\sub"));
}

// A PHP folder taken from httpd.conf may name thousands of folders.
TEST(FileUtilTest, ForceDirectoriesMakesThousandsOfLevels) {
  FakeHost host;
  std::string deep = "C:\\php";
  for (int i = 0; i < 2000; ++i) deep += "\\a";
  EXPECT_TRUE(ForceDirectories(host, deep + "\\\\ext"));
  EXPECT_TRUE(host.HasFolder(deep + "\\ext"));
  host.AddFile("C:\\blocked", "");
  EXPECT_FALSE(ForceDirectories(host, "C:\\blocked" + deep.substr(6)));
}

TEST(FileUtilTest, ForceDirectoriesOfAnEmptyPathRaises) {
  FakeHost host;
  EXPECT_EQ(FaultText<FileFault>([&host] { ForceDirectories(host, ""); }),
            "Unable to create directory");
}

}  // namespace
