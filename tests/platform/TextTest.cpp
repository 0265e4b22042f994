#include <gtest/gtest.h>

#include <vector>

#include "platform/Host.h"
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

TEST(TextTest, TrimsTakeOnlyTheGivenBytesAtTheEnds) {
  const struct {
    const char* text;
    const char* chars;
    const char* left;
    const char* right;
    const char* both;
  } cases[] = {
      {" \t a b \t", kBlanks, "a b \t", " \t a b", "a b"},
      {" \t ", kBlanks, "", "", ""},
      {"", kBlanks, "", "", ""},
      {"\nerror\r\n ", "\n\r ", "error\r\n ", "\nerror", "error"},
      {"Access is denied. \r\n", "\r\n .", "Access is denied. \r\n", "Access is denied",
       "Access is denied"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TrimLeft(c.text, c.chars), c.left);
    EXPECT_EQ(TrimRight(c.text, c.chars), c.right);
    EXPECT_EQ(Trim(c.text, c.chars), c.both);
  }
}

// A writer that takes at most `step` bytes a call, failing at call `fail_at`.
TEST(TextTest, WriteAllWithGoesOnUntilEveryByteOrAFailedOrEmptyCall) {
  const struct {
    uint32_t step;
    int fail_at;  // 0: never
    bool whole;
    const char* written;
  } cases[] = {{3, 0, true, "abcdefgh"}, {3, 2, false, "abc"}, {0, 0, false, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.step * 10 + c.fail_at);
    std::string out;
    int calls = 0;
    const WriteSome writer = [&](const char* data, uint32_t count, uint32_t* done) {
      if (++calls == c.fail_at) return false;
      *done = std::min(count, c.step);
      out.append(data, *done);
      return true;
    };
    EXPECT_EQ(WriteAllWith(writer, "abcdefgh", 8), c.whole);
    EXPECT_EQ(out, c.written);
  }
}

}  // namespace
