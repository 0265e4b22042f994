#pragma once
// The POSIX host: a Windows machine inside a prefix folder, in the way of
// Wine. Drives are folders of the prefix (see PathMap.h), HKEY_LOCAL_MACHINE
// is <prefix>/system.reg (see PosixRegistry.h), processes are started with
// posix_spawn (see PosixProcess.h). The windows are the front-end's
// (frontend/posix/Terminal.h). A missing prefix folder is made when the
// registry is first used, as an empty machine. That, and why the registry
// cannot be used, are told as notices (Host::SetNoticeSink), as
// "made the prefix P, an empty machine" and "warning: REASON".

#include <memory>
#include <string>
#include <vector>

#include "platform/Host.h"

struct PosixHostOptions {
  std::string prefix;                  // the prefix folder
  std::vector<std::string> arguments;  // the command line after the program name
  std::string program_path;            // the program file; empty: /proc/self/exe
  // False: a missing prefix is not made; it reads as an empty machine with
  // nothing written (a run that must change nothing).
  bool make_prefix = true;
};

std::unique_ptr<Host> CreatePosixHost(const PosixHostOptions& options);

// $CORVANTIS_PREFIX, else ~/.corvantis.
std::string DefaultPrefix();
