// The installer's entry point: builds the host and runs the wizard.
#include "platform/Host.h"
#include "shell/Main.h"

int main(int argc, char** argv) {
  std::unique_ptr<Host> host = CreateHost(argc, argv);
  return RunSetup(*host);
}
