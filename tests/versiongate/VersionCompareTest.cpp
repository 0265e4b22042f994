#include <gtest/gtest.h>

#include <string>

#include "platform/Fault.h"
#include "versiongate/VersionCompare.h"

namespace {

struct OrderCase {
  std::string a;
  std::string b;
  int expected;
};

TEST(CompareVersionsTest, OrdersComponentsAsNumbers) {
  const OrderCase cases[] = {
      {"2.3.6", "2.3.10", -1},
      {"2.3.10", "2.3.6", 1},
      {"2.99", "2.3.8", 1},
      {"2.100", "2.99", 1},
      {"2.3", "2.3.0", 0},
      {"2.3.8", "2.3.8.0", 0},
      {"2.3.7", "2.3.8", -1},
      {"2.3.8", "2.3.7.1", 1},
      {"2.3.7", "2.3.7.1", -1},
      {"3", "2.99.99.99", 1},
      {"2.3.08", "2.3.8", 0},
      {"2.3.", "2.3", 0},
      {"2.3.8.1.5", "2.3.8.1", 0},
      {"2.3.8.1.x", "2.3.8.1", 0},
      {"1.2.3.4.5.6.anything at all", "1.2.3.4", 0},
      {" 2.3", "2.3", 0},
      {"+2.3", "2.3", 0},
      {"-1", "0", -1},
      {"", "0", 0},
      {"", "0.0.0.1", -1},
      {"2.3.8", "2.3.8", 0},
      {"0.0.0.2", "0.0.0.1", 1},
      // Each component skips its own leading blanks.
      {"2.  3", "2.3", 0},
      // Leading zeros are decimal, never octal.
      {"010", "10", 0},
      {"010", "9", 1},
      {"0002147483647", "2147483647", 0},
      // Hexadecimal forms.
      {"$10", "16", 0},
      {"x1F", "31", 0},
      {"X1f", "31", 0},
      {"0x10", "16", 0},
      {"0X10", "16", 0},
      {"2.$A", "2.10", 0},
      {"$7FFFFFFF", "2147483647", 0},
      {"$FFFFFFFF", "-1", 0},  // a 32-bit pattern, not 4294967295
      {"$FFFFFFFF", "0", -1},
      {"$80000000", "-2147483648", 0},
      {"$000000001", "1", 0},  // leading zeros are not significant digits
      // The ends of the decimal range.
      {"2147483647", "2147483646", 1},
      {"-2147483648", "-2147483647", -1},
      {"-0", "0", 0},
      {"+0", "-0", 0},
  };
  for (const OrderCase& c : cases) {
    SCOPED_TRACE("'" + c.a + "' against '" + c.b + "'");
    EXPECT_EQ(c.expected, CompareVersions(c.a, c.b));
    EXPECT_EQ(-c.expected, CompareVersions(c.b, c.a));
  }
}

struct ErrorCase {
  std::string a;
  std::string b;
  std::string component;  // as the message names it
};

TEST(CompareVersionsTest, MalformedComponentIsAConversionErrorNamingIt) {
  const ErrorCase cases[] = {
      {"2..3", "2.3", ""},
      {".5", "2.3", ""},
      {"2.3b", "2.3", "3b"},
      {"2.3.8 ", "2.3", "8 "},
      {"2.3.8\r\n", "2.3", "8\r\n"},
      {"2.3.8\n", "2.3", "8\n"},
      {"2.\t3", "2.3", "\t3"},
      {"2. 3x", "2.3", " 3x"},
      {" ", "2.3", " "},
      {"2.3.4..", "2.3", ""},  // an empty fourth component is converted
      {"1.2.3.4x.5", "2.3", "4x"},
      // Signs and prefixes.
      {"+", "0", "+"},
      {"-", "0", "-"},
      {"++1", "0", "++1"},
      {"+-1", "0", "+-1"},
      {"-$10", "0", "-$10"},
      {"+x1", "0", "+x1"},
      {"$", "0", "$"},
      {"x", "0", "x"},
      {"0x", "0", "0x"},
      {"0x-1", "0", "0x-1"},
      {"$G", "0", "$G"},
      {"$1 ", "0", "$1 "},
      {"00x10", "0", "00x10"},
      {"1e3", "0", "1e3"},
      {"\xe9", "0", "\xe9"},
      // Out of range.
      {"2147483648", "0", "2147483648"},
      {"-2147483649", "0", "-2147483649"},
      {"99999999999999999999999", "0", "99999999999999999999999"},
      {"$100000000", "0", "$100000000"},
      // An error in the first argument is reported before the second is looked at.
      {"2.3b", "x.y", "3b"},
      // The second argument is converted too.
      {"2.3", "2.x", "x"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE("'" + c.a + "' against '" + c.b + "'");
    try {
      CompareVersions(c.a, c.b);
      ADD_FAILURE() << "no conversion error";
    } catch (const ConvertFault& e) {
      EXPECT_EQ("'" + c.component + "' is not a valid integer value", std::string(e.what()));
    }
  }
}

}  // namespace
