#pragma once
// Start-up: the command line read once, the log ("/log:"), the wizard form,
// the login dialog and the event loop, and the exit status at the end.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "formlib/Application.h"
#include "formlib/Ui.h"
#include "install/PackageDefinition.h"
#include "install/Settings.h"
#include "platform/Host.h"

// The log's first line of a run: who ran what, where and when.
std::string RunHeader(const RunnerFacts& runner, const PackageDefinition& package,
                      const std::vector<std::string>& arguments);

// The box of a run without an administrator's full rights (exit status 7).
extern const char kNotElevatedText[];

// "/dbpassfile:": the password is the first line of the file named; a file
// that cannot be read is told in a box, and the password stays as it was.
void ApplyPasswordFile(TApplication& app, Settings& settings);

// Start-up: the application on the machine `host` and the front-end `ui`,
// the log ("/log:"), the wizard form, the login dialog and the event loop.
// A "/check" run writes its plan to `console`. Returns the exit status.
// `switches` is the host's command line, parsed once by the caller; without
// it RunSetup parses the command line itself.
int RunSetup(Host& host, Ui& ui, Console* console, const Settings& switches);
int RunSetup(Host& host, Ui& ui, Console* console = nullptr);

// The program: "/?" or "/help" shows the help on `console`; "/verysilent"
// and "/check" run with the front-end `make_unattended_ui` makes, other
// runs with the platform's own from `make_ui`.
using UiFactory = std::function<std::unique_ptr<Ui>()>;
int RunProgram(Host& host, Console& console, const UiFactory& make_ui,
               const UiFactory& make_unattended_ui);
