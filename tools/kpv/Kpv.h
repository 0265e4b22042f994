#pragma once
// kpv, the package tool: lists, extracts and packs package archives with
// the installer's own archive code. RunKpv is the whole tool; its main only
// builds the host and passes the arguments.

#include <ostream>
#include <string>
#include <vector>

#include "platform/Host.h"

// Exit statuses besides ExtractFile's result codes 0 to 8.
constexpr int kKpvInvalidPackage = 9;
constexpr int kKpvUsage = 64;

// Runs one kpv command; `args` excludes the program name. Paths are in the
// host's own syntax. `list` and `extract` read the archive through `host`;
// `pack` walks and reads the folder and writes the archive natively.
int RunKpv(Host& host, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
