#include "support/PgTestServer.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <cstdlib>
#include <fstream>

void UsePgTestServer() {
  const char* dir = std::getenv("CORVANTIS_PG_DIR");
  ASSERT_TRUE(dir != nullptr && *dir != '\0')
      << "No test server: run the tests through ctest, which starts one, or start one with "
         "`scripts/pg-server start DIR` and set CORVANTIS_PG_DIR=DIR.";
  const std::string env_file = std::string(dir) + "/env";
  std::ifstream in(env_file);
  ASSERT_TRUE(in) << "No test server: " << env_file
                  << " is missing (did `scripts/pg-server start` fail?)";
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string name = line.substr(0, eq);
    if (name == "PGHOST" || name == "PGPORT" || name == "PGUSER")
      setenv(name.c_str(), line.substr(eq + 1).c_str(), 1);
  }
  for (const char* name : {"PGHOST", "PGPORT", "PGUSER"})
    ASSERT_NE(std::getenv(name), nullptr) << env_file << " names no " << name;
}

PgAdmin::PgAdmin(const std::string& database) {
  const char* keywords[] = {"dbname", nullptr};
  const char* values[] = {database.c_str(), nullptr};
  conn_ = PQconnectdbParams(keywords, values, 0);
  EXPECT_EQ(PQstatus(conn_), CONNECTION_OK) << PQerrorMessage(conn_);
}

PgAdmin::~PgAdmin() { PQfinish(conn_); }

std::vector<SqlRow> PgAdmin::Exec(const std::string& sql) {
  std::vector<SqlRow> rows;
  PGresult* result = PQexec(conn_, sql.c_str());
  const ExecStatusType status = PQresultStatus(result);
  EXPECT_TRUE(status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK)
      << sql << ": " << PQresultErrorMessage(result);
  if (status == PGRES_TUPLES_OK) {
    for (int r = 0; r < PQntuples(result); ++r) {
      SqlRow row;
      for (int f = 0; f < PQnfields(result); ++f) {
        if (PQgetisnull(result, r, f))
          row.push_back(std::nullopt);
        else
          row.push_back(std::string(PQgetvalue(result, r, f)));
      }
      rows.push_back(row);
    }
  }
  PQclear(result);
  return rows;
}

std::string PgAdmin::Literal(const std::string& text) {
  char* quoted = PQescapeLiteral(conn_, text.data(), text.size());
  std::string result = quoted;
  PQfreemem(quoted);
  return result;
}

std::string PgAdmin::Identifier(const std::string& text) {
  char* quoted = PQescapeIdentifier(conn_, text.data(), text.size());
  std::string result = quoted;
  PQfreemem(quoted);
  return result;
}
