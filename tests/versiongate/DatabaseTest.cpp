#include <chrono>
#include <thread>

#include "platform/Fault.h"
#include "support/FaultText.h"
#include "versiongate/Database.h"
#include "versiongate/DbTestFixture.h"
#include "versiongate/ModuleRecord.h"

namespace {

using DatabaseTest = DbTest;

// Refused logins raise the server's message and leave nothing open.
TEST_F(DatabaseTest, CredentialsReachTheServerAsTyped) {
  struct Case {
    const char* role;  // the role the server knows, with its password
    const char* password;
    const char* user;  // what is typed
    const char* typed_password;
    bool logs_in;
  };
  const Case cases[] = {
      {"corvantis admin", "p\" w=x", "corvantis admin", "p\" w=x", true},
      {"o'brien", "it's 'quoted' \\ too", "o'brien", "it's 'quoted' \\ too", true},
      {"a=b c", "host=x", "a=b c", "host=x", true},
      {"-U root", "-W \\' x", "-U root", "-W \\' x", true},
      {"back\\slash\\", "ends in \\", "back\\slash\\", "ends in \\", true},
      {"a=b c", "host=x", "a=b c", "host=y", false},
      {"corvantis admin", "p\" w=x", "corvantis admin", "p\" w=y", false},
      // Would log in as the trusted superuser if spliced into a string.
      {"corvantis admin", "p\" w=x", "corvantis admin", "x user=root", false},
      {"corvantis admin", "p\" w=x", "corvantis admin", "' user='root", false},
      {"corvantis admin", "p\" w=x", "corvantis admin", "x\\' user='root", false},
      {"corvantis admin", "p\" w=x", "nobody user=root", "x", false},
  };
  // The library as linked, and as an 8.x library offers it: no
  // PQconnectdbParams, so the values travel in a connection string.
  PqApi without_params = LinkedPqApi();
  without_params.PQconnectdbParams = nullptr;
  for (const PqApi* api : {&LinkedPqApi(), static_cast<const PqApi*>(&without_params)}) {
    t.host.pq = api;
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(api->PQconnectdbParams ? "PQconnectdbParams: " : "PQconnectdb: ") +
                   c.user + " / " + c.typed_password);
      CreateRole(c.role, c.password);
      t.settings.DbUser = c.user;
      t.settings.DbPassword = c.typed_password;
      if (c.logs_in) {
        EXPECT_EQ(ReadInstalledVersion(t.installer), "2.3.7");
      } else {
        const std::string message =
            FaultText<DatabaseFault>([&] { ReadInstalledVersion(t.installer); });
        EXPECT_NE(
            message.find("password authentication failed for user \"" + std::string(c.user) + "\""),
            std::string::npos)
            << message;
        ASSERT_FALSE(message.empty());
        EXPECT_NE(message.back(), '\n');
        // A refused login leaves nothing open, and the record says so in its box.
        EXPECT_FALSE(t.connection.Connected());
        t.screen.ExpectBox(
            "Unable to update the module version in the database. Please contact technical "
            "support.",
            "ERROR", kMbOk | kMbIconError, kIdOk);
        EXPECT_FALSE(RecordModuleVersion(t.installer));
      }
      EXPECT_FALSE(t.connection.Connected());
    }
  }
}

// Counts the server processes serving `pid`, waiting up to five seconds for
// it to end.
int BackendsAfterWait(PgAdmin& admin, const std::string& pid) {
  std::string count;
  for (int i = 0; i < 100; ++i) {
    count = *admin.Exec("SELECT count(*) FROM pg_stat_activity WHERE pid = " + pid)[0][0];
    if (count == "0") break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return std::stoi(count);
}

TEST_F(DatabaseTest, DestroyingAnOpenConnectionClosesIt) {
  std::string pid;
  {
    TZConnection connection(t.host);
    TZQuery query(connection);
    connection.HostName = t.settings.DbHost;
    connection.Database = "corvantis";
    query.SQL = "SELECT pg_backend_pid();";
    query.Open();  // connects on its own
    ASSERT_TRUE(connection.Connected());
    pid = query.FieldAsString("pg_backend_pid");
    EXPECT_EQ(admin().Exec("SELECT count(*) FROM pg_stat_activity WHERE pid = " + pid)[0][0], "1");
  }
  EXPECT_EQ(BackendsAfterWait(admin(), pid), 0);
}

TEST_F(DatabaseTest, ConnectionTheServerDroppedIsOpenedAnew) {
  admin().Exec("DROP TABLE modules");
  EXPECT_THROW(ReadInstalledVersion(t.installer), DatabaseFault);
  ASSERT_TRUE(t.connection.Connected());
  ResetModules("('Articles', '2.3.7', NULL)");
  admin().Exec(
      "SELECT pg_terminate_backend(pid, 5000) FROM pg_stat_activity "
      "WHERE datname = 'corvantis' AND pid <> pg_backend_pid()");

  // The first statement finds the connection gone; the retry after it
  // must not fail on it again.
  EXPECT_NE(FaultText<DatabaseFault>([&] { ReadInstalledVersion(t.installer); }), "");
  EXPECT_EQ(ReadInstalledVersion(t.installer), "2.3.7");
  EXPECT_FALSE(t.connection.Connected());
}

}  // namespace
