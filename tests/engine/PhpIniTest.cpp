#include <gtest/gtest.h>

#include <random>

#include "engine/PhpIni.h"
#include "formlib/FileUtil.h"
#include "platform/Fault.h"
#include "support/FaultText.h"
#include "support/InstallerWorld.h"
#include "support/PhpIniReference.h"

namespace {

using Lines = std::vector<std::string>;
const char kTitle[] = "brevoxil - Articles Module Update";
const char kComment[] = "; brevoxil - Articles Module Update extensions";

TEST(PhpIniTest, BlocksGoAfterTheAnchorOrWhereNothingIsSplit) {
  struct Case {
    const char* what;
    Lines before;
    Lines add;
    Lines after;
  };
  const Case cases[] = {
      {"anchor followed by an empty line",
       {";extension=php_zip.dll", "", ";;;;;;;;;;;;;;;;;;;"},
       {"extension=php_pgsql.dll"},
       {";extension=php_zip.dll", "", "", "", kComment, "extension=php_pgsql.dll",
        ";;;;;;;;;;;;;;;;;;;"}},
      {"two lines stand in reverse order",
       {"extension=php_zip.dll", "", "[Date]"},
       {"extension=php_a.dll", "extension=php_b.dll"},
       {"extension=php_zip.dll", "", "", "", kComment, "extension=php_b.dll", "", "", kComment,
        "extension=php_a.dll", "[Date]"}},
      {"present as a longer line",
       {"extension=php_pgsql.dll.old", "extension=php_zip.dll", ""},
       {"extension=php_pgsql.dll"},
       {"extension=php_pgsql.dll.old", "extension=php_zip.dll", ""}},
      {"present commented out",
       {";extension=php_pgsql.dll", "extension=php_zip.dll", ""},
       {"extension=php_pgsql.dll"},
       {";extension=php_pgsql.dll", "extension=php_zip.dll", ""}},
      {"other letter case is not present",
       {"EXTENSION=PHP_PGSQL.DLL", "extension=php_zip.dll", "", "x"},
       {"extension=php_pgsql.dll"},
       {"EXTENSION=PHP_PGSQL.DLL", "extension=php_zip.dll", "", "", "", kComment,
        "extension=php_pgsql.dll", "x"}},
      {"no anchor: appended at the end",
       {"[PHP]", "engine = On"},
       {"extension=php_pgsql.dll"},
       {"[PHP]", "engine = On", "", "", kComment, "extension=php_pgsql.dll"}},
      {"anchor not followed by an empty line: the next line stays whole",
       {"extension=php_zip.dll", "extension=php_gd2.dll"},
       {"extension=php_pgsql.dll"},
       {"extension=php_zip.dll", "", "", kComment, "extension=php_pgsql.dll",
        "extension=php_gd2.dll"}},
      {"anchor on the last line",
       {"a", "extension=php_zip.dll"},
       {"extension=php_x.dll"},
       {"a", "extension=php_zip.dll", "", "", kComment, "extension=php_x.dll"}},
      {"anchor line with a comment after it",
       {"extension=php_zip.dll ; archives", "", "b"},
       {"extension=php_x.dll"},
       {"extension=php_zip.dll ; archives", "", "", "", kComment, "extension=php_x.dll", "b"}},
      {"nothing to add", {"a", "", "b"}, {}, {"a", "", "b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(AddExtensionLines(JoinLines(c.before), c.add, kTitle).Joined(), JoinLines(c.after));
  }
}

// Files and lines made of pieces that meet in every way that matters: the
// anchor in and out of place, lines inside others and inside the comment,
// repeats, blocks that bring the anchor, and lines with a line break.
TEST(PhpIniTest, GivesTheBytesOfTheUpdateOneLineAtATime) {
  const char* const pieces[] = {"extension=php_zip.dll",
                                "extension=php_",
                                "zip",
                                ".dll",
                                "a",
                                ";",
                                "",
                                " ",
                                "Update",
                                "; brevoxil - Articles",
                                "\r",
                                "\n"};
  std::mt19937 random(12);
  const auto piece = [&](bool line_breaks) {
    const size_t count = sizeof pieces / sizeof pieces[0] - (line_breaks ? 0 : 2);
    return std::string(pieces[random() % count]);
  };
  const auto text = [&](bool line_breaks) {
    std::string t;
    for (unsigned n = random() % 4; n > 0; --n) t += piece(line_breaks);
    return t;
  };
  for (int round = 0; round < 20000; ++round) {
    Lines before, add;
    for (unsigned n = random() % 7; n > 0; --n) before.push_back(text(false));
    const bool awkward = round % 10 == 0;
    for (unsigned n = random() % 7; n > 0; --n)
      add.push_back(random() % 3 == 0 && !add.empty() ? add[random() % add.size()] : text(awkward));
    SCOPED_TRACE(testing::PrintToString(before) + " + " + testing::PrintToString(add));
    ASSERT_EQ(AddExtensionLines(JoinLines(before), add, kTitle).Joined(),
              JoinLines(AddOneAtATime(before, add, kTitle)));
  }
}

class UpdatePhpIniTest : public testing::Test {
 protected:
  UpdatePhpIniTest() { context.PhpFolder = "C:\\php\\"; }
  InstallerWorld w;
  InstallContext context;
};

// The collected lines are added, and the file saved with CR LF after every
// line, up to a NUL.
TEST_F(UpdatePhpIniTest, AddsTheCollectedLinesAndSavesWithCrLfUpToANul) {
  struct Case {
    std::string before;
    Lines add;
    std::string after;
  };
  const Case cases[] = {
      {"a\nb\rc\r\nd", {}, "a\r\nb\r\nc\r\nd\r\n"},
      {"a\r\n\r\n", {}, "a\r\n\r\n"},
      {std::string("a\r\nb\0junk\r\n", 11), {}, "a\r\nb\r\n"},
      {"", {}, ""},
      {";extension=php_zip.dll\n\n[Date]\n",
       {"extension=PHP_PGSQL.DLL"},
       ";extension=php_zip.dll\r\n\r\n\r\n\r\n"
       "; brevoxil - Articles Module Update extensions\r\nextension=PHP_PGSQL.DLL\r\n"
       "[Date]\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.before));
    w.host.AddFile("C:\\php\\php.ini", c.before);
    context.ExtensionLines = c.add;
    UpdatePhpIni(w.installer, context);
    EXPECT_EQ(w.host.FileContent("C:\\php\\php.ini"), c.after);
    EXPECT_EQ(w.host.open_files(), 0);
  }
}

TEST_F(UpdatePhpIniTest, FileFaultsKeepTheirTextAndTheOldFile) {
  const auto update = [this] { UpdatePhpIni(w.installer, context); };
  EXPECT_EQ(FaultText<FileFault>(update), "Cannot open file C:\\php\\\\php.ini");
  w.host.AddFile("C:\\php\\php.ini", "old\n");
  context.ExtensionLines = {"extension=php_x.dll"};
  w.host.writes_before_failure = 0;
  EXPECT_EQ(FaultText<FileFault>(update), "Cannot create file C:\\php\\\\php.ini");
  EXPECT_EQ(w.host.FileContent("C:\\php\\php.ini"), "old\n");
  EXPECT_EQ(w.host.Files(), std::vector<std::string>{"c:\\php\\php.ini"});
}

}  // namespace
