// The host contract (support/HostContract.h) on the fake host; the POSIX and
// the Windows hosts run it in their own tests.
#include "support/FakeHost.h"
#include "support/HostContract.h"

TEST(HostContract, FakeHostKeepsIt) {
  FakeHost host;
  host.AddFolder("C:\\Contract");
  host.can_start = [](const std::string&) { return false; };  // its processes are scripted
  HostContractOptions options{"C:\\Contract\\"};
  options.real_sha256 = false;
  CheckHostContract(host, options);
}
