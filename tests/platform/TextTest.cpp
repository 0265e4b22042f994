#include <gtest/gtest.h>

#include "platform/Text.h"

namespace {

TEST(TextTest, AnsiCaseMappingFollowsCodePage1252) {
  EXPECT_EQ(AnsiUpperCase("Hollinvale"), "HOLLINVALE");
  // A-grave, E-acute, S-caron, OE, Z-caron, Y-diaeresis and the
  // multiplication sign, which has no lower case.
  EXPECT_EQ(AnsiLowerCase("\xC0\xC9\x8A\x8C\x8E\x9F\xD7X"), "\xE0\xE9\x9A\x9C\x9E\xFF\xD7x");
  EXPECT_EQ(AnsiUpperCase("\xE0\xE9\x9A\x9C\x9E\xFF\xF7x\xDF"),
            "\xC0\xC9\x8A\x8C\x8E\x9F\xF7X\xDF");
}

TEST(TextTest, AsciiFoldingLeavesOtherBytesAlone) {
  EXPECT_TRUE(EqualsIgnoreAsciiCase("README.TXT", "readme.txt"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase("\xC0.txt", "\xE0.txt"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase("a", "ab"));
}

TEST(TextTest, ExcludeTrailingBackslashRemovesOnlyOne) {
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\Intranet\\"), "C:\\Intranet");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\Intranet\\\\"), "C:\\Intranet\\");
  EXPECT_EQ(ExcludeTrailingBackslash("C:/Intranet/"), "C:/Intranet/");
  EXPECT_EQ(ExcludeTrailingBackslash(""), "");
}

}  // namespace
