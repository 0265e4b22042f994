#pragma once
// Byte-string helpers. Texts are 8-bit strings in the ANSI code page; the
// case mappings follow Windows code page 1252, the system code page of the
// servers this installer is made for.

#include <string>

char AnsiLowerChar(char c);
char AnsiUpperChar(char c);
std::string AnsiLowerCase(std::string s);
std::string AnsiUpperCase(std::string s);

// Only the ASCII letters A-Z and a-z folded; every other byte must be equal.
char AsciiLowerChar(char c);
std::string AsciiLowerCase(std::string s);
bool EqualsIgnoreAsciiCase(const std::string& a, const std::string& b);

bool StartsWith(const std::string& s, const std::string& prefix);
bool EndsWith(const std::string& s, const std::string& suffix);

// The text with one trailing "\" removed, when it ends with one.
std::string ExcludeTrailingBackslash(const std::string& s);

// The text without the bytes of `chars` (by default blanks and tabs) at its
// start, at its end, or at both.
constexpr const char* kBlanks = " \t";
std::string TrimLeft(const std::string& s, const char* chars = kBlanks);
std::string TrimRight(const std::string& s, const char* chars = kBlanks);
std::string Trim(const std::string& s, const char* chars = kBlanks);
