// Times the registry file with N extra keys (each with two values, as a
// class registration of Wine's system.reg) added to a sample system.reg:
// one parse of the text, then the lookups /check makes (the product key,
// both Apache keys and their first subkey, PostgreSQL's installations),
// three times over, through the POSIX host on a prefix holding that file.
// Prints one line per N: the count, the parse and the lookups in
// milliseconds.
//
//   registry_bench SAMPLE_SYSTEM_REG N...
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "formlib/Registry.h"
#include "platform/posix/PosixHost.h"
#include "platform/posix/RegistryFile.h"

namespace {

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

std::string WithExtraKeys(const std::string& sample, long count) {
  std::string text = sample;
  char key[160];
  for (long i = 0; i < count; ++i) {
    std::snprintf(key, sizeof key,
                  "\n[Software\\\\Classes\\\\CLSID\\\\{%08lX-0000-0000-C000-000000000046}"
                  "\\\\InprocServer32]\n",
                  i);
    text += key;
    text += "@=\"C:\\\\windows\\\\system32\\\\ole32.dll\"\n\"ThreadingModel\"=\"Both\"\n";
  }
  return text;
}

// What /check asks of the registry; the count of values found.
int CheckLookups(Host& host) {
  int found = 0;
  const char* const keys[] = {"Software\\Apache Group\\Apache",
                              "Software\\Apache Software Foundation\\Apache",
                              "Software\\PostgreSQL\\Installations"};
  TRegistry product(host);
  if (product.OpenKey("Software\\Corvantis\\v2.1", false))
    found += !product.ReadString("InstallDir").empty();
  for (const char* key : keys) {
    TRegistry registry(host);
    if (!registry.OpenKey(key, false)) continue;
    const std::optional<std::string> first = registry.SubKeyName(0);
    if (first && registry.OpenKey(*first, false))
      found += !registry.ReadString("ServerRoot").empty() ||
               !registry.ReadString("Base Directory").empty();
  }
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: registry_bench SAMPLE_SYSTEM_REG N...\n");
    return 64;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  char folder[] = "/tmp/registry_bench.XXXXXX";
  if (::mkdtemp(folder) == nullptr) return 1;
  const std::string prefix = folder;
  for (int arg = 2; arg < argc; ++arg) {
    const long count = std::atol(argv[arg]);
    const std::string text = WithExtraKeys(bytes.str(), count);
    auto start = std::chrono::steady_clock::now();
    const bool parsed = RegistryFile::Parse(text, nullptr).has_value();
    const double parse_ms = MillisecondsSince(start);

    std::ofstream(prefix + "/system.reg", std::ios::binary) << text;
    PosixHostOptions options;
    options.prefix = prefix;
    std::unique_ptr<Host> host = CreatePosixHost(options);
    start = std::chrono::steady_clock::now();
    int found = 0;
    for (int round = 0; round < 3; ++round) found += CheckLookups(*host);
    const double lookups_ms = MillisecondsSince(start);
    std::printf("%7ld keys  parse %9.1f ms  /check lookups %9.1f ms  (%s, %d found)\n", count,
                parse_ms, lookups_ms, parsed ? "parsed" : "NOT PARSED", found);
  }
  std::remove((prefix + "/system.reg").c_str());
  ::rmdir(prefix.c_str());
  return 0;
}
