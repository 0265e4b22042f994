// Times the php.ini update on the sample php.ini with N extension lines to
// add: AddExtensionLines, and with --one-at-a-time the update as it once
// ran (the whole text joined, searched and split again per line). With
// --empty-lines BYTES the file is BYTES of empty lines instead (LF only),
// and nothing is added. Prints one line per N: the count, the time in
// milliseconds, and the process's peak memory so far in MiB.
//
//   php_ini_bench [--one-at-a-time] [--empty-lines BYTES] SAMPLE_PHP_INI N...
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/PhpIni.h"
#include "formlib/FileUtil.h"
#include "support/PhpIniReference.h"

namespace {

const char kTitle[] = "brevoxil - Articles Module Update";

double PeakMiB() {
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
  bool one_at_a_time = false;
  long empty_bytes = -1;
  int arg = 1;
  for (; arg < argc && argv[arg][0] == '-'; ++arg) {
    const std::string option = argv[arg];
    if (option == "--one-at-a-time") {
      one_at_a_time = true;
    } else if (option == "--empty-lines" && arg + 1 < argc) {
      empty_bytes = std::atol(argv[++arg]);
    } else {
      std::fprintf(stderr, "php_ini_bench: unknown option %s\n", argv[arg]);
      return 64;
    }
  }
  if (arg >= argc) {
    std::fprintf(stderr,
                 "usage: php_ini_bench [--one-at-a-time] [--empty-lines BYTES] PHP_INI N...\n");
    return 64;
  }
  std::string sample;
  if (empty_bytes >= 0) {
    sample.assign(static_cast<size_t>(empty_bytes), '\n');
  } else {
    std::ifstream in(argv[arg], std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    sample = bytes.str();
  }
  for (++arg; arg < argc; ++arg) {
    const long count = std::atol(argv[arg]);
    std::vector<std::string> add;
    for (long i = 0; i < count; ++i)
      add.push_back("extension=php_bench" + std::to_string(i) + ".dll");
    const auto start = std::chrono::steady_clock::now();
    size_t size = 0;
    if (one_at_a_time) {
      size = JoinLines(AddOneAtATime(SplitLines(sample), add, kTitle)).size();
    } else {
      const PhpIniText ini = AddExtensionLines(JoinedLines(sample), add, kTitle);
      size = ini.text.size() + ini.blocks.size();
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%8ld lines  %10.1f ms  %9.1f MiB peak  (%zu bytes written)\n", count, ms,
                PeakMiB(), size);
    std::fflush(stdout);
  }
  return 0;
}
