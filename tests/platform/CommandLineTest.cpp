#include <gtest/gtest.h>

#include "platform/CommandLine.h"

namespace {

TEST(CommandLineTest, SplitsAsTheWindowsStartUpDoes) {
  struct Case {
    std::string line;
    std::vector<std::string> arguments;
  };
  const Case cases[] = {
      {"setup.exe /silent", {"setup.exe", "/silent"}},
      {"setup.exe   /silent   ", {"setup.exe", "/silent"}},
      // A backslash before a quote is an ordinary character.
      {"\"C:\\Program Files\\setup.exe\" /installdir:\"C:\\Program Files\\\"",
       {"C:\\Program Files\\setup.exe", "/installdir:C:\\Program Files\\"}},
      {"setup /dbuser:\"john smith\" /silent", {"setup", "/dbuser:john smith", "/silent"}},
      {"setup \"/dbpass: secret \"", {"setup", "/dbpass: secret "}},
      {"setup a\"b\"c", {"setup", "abc"}},
      {"setup a\"\"b", {"setup", "ab"}},
      // A pair of quotes that begins an argument is skipped.
      {"setup \"\"/silent", {"setup", "/silent"}},
      {"setup \"\" /silent", {"setup", "/silent"}},
      {"setup \"\"\"\" x", {"setup", "x"}},
      // Every control character is white space.
      {"setup\t/silent\x01/x\r\n/y", {"setup", "/silent", "/x", "/y"}},
      {"setup \"abc def", {"setup", "abc def"}},
      {"setup caf\xe9", {"setup", "caf\xe9"}},
      {"", {""}},
      {"setup", {"setup"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(SplitCommandLine(c.line), c.arguments);
  }
}

TEST(CommandLineTest, SplitsAProgramsLineAsItsCRuntimeDoes) {
  struct Case {
    std::string line;
    std::vector<std::string> arguments;
  };
  const Case cases[] = {
      {"\"C:\\Program Files\\pg\\bin\\psql.exe\" -f \"C:\\T\\1\\a.sql\" corvantis root",
       {"C:\\Program Files\\pg\\bin\\psql.exe", "-f", "C:\\T\\1\\a.sql", "corvantis", "root"}},
      // The program name: to the next quote, backslashes as they are.
      {"\"C:\\a b\\\"x y", {"C:\\a b\\", "x", "y"}},
      {"C:\\bin\\p.exe\nx", {"C:\\bin\\p.exe", "x"}},
      // Backslashes count only before a quote.
      {"p a\\\\b \"c\\\\\" \"d\\\"e\" f\\\\\\\"g", {"p", "a\\\\b", "c\\", "d\"e", "f\\\"g"}},
      // Only blanks and tabs separate; a line break is part of an argument.
      {"p a\tb  c\r\nd \x01z", {"p", "a", "b", "c\r\nd", "\x01z"}},
      // "" inside quotes is a quote and closes the stretch; outside, nothing.
      {"p \"a\"\"b\" c", {"p", "a\"b c"}},
      {"p \"\" x\"\"y", {"p", "", "xy"}},
      {"p \"open end", {"p", "open end"}},
      {"p   ", {"p"}},
      {"", {""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(SplitProgramCommandLine(c.line), c.arguments);
  }
}

}  // namespace
