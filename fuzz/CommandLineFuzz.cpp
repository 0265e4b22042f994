// The command line as the Windows start-up splits it, then ParseCommandLine
// on the arguments after the program name. Quotes never reach an argument.
// Parsing is total; a switch added at the end wins over the ones before it,
// in any spelling, and keeps its value as typed; the log's copy of the
// command line never shows a password given with "/dbpass:".
#include <exception>

#include "FuzzCheck.h"
#include "platform/CommandLine.h"
#include "shell/Main.h"

namespace {

// `text` with the letters the input's bits say in upper case.
std::string Spelled(const std::string& text, const std::string& bits) {
  std::string out = text;
  for (size_t i = 0; i < out.size() && !bits.empty(); ++i)
    if (bits[i % bits.size()] & (1 << (i % 8)) && out[i] >= 'a' && out[i] <= 'z')
      out[i] = static_cast<char>(out[i] - 'a' + 'A');
  return out;
}

Settings Parsed(std::vector<std::string> arguments, const std::string& last = std::string()) {
  if (!last.empty()) arguments.push_back(last);
  Settings settings;
  try {
    ParseCommandLine(arguments, settings);
  } catch (const std::exception&) {
    FUZZ_CHECK(!"ParseCommandLine threw");
  }
  return settings;
}

// A text the input does not hold, to find in the log's copy.
std::string Absent(const std::string& input) {
  std::string secret = "Pw7";
  while (input.find(secret) != std::string::npos) secret += '7';
  return secret;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line = FuzzInput(data, size);
  const std::vector<std::string> words = SplitCommandLine(line);
  FUZZ_CHECK(!words.empty());
  size_t characters = 0;
  for (size_t i = 0; i < words.size(); ++i) {
    FUZZ_CHECK(words[i].find('"') == std::string::npos);
    FUZZ_CHECK(words[i].find('\0') == std::string::npos);
    FUZZ_CHECK(i == 0 || !words[i].empty());
    characters += words[i].size();
  }
  FUZZ_CHECK(characters <= line.size());

  const std::vector<std::string> arguments(words.begin() + 1, words.end());
  const Settings settings = Parsed(arguments);
  FUZZ_CHECK(settings.PackagePassword.empty());

  // A value as typed: the last word, whatever it holds.
  const std::string value = words.back();
  struct ValueSwitch {
    const char* text;
    std::string Settings::*setting;
  };
  static const ValueSwitch kValueSwitches[] = {
      {"/installdir:", &Settings::InstallDir},
      {"/dbhost:", &Settings::DbHost},
      {"/dbuser:", &Settings::DbUser},
      {"/dbpass:", &Settings::DbPassword},
      {"/dbpassfile:", &Settings::DbPasswordFile},
      {"/log:", &Settings::LogFile},
  };
  for (const ValueSwitch& s : kValueSwitches) {
    const Settings later = Parsed(arguments, Spelled(s.text, line) + value);
    FUZZ_CHECK(later.*s.setting == value);
  }
  FUZZ_CHECK(Parsed(arguments, Spelled("/dbpass:", line) + value).DbPasswordFile.empty());
  FUZZ_CHECK(Parsed(arguments, Spelled("/log:", line) + value).LogGiven);
  FUZZ_CHECK(Parsed(arguments, Spelled("/silent", line)).SilentMode);
  const Settings very = Parsed(arguments, Spelled("/verysilent", line));
  FUZZ_CHECK(very.SilentMode && very.VerySilent);
  const Settings check = Parsed(arguments, Spelled("/check", line));
  FUZZ_CHECK(check.SilentMode && check.VerySilent && check.CheckOnly);
  // A switch without a value leaves the values as they were.
  FUZZ_CHECK(check.InstallDir == settings.InstallDir && check.DbHost == settings.DbHost &&
             check.DbPassword == settings.DbPassword && check.LogFile == settings.LogFile);

  std::vector<std::string> with_password = arguments;
  // Absent from the words as split, too: quotes taken out can join runs.
  std::string all = line;
  for (const std::string& word : words) all += '\n' + word;
  const std::string secret = Absent(all);
  with_password.push_back(Spelled("/dbpass:", line) + secret);
  std::string logged;
  try {
    logged = LoggedCommandLine(with_password);
  } catch (const std::exception&) {
    FUZZ_CHECK(!"LoggedCommandLine threw");
  }
  FUZZ_CHECK(logged.find(secret) == std::string::npos);
  FUZZ_CHECK(logged.find("***") != std::string::npos);
  return 0;
}
