#pragma once
// The throwaway PostgreSQL server that scripts/pg-server starts for a test
// run (ctest starts it as a fixture and names its folder in
// CORVANTIS_PG_DIR), and a superuser connection to prepare and inspect it.

#include <optional>
#include <string>
#include <vector>

extern "C" {
typedef struct pg_conn PGconn;
}

// Reads CORVANTIS_PG_DIR/env and exports its PGHOST, PGPORT and PGUSER, so
// libpq's defaults (the port above all) lead to the server. Fails the
// running test, saying how to start the server, when there is none.
void UsePgTestServer();

using SqlRow = std::vector<std::optional<std::string>>;  // nullopt: NULL

// A connection as the superuser, straight through libpq.
class PgAdmin {
 public:
  explicit PgAdmin(const std::string& database = "corvantis");
  PgAdmin(const PgAdmin&) = delete;
  PgAdmin& operator=(const PgAdmin&) = delete;
  ~PgAdmin();

  // Runs the statements; fails the test on an error. The rows of the last.
  std::vector<SqlRow> Exec(const std::string& sql);
  // The text as an SQL string literal and as a quoted identifier.
  std::string Literal(const std::string& text);
  std::string Identifier(const std::string& text);

 private:
  PGconn* conn_ = nullptr;
};
