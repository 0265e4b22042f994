#include "support/FakePq.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

// Opaque to the code under test; defined here for the fake only.
struct pg_conn {
  int status = 0;
  std::string error;
};

struct pg_result {
  int status = 0;
  std::string error;
  FakePq::Result answer;
};

namespace {

constexpr int kConnectionBad = 1;
constexpr int kFatalError = 7;

FakePq* active = nullptr;

FakePq& Active() {
  if (active == nullptr) {
    ADD_FAILURE() << "libpq called with no FakePq";
    std::abort();
  }
  return *active;
}

// libpq's names fold to lower case unless quoted.
std::string FieldKey(const char* name) {
  std::string key = name == nullptr ? std::string() : name;
  if (key.size() >= 2 && key.front() == '"' && key.back() == '"')
    return key.substr(1, key.size() - 2);
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return key;
}

bool InRange(const PGresult* res, int row, int field) {
  return res != nullptr && row >= 0 && field >= 0 &&
         static_cast<size_t>(row) < res->answer.rows.size() &&
         static_cast<size_t>(field) < res->answer.columns.size();
}

PGconn* ConnectdbParams(const char* const* keywords, const char* const* values, int) {
  FakePq& pq = Active();
  std::map<std::string, std::string> params;
  for (size_t i = 0; keywords != nullptr && keywords[i] != nullptr; ++i)
    params[keywords[i]] = values[i] == nullptr ? std::string() : values[i];
  pq.connects.push_back(params);
  auto conn = std::make_unique<pg_conn>();
  if (!pq.connect_errors.empty()) {
    conn->error = pq.connect_errors.front();
    pq.connect_errors.pop_front();
    if (!conn->error.empty()) conn->status = kConnectionBad;
  }
  ++pq.open_connections;
  return conn.release();
}

int Status(const PGconn* conn) { return conn == nullptr ? kConnectionBad : conn->status; }

char* ErrorMessage(const PGconn* conn) {
  static char null_connection[] = "connection pointer is NULL\n";
  if (conn == nullptr) return null_connection;
  return const_cast<char*>(conn->error.c_str());
}

// A connection or result may outlive the fake that made it (a connection
// left open by an error is closed when its owner goes).
void Finish(PGconn* conn) {
  if (conn == nullptr) return;
  if (active != nullptr) --active->open_connections;
  delete conn;
}

PGresult* Exec(PGconn* conn, const char* query) {
  FakePq& pq = Active();
  if (conn == nullptr || conn->status != PqApi::kConnectionOk) {
    ADD_FAILURE() << "statement on a connection that is not open: " << query;
    return nullptr;
  }
  pq.statements.push_back(query == nullptr ? std::string() : query);
  auto res = std::make_unique<pg_result>();
  if (pq.results.empty()) {
    ADD_FAILURE() << "unexpected statement: " << pq.statements.back();
    res->answer = FakePq::Failure("unexpected statement");
  } else {
    res->answer = pq.results.front();
    pq.results.pop_front();
  }
  if (!res->answer.error.empty()) {
    res->status = kFatalError;
    res->error = res->answer.error;
    conn->error = res->answer.error;
  } else {
    res->status = res->answer.command ? PqApi::kCommandOk : PqApi::kTuplesOk;
  }
  ++pq.open_results;
  return res.release();
}

int ResultStatus(const PGresult* res) { return res == nullptr ? kFatalError : res->status; }

char* ResultErrorMessage(const PGresult* res) {
  static char none[] = "";
  return res == nullptr ? none : const_cast<char*>(res->error.c_str());
}

int Ntuples(const PGresult* res) {
  return res == nullptr || res->status != PqApi::kTuplesOk
             ? 0
             : static_cast<int>(res->answer.rows.size());
}

int Nfields(const PGresult* res) {
  return res == nullptr || res->status != PqApi::kTuplesOk
             ? 0
             : static_cast<int>(res->answer.columns.size());
}

char* Fname(const PGresult* res, int field) {
  if (res == nullptr || field < 0 || static_cast<size_t>(field) >= res->answer.columns.size())
    return nullptr;
  return const_cast<char*>(res->answer.columns[static_cast<size_t>(field)].c_str());
}

int Fnumber(const PGresult* res, const char* name) {
  if (res == nullptr) return -1;
  const std::string key = FieldKey(name);
  for (size_t i = 0; i < res->answer.columns.size(); ++i)
    if (res->answer.columns[i] == key) return static_cast<int>(i);
  return -1;
}

int GetIsNull(const PGresult* res, int row, int field) {
  if (!InRange(res, row, field)) return 1;
  return res->answer.rows[static_cast<size_t>(row)][static_cast<size_t>(field)] ? 0 : 1;
}

char* GetValue(const PGresult* res, int row, int field) {
  static char empty[] = "";
  if (!InRange(res, row, field)) return nullptr;
  const std::optional<std::string>& value =
      res->answer.rows[static_cast<size_t>(row)][static_cast<size_t>(field)];
  // libpq gives an empty string for NULL.
  return value ? const_cast<char*>(value->c_str()) : empty;
}

void Clear(PGresult* res) {
  if (res == nullptr) return;
  if (active != nullptr) --active->open_results;
  delete res;
}

}  // namespace

FakePq::Result FakePq::VersionRows(const std::vector<std::optional<std::string>>& versions) {
  Result result;
  result.columns = {"name", "version", "verdate"};
  for (const std::optional<std::string>& version : versions)
    result.rows.push_back({std::string("Articles"), version, std::string("2009-11-02 10:00:00")});
  return result;
}

FakePq::Result FakePq::Failure(const std::string& message) {
  Result result;
  result.error = message;
  return result;
}

FakePq::Result FakePq::CommandOk() {
  Result result;
  result.command = true;
  return result;
}

FakePq::FakePq() {
  api_.PQconnectdbParams = ConnectdbParams;
  api_.PQstatus = Status;
  api_.PQerrorMessage = ErrorMessage;
  api_.PQfinish = Finish;
  api_.PQexec = Exec;
  api_.PQresultStatus = ResultStatus;
  api_.PQresultErrorMessage = ResultErrorMessage;
  api_.PQntuples = Ntuples;
  api_.PQnfields = Nfields;
  api_.PQfname = Fname;
  api_.PQfnumber = Fnumber;
  api_.PQgetisnull = GetIsNull;
  api_.PQgetvalue = GetValue;
  api_.PQclear = Clear;
  active = this;
}

FakePq::~FakePq() {
  for (const Result& result : results)
    ADD_FAILURE() << "statement result not used" << (result.error.empty() ? "" : ": ")
                  << result.error;
  if (active == this) active = nullptr;
}
