#include "platform/posix/LinkedPq.h"

#include <libpq-fe.h>

static_assert(CONNECTION_OK == PqApi::kConnectionOk);
static_assert(PGRES_COMMAND_OK == PqApi::kCommandOk);
static_assert(PGRES_TUPLES_OK == PqApi::kTuplesOk);

namespace {

// The two calls that return enumerations get wrappers that return int.
int Status(const PGconn* conn) { return PQstatus(conn); }
int ResultStatus(const PGresult* res) { return PQresultStatus(res); }

PqApi MakeTable() {
  PqApi api;
  api.PQconnectdbParams = PQconnectdbParams;
  api.PQconnectdb = PQconnectdb;
  api.PQstatus = Status;
  api.PQerrorMessage = PQerrorMessage;
  api.PQfinish = PQfinish;
  api.PQexec = PQexec;
  api.PQresultStatus = ResultStatus;
  api.PQresultErrorMessage = PQresultErrorMessage;
  api.PQntuples = PQntuples;
  api.PQnfields = PQnfields;
  api.PQfname = PQfname;
  api.PQfnumber = PQfnumber;
  api.PQgetisnull = PQgetisnull;
  api.PQgetvalue = PQgetvalue;
  api.PQclear = PQclear;
  return api;
}

}  // namespace

const PqApi& LinkedPqApi() {
  static const PqApi api = MakeTable();
  return api;
}
