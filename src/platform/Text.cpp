#include "platform/Text.h"

namespace {

bool IsUpper1252(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return true;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return true;
  return c == 0x8A || c == 0x8C || c == 0x8E || c == 0x9F;
}

bool IsLower1252(unsigned char c) {
  if (c >= 'a' && c <= 'z') return true;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return true;
  return c == 0x9A || c == 0x9C || c == 0x9E || c == 0xFF;
}

}  // namespace

char AnsiLowerChar(char ch) {
  const unsigned char c = static_cast<unsigned char>(ch);
  if (!IsUpper1252(c)) return ch;
  if (c == 0x9F) return static_cast<char>(0xFF);
  if (c >= 0x8A && c <= 0x8E) return static_cast<char>(c + 0x10);
  return static_cast<char>(c + 0x20);
}

char AnsiUpperChar(char ch) {
  const unsigned char c = static_cast<unsigned char>(ch);
  if (!IsLower1252(c)) return ch;
  if (c == 0xFF) return static_cast<char>(0x9F);
  if (c >= 0x9A && c <= 0x9E) return static_cast<char>(c - 0x10);
  return static_cast<char>(c - 0x20);
}

std::string AnsiLowerCase(std::string s) {
  for (char& c : s) c = AnsiLowerChar(c);
  return s;
}

std::string AnsiUpperCase(std::string s) {
  for (char& c : s) c = AnsiUpperChar(c);
  return s;
}

char AsciiLowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string AsciiLowerCase(std::string s) {
  for (char& c : s) c = AsciiLowerChar(c);
  return s;
}

bool EqualsIgnoreAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLowerChar(a[i]) != AsciiLowerChar(b[i])) return false;
  return true;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string ExcludeTrailingBackslash(const std::string& s) {
  if (!s.empty() && s.back() == '\\') return s.substr(0, s.size() - 1);
  return s;
}

std::string TrimLeft(const std::string& s, const char* chars) {
  const size_t start = s.find_first_not_of(chars);
  return start == std::string::npos ? std::string() : s.substr(start);
}

std::string TrimRight(const std::string& s, const char* chars) {
  const size_t last = s.find_last_not_of(chars);
  return last == std::string::npos ? std::string() : s.substr(0, last + 1);
}

std::string Trim(const std::string& s, const char* chars) {
  return TrimLeft(TrimRight(s, chars), chars);
}
