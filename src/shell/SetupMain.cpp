// The installer's entry point: builds the host and the front-end of the
// platform and runs the wizard.
#include "formlib/Ui.h"
#include "platform/Host.h"
#include "shell/Main.h"

int main(int argc, char** argv) {
  std::unique_ptr<Host> host = CreateHost(argc, argv);
  std::unique_ptr<Ui> ui = CreateUi(*host);
  return RunSetup(*host, *ui);
}
