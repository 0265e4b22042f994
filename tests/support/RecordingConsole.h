#pragma once
// RecordingConsole: a console that keeps what is written to standard
// output and standard error, for tests that read them back.

#include <string>

#include "formlib/Ui.h"

struct RecordingConsole : Console {
  void Output(const std::string& text) override { output += text; }
  void Error(const std::string& text) override { error += text; }
  void ShowHelp(const std::string&, const std::string&) override {}
  void QuietStartedPrograms() override {}
  std::string output, error;
};
