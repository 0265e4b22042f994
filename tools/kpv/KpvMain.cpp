// kpv's entry point: the host of this platform, then RunKpv.
#include <iostream>

#include "Kpv.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::unique_ptr<Host> host = CreateHost(argc, argv);
  return RunKpv(*host, host->CommandLineArguments(), std::cout, std::cerr);
}
