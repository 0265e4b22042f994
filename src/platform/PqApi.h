#pragma once
// The few libpq functions the database access uses, as a table of function
// pointers, so one database access serves every host: filled from the linked
// library on Linux, from a DLL loaded at run time on Windows. The declarations
// mirror libpq-fe.h, which the core does not include. Every function but
// PQconnectdbParams was in libpq 8.1, the client library of the servers
// this update is for.

extern "C" {
typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;
}

struct PqApi {
  // ConnStatusType / ExecStatusType values used here.
  static constexpr int kConnectionOk = 0;
  static constexpr int kCommandOk = 1;
  static constexpr int kTuplesOk = 2;

  // From libpq 9.0 on; null when the library is older.
  PGconn* (*PQconnectdbParams)(const char* const* keywords, const char* const* values,
                               int expand_dbname) = nullptr;
  PGconn* (*PQconnectdb)(const char* conninfo) = nullptr;
  int (*PQstatus)(const PGconn* conn) = nullptr;
  char* (*PQerrorMessage)(const PGconn* conn) = nullptr;
  void (*PQfinish)(PGconn* conn) = nullptr;
  PGresult* (*PQexec)(PGconn* conn, const char* query) = nullptr;
  int (*PQresultStatus)(const PGresult* res) = nullptr;
  char* (*PQresultErrorMessage)(const PGresult* res) = nullptr;
  int (*PQntuples)(const PGresult* res) = nullptr;
  int (*PQnfields)(const PGresult* res) = nullptr;
  char* (*PQfname)(const PGresult* res, int field) = nullptr;
  int (*PQfnumber)(const PGresult* res, const char* name) = nullptr;
  int (*PQgetisnull)(const PGresult* res, int row, int field) = nullptr;
  char* (*PQgetvalue)(const PGresult* res, int row, int field) = nullptr;
  void (*PQclear)(PGresult* res) = nullptr;
};
