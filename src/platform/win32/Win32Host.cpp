#include "platform/win32/Win32Host.h"

#include <cstdlib>
#include <ctime>

#include "platform/CommandLine.h"

std::vector<std::string> Win32Host::CommandLineArguments() {
  // The C runtime's argv follows other rules for backslashes before quotes,
  // so the line is split by the installer's own rules.
  std::vector<std::string> arguments = SplitCommandLine(GetCommandLineA());
  if (!arguments.empty()) arguments.erase(arguments.begin());
  return arguments;
}

std::string Win32Host::ProgramFolder() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of("\\/") + 1);
}

// A relative name is completed with the current folder, so a tool's
// folder argument can be made with its parents.
std::string Win32Host::FromNativePath(const std::string& native_path) {
  if (native_path.empty()) return native_path;
  const DWORD needed = GetFullPathNameA(native_path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return native_path;
  std::string full(needed, '\0');
  const DWORD length = GetFullPathNameA(native_path.c_str(), needed, &full[0], nullptr);
  if (length == 0 || length >= needed) return native_path;
  full.resize(length);
  return full;
}

uint32_t Win32Host::TickCount() { return GetTickCount(); }
int64_t Win32Host::Time() { return static_cast<int64_t>(std::time(nullptr)); }
void Win32Host::SeedRandom(unsigned seed) { std::srand(seed); }
int Win32Host::Random() { return std::rand(); }

std::unique_ptr<Host> CreateHost(int, char**) { return std::make_unique<Win32Host>(); }
