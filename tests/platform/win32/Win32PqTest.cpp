#include <gtest/gtest.h>

#include "platform/Fault.h"
#include "platform/Host.h"
#include "platform/PqApi.h"
#include "platform/win32/Win32TestSupport.h"

namespace {

// One test, since a library once loaded stays loaded in the process: first
// none can be loaded, the server's 32-bit ones on the search path included;
// then a stand-in "libpq.dll" is found; then a "libpq81.dll" of libpq 8.1,
// the first name tried, is.
TEST(Win32PqTest, TheFirstLibraryThatLoadsIsBoundAndNoneNamesBoth) {
  {
    std::unique_ptr<Host> host = CreateHost(0, nullptr);
    ASSERT_NE(GetFileAttributesA((host->ProgramFolder() + "pq32\\libpq81.dll").c_str()),
              INVALID_FILE_ATTRIBUTES)
        << "the 32-bit libraries were not built (i686-w64-mingw32-gcc)";
    ASSERT_TRUE(SetDllDirectoryA((host->ProgramFolder() + "pq32").c_str()));
    try {
      host->Pq();
      FAIL() << "a client library was found";
    } catch (const DatabaseFault& e) {
      EXPECT_STREQ(e.what(), "None of the dynamic libraries can be found: libpq81.dll, libpq.dll");
    }
    SetDllDirectoryA(nullptr);
  }
  {
    std::unique_ptr<Host> host = CreateHost(0, nullptr);
    ASSERT_TRUE(SetDllDirectoryA((host->ProgramFolder() + "stubpq").c_str()));
    const PqApi& api = host->Pq();
    SetDllDirectoryA(nullptr);
    ASSERT_NE(api.PQstatus, nullptr);
    EXPECT_EQ(api.PQstatus(nullptr), 42);
    EXPECT_NE(api.PQconnectdbParams, nullptr);
    EXPECT_NE(GetModuleHandleA("libpq.dll"), nullptr);
    EXPECT_EQ(&host->Pq(), &api);  // bound once for the run
  }
  std::unique_ptr<Host> host = CreateHost(0, nullptr);
  ASSERT_TRUE(SetDllDirectoryA((host->ProgramFolder() + "stubpq81").c_str()));
  const PqApi& api = host->Pq();
  SetDllDirectoryA(nullptr);
  EXPECT_EQ(api.PQstatus(nullptr), 81);
  EXPECT_EQ(api.PQconnectdbParams, nullptr);
  EXPECT_NE(api.PQconnectdb, nullptr);
}

}  // namespace
