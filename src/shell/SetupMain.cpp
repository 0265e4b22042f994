// The installer's entry point: builds the host, the console and, unless the
// run has no window, the front-end of the platform, and runs the program.
#include "formlib/Ui.h"
#include "platform/Host.h"
#include "shell/Main.h"

int main(int argc, char** argv) {
  std::unique_ptr<Host> host = CreateHost(argc, argv);
  std::unique_ptr<Console> console = CreateConsole();
  return RunProgram(
      *host, *console, [&host] { return CreateUi(*host); },
      [&console] { return CreateUnattendedUi(*console); });
}
