#include "shell/CommandLine.h"

#include <cctype>

#include "platform/Text.h"

namespace {

// The switches without a value; false when `lower` is none of them.
bool ApplyFlagSwitch(const std::string& lower, Settings& settings) {
  if (lower == "/silent") {
    settings.SilentMode = true;
  } else if (lower == "/verysilent") {
    settings.SilentMode = settings.VerySilent = true;
  } else if (lower == "/check") {
    settings.SilentMode = settings.VerySilent = settings.CheckOnly = true;
  } else if (lower == "/?" || lower == "/help") {
    settings.ShowHelp = true;
  } else if (lower == "/norollback") {
    settings.NoRollback = true;
  } else {
    return false;
  }
  return true;
}

// "/waitlimit:": whole seconds, 1 to a day; anything else keeps the limit
// before it.
void ApplyWaitLimit(const std::string& digits, Settings& settings) {
  if (digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of("0123456789") != std::string::npos)
    return;
  const unsigned long seconds = std::stoul(digits);
  if (seconds >= 1 && seconds <= 86400) settings.WaitLimitSeconds = seconds;
}

}  // namespace

void ParseCommandLine(const std::vector<std::string>& arguments, Settings& settings) {
  struct ValueSwitch {
    const char* text;
    std::string Settings::*setting;
  };
  static const ValueSwitch kValueSwitches[] = {
      {"/installdir:", &Settings::InstallDir},
      {"/dbhost:", &Settings::DbHost},
      {"/dbuser:", &Settings::DbUser},
      {"/dbpass:", &Settings::DbPassword},
  };
  for (const std::string& argument : arguments) {
    const std::string lower = AnsiLowerCase(argument);
    if (ApplyFlagSwitch(lower, settings)) continue;
    if (StartsWith(lower, "/dbpassfile:")) {
      settings.DbPasswordFile = argument.substr(12);
      continue;
    }
    if (StartsWith(lower, "/dbpass:")) settings.DbPasswordFile.clear();  // the later one wins
    if (StartsWith(lower, "/waitlimit:")) {
      ApplyWaitLimit(argument.substr(11), settings);
      continue;
    }
    if (StartsWith(lower, "/log:")) {
      settings.LogFile = argument.substr(5);
      settings.LogGiven = true;
      continue;
    }
    for (const ValueSwitch& s : kValueSwitches) {
      const std::string text = s.text;
      if (StartsWith(lower, text)) {
        settings.*s.setting = argument.substr(text.size());
        break;
      }
    }
  }
}

std::string LoggedCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  // After a masked argument, the parts that a password with blanks was
  // split into: every one up to the closing quote the value opened, and
  // every following one that is no switch.
  char open_quote = 0;
  bool after_masked = false;
  for (const std::string& argument : arguments) {
    std::string shown = argument;
    if (StartsWith(AnsiLowerCase(argument), "/dbpass")) {
      // Any spelling and any separator: the switch's letters stay.
      size_t keep = 7;
      while (keep < argument.size() && std::isalpha(static_cast<unsigned char>(argument[keep])))
        ++keep;
      if (keep < argument.size()) ++keep;  // the separator
      shown = argument.substr(0, keep) + "***";
      const std::string value = argument.substr(keep);
      open_quote = 0;
      if (!value.empty() && (value[0] == '"' || value[0] == '\'') &&
          value.find(value[0], 1) == std::string::npos)
        open_quote = value[0];
      after_masked = true;
    } else if (open_quote != 0) {
      if (argument.find(open_quote) != std::string::npos) open_quote = 0;
      shown = "***";
    } else if (after_masked && !StartsWith(argument, "/")) {
      shown = "***";
    } else {
      after_masked = false;
    }
    if (shown.empty() || shown.find_first_of(" \t") != std::string::npos)
      shown = "\"" + shown + "\"";
    if (!line.empty()) line += ' ';
    line += shown;
  }
  return line;
}

std::string HelpText() {
  return "setup [/silent | /verysilent | /check] [/log:FILE] [/installdir:FOLDER]\n"
         "      [/dbhost:HOST] [/dbuser:USER] [/dbpass:PASSWORD | /dbpassfile:FILE]\n"
         "      [/norollback] [/waitlimit:SECONDS]\n"
         "\n"
         "/silent             goes through the pages by itself; boxes still ask\n"
         "/verysilent         shows no window: an OK box is acknowledged, every\n"
         "                    question is answered No, the DB Login counts as\n"
         "                    cancelled; errors go to standard error\n"
         "/check              changes nothing: checks the versions, finds Apache,\n"
         "                    PHP and PostgreSQL, reads the package, and prints what\n"
         "                    an install would do (implies /verysilent)\n"
         "/log:FILE           writes a log of the run to FILE (the password as ***)\n"
         "/installdir:FOLDER  the destination only when the product's registry key\n"
         "                    can be neither opened nor created; once the key\n"
         "                    exists its \"InstallDir\" wins, even an empty one\n"
         "/dbhost:HOST /dbuser:USER /dbpass:PASSWORD\n"
         "                    the database login; without a password it is asked for\n"
         "/dbpassfile:FILE    the password is FILE's first line: a command line can be\n"
         "                    read by every user of the machine, a file only by those\n"
         "                    its ACL lets in\n"
         "/norollback         a failure after the web server's stop leaves everything\n"
         "                    as it is, the web server stopped (to inspect it);\n"
         "                    without it the previous state is restored\n"
         "/waitlimit:SECONDS  with /verysilent or /check: a program setup starts that\n"
         "                    runs longer is ended and counts as failed (1800)\n"
         "/? /help            shows this text\n"
         "\n"
         "Exit status:\n"
         "0  the install ran to the end and recorded the new module version\n"
         "   (/check: the install would go ahead)\n"
         "1  the installer could not start\n"
         "2  the wizard was closed before the install began\n"
         "4  the install failed after the web server's stop; the previous state was\n"
         "   restored and the web server started again (/norollback: left as it was)\n"
         "5  a No stopped the install after the web server's stop; restored as for 4\n"
         "7  the update did not go ahead and nothing was changed\n"
         "   (/check: the install would not go ahead)\n"
         "9  the install failed and the machine is not as it was before: the restore\n"
         "   could not complete, or the module record failed after the restart (the\n"
         "   new files stay; run setup again); the log says what to look at\n"
         "10 nothing to do: this server already runs Articles 2.3.8\n"
         "   (/verysilent and /check alike; nothing was changed)\n"
         "On Linux, 128+N: the installer was killed by signal N.\n";
}
