#include <gtest/gtest.h>

#include "platform/Fault.h"
#include "platform/Host.h"
#include "platform/PqApi.h"
#include "platform/win32/Win32TestSupport.h"

namespace {

// One test, since a library once loaded stays loaded in the process: first
// none is to be found, then a stand-in "libpq.dll" is.
TEST(Win32PqTest, TheFirstLibraryThatLoadsIsBoundAndNoneNamesBoth) {
  {
    std::unique_ptr<Host> host = CreateHost(0, nullptr);
    try {
      host->Pq();
      FAIL() << "a client library was found";
    } catch (const DatabaseFault& e) {
      EXPECT_STREQ(e.what(),
                   "None of the dynamic libraries can be found: libpq81.dll, libpq.dll");
    }
  }
  std::unique_ptr<Host> host = CreateHost(0, nullptr);
  ASSERT_TRUE(SetDllDirectoryA((host->ProgramFolder() + "stubpq").c_str()));
  const PqApi& api = host->Pq();
  SetDllDirectoryA(nullptr);
  ASSERT_NE(api.PQstatus, nullptr);
  EXPECT_EQ(api.PQstatus(nullptr), 42);
  EXPECT_NE(GetModuleHandleA("libpq.dll"), nullptr);
  EXPECT_EQ(&host->Pq(), &api);  // bound once for the run
}

}  // namespace
