#include "platform/Fault.h"
#include "support/FaultText.h"
#include "versiongate/DbTestFixture.h"
#include "versiongate/ModuleRecord.h"

namespace {

const char kUpdateFailed[] =
    "Unable to update the module version in the database. Please contact technical support.";

SqlRow Row(const char* name, const char* version, const char* verdate) {
  auto value = [](const char* v) { return v ? std::optional<std::string>(v) : std::nullopt; };
  return {value(name), value(version), value(verdate)};
}

using ModuleRecordTest = DbTest;

// The statements as the server receives them: the real library, with a
// PQexec that notes each one on the way.
std::vector<std::string> sent;
PGresult* NotingExec(PGconn* conn, const char* query) {
  sent.push_back(query);
  return LinkedPqApi().PQexec(conn, query);
}
const PqApi& NotingPqApi() {
  static const PqApi noting = [] {
    PqApi api = LinkedPqApi();
    api.PQexec = NotingExec;
    return api;
  }();
  sent.clear();
  return noting;
}
const char kSelect[] = "SELECT * FROM modules WHERE name='Articles';";

TEST_F(ModuleRecordTest, RecordingMovesTheRowToThisVersion) {
  t.host.pq = &NotingPqApi();
  EXPECT_EQ(ReadInstalledVersion(t.installer), "2.3.7");
  EXPECT_FALSE(t.connection.Connected());

  EXPECT_TRUE(RecordModuleVersion(t.installer));
  EXPECT_FALSE(t.connection.Connected());
  EXPECT_FALSE(t.query.Active());
  EXPECT_EQ(Modules(), std::vector<SqlRow>{Row("Articles", "2.3.8", "2010-05-31 02:03:08")});
  EXPECT_EQ(ReadInstalledVersion(t.installer), "2.3.8");
  const std::string select = kSelect;
  // Read; record: the query for the row, then the update; read again.
  EXPECT_EQ(sent,
            (std::vector<std::string>{select, select,
                                      "UPDATE modules SET version='2.3.8',verdate='2010-05-31 "
                                      "02:03:08' WHERE name='Articles';",
                                      select}));
  t.host.pq = &LinkedPqApi();
}

TEST_F(ModuleRecordTest, WithoutARowNothingIsWrittenAndTheVersionIsEmpty) {
  ResetModules("('News', '1.2', NULL), ('articles', '2.3.7', NULL)");
  const std::vector<SqlRow> before = Modules();
  t.host.pq = &NotingPqApi();

  EXPECT_EQ(ReadInstalledVersion(t.installer), "");
  EXPECT_TRUE(RecordModuleVersion(t.installer));  // no box is scripted: none may show
  EXPECT_EQ(Modules(), before);
  EXPECT_FALSE(t.connection.Connected());
  // Read; record: the query for the row, then the query again in place of
  // the update, which would match no row here and so show nothing in the table.
  EXPECT_EQ(sent, std::vector<std::string>(3, kSelect));
}

TEST_F(ModuleRecordTest, NullVersionReadsAsEmpty) {
  ResetModules("('Articles', NULL, NULL)");
  EXPECT_EQ(ReadInstalledVersion(t.installer), "");
}

TEST_F(ModuleRecordTest, SeveralRowsAreAllUpdatedAndTheFirstIsRead) {
  ResetModules("('Articles', '2.3.5', NULL), ('News', '1.0', NULL), ('Articles', '2.3.7', NULL)");
  const std::vector<SqlRow> first =
      admin().Exec("SELECT version FROM modules WHERE name='Articles';");
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(ReadInstalledVersion(t.installer), *first[0][0]);

  EXPECT_TRUE(RecordModuleVersion(t.installer));
  EXPECT_EQ(
      admin().Exec("SELECT version, to_char(verdate, 'YYYY-MM-DD HH24:MI:SS') FROM modules "
                   "WHERE name='Articles'"),
      (std::vector<SqlRow>{{"2.3.8", "2010-05-31 02:03:08"}, {"2.3.8", "2010-05-31 02:03:08"}}));
  EXPECT_EQ(admin().Exec("SELECT version FROM modules WHERE name='News'"),
            std::vector<SqlRow>{{"1.0"}});
}

TEST_F(ModuleRecordTest, BrokenTableRaisesAndLeavesTheConnectionOpen) {
  struct Case {
    const char* change;
    const char* read_error;
  };
  const Case cases[] = {
      {"DROP TABLE modules", "relation \"modules\" does not exist"},
      {"ALTER TABLE modules DROP COLUMN version", "Field 'version' not found"},
      {"ALTER TABLE modules DROP COLUMN verdate", nullptr},  // read works, the update fails
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change);
    ResetModules("('Articles', '2.3.7', NULL)");
    admin().Exec(c.change);

    if (c.read_error != nullptr) {
      const std::string error =
          FaultText<DatabaseFault>([this] { ReadInstalledVersion(t.installer); });
      EXPECT_NE(error.find(c.read_error), std::string::npos) << error;
      EXPECT_NE(error.back(), '\n');
      EXPECT_TRUE(t.connection.Connected());
    }

    t.screen.ExpectBox(kUpdateFailed, "ERROR", kMbOk | kMbIconError, kIdOk);
    EXPECT_FALSE(RecordModuleVersion(t.installer));
    EXPECT_EQ(t.screen.last_box_owner, &t.ui.owner);
    EXPECT_TRUE(t.connection.Connected());
    t.connection.Disconnect();
  }
}

TEST_F(ModuleRecordTest, NextOperationRunsOnTheConnectionAnErrorLeftOpen) {
  admin().Exec("ALTER TABLE modules RENAME TO modules_away");
  EXPECT_THROW(ReadInstalledVersion(t.installer), DatabaseFault);
  ASSERT_TRUE(t.connection.Connected());
  admin().Exec("ALTER TABLE modules_away RENAME TO modules");

  // Credentials that no new connect could use: the record still works,
  // because it runs on the connection left open.
  CreateRole("corvantis admin", "right");
  t.settings.DbUser = "corvantis admin";
  t.settings.DbPassword = "wrong";
  EXPECT_TRUE(RecordModuleVersion(t.installer));
  EXPECT_EQ(Modules(), std::vector<SqlRow>{Row("Articles", "2.3.8", "2010-05-31 02:03:08")});
  EXPECT_FALSE(t.connection.Connected());

  // Closed now, so the next operation connects with the new parameters.
  EXPECT_THROW(ReadInstalledVersion(t.installer), DatabaseFault);
  EXPECT_FALSE(t.connection.Connected());
}

TEST_F(ModuleRecordTest, MissingClientLibraryIsReported) {
  t.host.pq = nullptr;
  EXPECT_EQ(FaultText<Fault>([this] { ReadInstalledVersion(t.installer); }),
            "None of the dynamic libraries can be found: libpq81.dll, libpq.dll");
  t.screen.ExpectBox(kUpdateFailed, "ERROR", kMbOk | kMbIconError, kIdOk);
  EXPECT_FALSE(RecordModuleVersion(t.installer));
  EXPECT_EQ(Modules(), std::vector<SqlRow>{Row("Articles", "2.3.7", "2009-11-16 10:24:00")});
}

}  // namespace
