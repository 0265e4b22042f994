#include "support/LinkedPq.h"

#include <libpq-fe.h>

static_assert(PqApi::kConnectionOk == CONNECTION_OK);
static_assert(PqApi::kCommandOk == PGRES_COMMAND_OK);
static_assert(PqApi::kTuplesOk == PGRES_TUPLES_OK);

const PqApi& LinkedPqApi() {
  static const PqApi api = [] {
    PqApi a;
    a.PQconnectdbParams = &::PQconnectdbParams;
    // The enumerations travel as int through the table.
    a.PQstatus = [](const PGconn* conn) -> int { return ::PQstatus(conn); };
    a.PQerrorMessage = &::PQerrorMessage;
    a.PQfinish = &::PQfinish;
    a.PQexec = &::PQexec;
    a.PQresultStatus = [](const PGresult* res) -> int { return ::PQresultStatus(res); };
    a.PQresultErrorMessage = &::PQresultErrorMessage;
    a.PQntuples = &::PQntuples;
    a.PQnfields = &::PQnfields;
    a.PQfname = &::PQfname;
    a.PQfnumber = &::PQfnumber;
    a.PQgetisnull = &::PQgetisnull;
    a.PQgetvalue = &::PQgetvalue;
    a.PQclear = &::PQclear;
    return a;
  }();
  return api;
}
