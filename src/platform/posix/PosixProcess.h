#pragma once
// Processes for HostProcess, started with fork and execve.
//
// The child gets the arguments exactly as given, this process's
// environment with `extra_environment` set on top, its current folder, and
// /dev/null as standard input (so it cannot take the answers typed for the
// installer); standard output and error are shared, or both go to `output`
// when it is a descriptor. It gets SIGKILL when the installer ends
// (PR_SET_PDEATHSIG), and with `own_group` leads a process group of its
// own, which Terminate ends whole. Destroying the object does not end the
// child; a child that has ended is reaped.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Host.h"
#include "platform/posix/FileDescriptor.h"

// Starts `host_program` with argv[0] = `host_program` followed by
// `arguments`, its standard output and error going to `output` when that
// is open; the installer's copy of `output` is closed once the program is
// forked. Null, with errno in `*error`, when it cannot be started.
std::unique_ptr<HostProcess> SpawnProcess(
    const std::string& host_program, const std::vector<std::string>& arguments,
    const std::vector<std::pair<std::string, std::string>>& extra_environment,
    FileDescriptor output, bool own_group, int* error);
