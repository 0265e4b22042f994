// The command line as the Windows start-up splits it, then ParseCommandLine
// on the arguments after the program name. Quotes never reach an argument,
// and each setting is the default or the value of the last argument that
// names its switch.
#include "FuzzCheck.h"
#include "platform/CommandLine.h"
#include "platform/Text.h"
#include "shell/Main.h"

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
  Settings settings;
  ParseCommandLine(arguments, settings);

  const Settings defaults;
  bool silent = false, very_silent = false, check = false, help = false, log_given = false;
  std::string log_file, password_file;
  struct Expected {
    const char* text;
    std::string Settings::*setting;
    std::string value;
  } expected[] = {
      {"/installdir:", &Settings::InstallDir, defaults.InstallDir},
      {"/dbhost:", &Settings::DbHost, defaults.DbHost},
      {"/dbuser:", &Settings::DbUser, defaults.DbUser},
      {"/dbpass:", &Settings::DbPassword, defaults.DbPassword},
  };
  for (const std::string& argument : arguments) {
    const std::string lower = AnsiLowerCase(argument);
    if (lower == "/silent") silent = true;
    if (lower == "/verysilent") silent = very_silent = true;
    if (lower == "/check") silent = very_silent = check = true;
    if (lower == "/?" || lower == "/help") help = true;
    if (StartsWith(lower, "/log:")) {
      log_given = true;
      log_file = argument.substr(5);
    }
    // Of "/dbpassfile:" and "/dbpass:", the later one wins.
    if (StartsWith(lower, "/dbpassfile:")) password_file = argument.substr(12);
    if (StartsWith(lower, "/dbpass:")) password_file.clear();
    for (Expected& e : expected)
      if (StartsWith(lower, e.text)) e.value = argument.substr(std::string(e.text).size());
  }
  FUZZ_CHECK(settings.SilentMode == silent);
  FUZZ_CHECK(settings.VerySilent == very_silent);
  FUZZ_CHECK(settings.CheckOnly == check);
  FUZZ_CHECK(settings.ShowHelp == help);
  FUZZ_CHECK(settings.LogGiven == log_given && settings.LogFile == log_file);
  for (const Expected& e : expected) FUZZ_CHECK(settings.*e.setting == e.value);
  FUZZ_CHECK(settings.DbPasswordFile == password_file);
  FUZZ_CHECK(settings.PackagePassword.empty());
  return 0;
}
