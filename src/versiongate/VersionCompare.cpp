#include "versiongate/VersionCompare.h"

#include <array>
#include <cstdint>

#include "platform/Fault.h"

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The length of a hexadecimal prefix at `i`: "$", "x", "X", "0x" or "0X".
size_t HexPrefixLength(const std::string& text, size_t i) {
  if (i >= text.size()) return 0;
  if (text[i] == '$' || text[i] == 'x' || text[i] == 'X') return 1;
  if (text[i] == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) return 2;
  return 0;
}

// The runtime's string-to-integer conversion: leading blanks, then a signed
// decimal number or an unsigned hexadecimal one ("$", "x", "0x"), and nothing
// after it. Hexadecimal takes up to eight significant digits as a 32-bit
// pattern, so "$FFFFFFFF" is -1.
int32_t StrToInt(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;

  bool valid = false;
  int32_t result = 0;
  if (const size_t prefix = HexPrefixLength(text, i); prefix > 0) {
    i += prefix;
    uint32_t value = 0;
    size_t digits = 0;
    bool overflow = false;
    for (; i < text.size() && HexDigitValue(text[i]) >= 0; ++i, ++digits) {
      // Leading zeros are not significant; a ninth significant digit is.
      if (value > 0x0FFFFFFFu) overflow = true;
      value = (value << 4) | static_cast<uint32_t>(HexDigitValue(text[i]));
    }
    valid = digits > 0 && !overflow && i == text.size();
    result = static_cast<int32_t>(value);
  } else {
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      negative = text[i] == '-';
      ++i;
    }
    const int64_t limit = negative ? INT64_C(2147483648) : INT64_C(2147483647);
    int64_t value = 0;
    size_t digits = 0;
    bool overflow = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
      value = value * 10 + (text[i] - '0');
      if (value > limit) {
        overflow = true;
        value = limit;  // keeps the sum bounded over any number of digits
      }
    }
    valid = digits > 0 && !overflow && i == text.size();
    result = static_cast<int32_t>(negative ? -value : value);
  }
  if (!valid) throw ConvertFault(FormatMessage1("'%s' is not a valid integer value", text));
  return result;
}

using Version = std::array<int32_t, 4>;

// Splits at the first four full stops; what follows the fourth is never
// looked at. An empty rest leaves the remaining components 0.
Version Split(std::string s) {
  Version v{0, 0, 0, 0};
  for (int32_t& component : v) {
    const size_t dot = s.find('.');
    if (dot != std::string::npos) {
      component = StrToInt(s.substr(0, dot));
      s.erase(0, dot + 1);
    } else {
      if (!s.empty()) component = StrToInt(s);
      s.clear();
    }
  }
  return v;
}

}  // namespace

int CompareVersions(std::string a, std::string b) {
  // The first argument is split completely before the second, so its error
  // is the one reported when both are malformed.
  const Version va = Split(std::move(a));
  const Version vb = Split(std::move(b));
  for (size_t k = 0; k < va.size(); ++k) {
    if (va[k] < vb[k]) return -1;
    if (va[k] > vb[k]) return 1;
  }
  return 0;
}
