#pragma once
// Tests against the throwaway server: every test starts from a modules
// table holding the one row Articles 2.3.7, and the installer's settings
// lead to the server as its superuser.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/LinkedPq.h"
#include "support/InstallerWorld.h"
#include "support/PgTestServer.h"

class DbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(UsePgTestServer());
    admin_ = std::make_unique<PgAdmin>();
    t.host.pq = &LinkedPqApi();
    t.settings.DbHost = std::getenv("PGHOST");
    t.settings.DbUser = std::getenv("PGUSER");
    t.settings.DbPassword.clear();
    ResetModules("('Articles', '2.3.7', '2009-11-16 10:24:00')");
  }

  PgAdmin& admin() { return *admin_; }

  // Replaces the modules table by one holding `rows` (SQL row values, comma
  // separated; empty for none).
  void ResetModules(const std::string& rows) {
    admin().Exec(
        "DROP TABLE IF EXISTS modules;"
        "CREATE TABLE modules (name varchar(64) NOT NULL, version varchar(32), verdate "
        "timestamp);"
        "GRANT SELECT, UPDATE ON modules TO PUBLIC;");
    if (!rows.empty()) admin().Exec("INSERT INTO modules (name, version, verdate) VALUES " + rows);
  }

  // The table as (name, version, verdate) rows in storage order.
  std::vector<SqlRow> Modules() {
    return admin().Exec(
        "SELECT name, version, to_char(verdate, 'YYYY-MM-DD HH24:MI:SS') FROM modules "
        "ORDER BY ctid");
  }

  // A login role that must give its password.
  void CreateRole(const std::string& name, const std::string& password) {
    const std::string role = admin().Identifier(name);
    admin().Exec("DROP ROLE IF EXISTS " + role + "; CREATE ROLE " + role + " LOGIN PASSWORD " +
                 admin().Literal(password));
  }

  InstallerWorld t;

 private:
  std::unique_ptr<PgAdmin> admin_;
};
