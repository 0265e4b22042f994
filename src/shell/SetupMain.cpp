// The installer's entry point: builds the host, the console and, unless the
// run has no window, the front-end of the platform, and runs the program.
#include "formlib/Ui.h"
#include "platform/Host.h"
#include "shell/Main.h"

int main(int argc, char** argv) {
  std::unique_ptr<Host> host = CreateHost(argc, argv);
  std::unique_ptr<Console> console = CreateConsole();
#ifndef _WIN32
  // The machine is a prefix folder here: without its drive C: there is
  // nothing to install on, and nothing is touched.
  Settings switches;
  ParseCommandLine(host->CommandLineArguments(), switches);
  if (!switches.ShowHelp && host->FileAttributes("C:\\") != kAttributeDirectory) {
    console->Error(
        "setup: no machine here: the prefix folder ($CORVANTIS_PREFIX) has no drive_c\n");
    return kExitNotStarted;
  }
#endif
  return RunProgram(
      *host, *console, [&host] { return CreateUi(*host); },
      [&console] { return CreateUnattendedUi(*console); });
}
