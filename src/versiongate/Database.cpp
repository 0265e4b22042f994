#include "versiongate/Database.h"

#include <vector>

#include "platform/Fault.h"
#include "platform/PqApi.h"
#include "platform/Text.h"

namespace {

// libpq's messages end with a line feed; the boxes that show them add their
// own line breaks.
std::string TrimMessage(const char* message) {
  return message == nullptr ? std::string() : TrimRight(message, "\n\r ");
}

// A libpq connection string for a library older than PQconnectdbParams:
// every value between single quotes with its '\' and '\'' escaped, which
// libpq has read so since long before 8.1.
std::string ConnInfo(const std::vector<const char*>& keywords,
                     const std::vector<const char*>& values) {
  std::string conninfo;
  for (size_t i = 0; i < keywords.size(); ++i) {
    if (!conninfo.empty()) conninfo += ' ';
    conninfo += keywords[i];
    conninfo += "='";
    for (const char* c = values[i]; *c != '\0'; ++c) {
      if (*c == '\\' || *c == '\'') conninfo += '\\';
      conninfo += *c;
    }
    conninfo += '\'';
  }
  return conninfo;
}

}  // namespace

struct TZConnection::Impl {
  explicit Impl(Host& h) : host(h) {}
  Host& host;
  const PqApi* pq = nullptr;  // the table the open connection was made with
  PGconn* conn = nullptr;

  void Close() {
    if (conn != nullptr) pq->PQfinish(conn);
    conn = nullptr;
  }
  [[noreturn]] void RaiseConnectionError() const {
    std::string message = TrimMessage(pq->PQerrorMessage(conn));
    if (message.empty()) message = "The database connection failed";
    throw DatabaseFault(message);
  }
};

TZConnection::TZConnection(Host& host) : impl_(std::make_unique<Impl>(host)) {}

TZConnection::~TZConnection() { impl_->Close(); }

void TZConnection::Connect() {
  Impl& d = *impl_;
  if (d.conn != nullptr) {
    if (d.pq->PQstatus(d.conn) == PqApi::kConnectionOk) return;
    d.Close();  // the server ended it; a retry must not fail on it forever
  }
  if (Protocol != "postgresql-8")
    throw DatabaseFault("Requested database driver is not found: " + Protocol);
  const PqApi& pq = d.host.Pq();

  // Each value goes to libpq as a value of its own, never spliced into a
  // connection string as it stands, so no value can add options of its own.
  // Empty values are left to libpq's defaults, as is the port when it is 0.
  const std::string port = std::to_string(Port);
  std::vector<const char*> keywords;
  std::vector<const char*> values;
  auto add = [&](const char* keyword, const std::string& value) {
    if (value.empty()) return;
    keywords.push_back(keyword);
    values.push_back(value.c_str());
  };
  add("host", HostName);
  if (Port != 0) add("port", port);
  add("dbname", Database);
  add("user", User);
  add("password", Password);

  PGconn* conn = nullptr;
  if (pq.PQconnectdbParams != nullptr) {
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    conn = pq.PQconnectdbParams(keywords.data(), values.data(), 0);
  } else {
    conn = pq.PQconnectdb(ConnInfo(keywords, values).c_str());
  }
  if (conn == nullptr) throw DatabaseFault("Out of memory");
  d.pq = &pq;
  d.conn = conn;
  if (pq.PQstatus(conn) != PqApi::kConnectionOk) {
    const std::string message = TrimMessage(pq.PQerrorMessage(conn));
    d.Close();
    throw DatabaseFault(message.empty() ? "The database connection failed" : message);
  }
}

void TZConnection::Disconnect() { impl_->Close(); }

bool TZConnection::Connected() const { return impl_->conn != nullptr; }

struct TZQuery::Impl {
  explicit Impl(TZConnection& c) : connection(c) {}
  TZConnection& connection;
  const PqApi* pq = nullptr;  // the table the rows were made with
  PGresult* result = nullptr;
  int row = 0;

  void Clear() {
    if (result != nullptr) pq->PQclear(result);
    result = nullptr;
    row = 0;
  }
  // Runs `sql` on the connection, connecting first. Returns the result,
  // which the caller owns; raises when the statement failed.
  PGresult* Execute(const std::string& sql) {
    connection.Connect();
    TZConnection::Impl& c = *connection.impl_;
    PGresult* r = c.pq->PQexec(c.conn, sql.c_str());
    if (r == nullptr) c.RaiseConnectionError();
    const int status = c.pq->PQresultStatus(r);
    if (status == PqApi::kTuplesOk || status == PqApi::kCommandOk) return r;
    std::string message = TrimMessage(c.pq->PQresultErrorMessage(r));
    c.pq->PQclear(r);
    if (message.empty()) c.RaiseConnectionError();
    throw DatabaseFault(message);
  }
};

TZQuery::TZQuery(TZConnection& connection) : impl_(std::make_unique<Impl>(connection)) {}

TZQuery::~TZQuery() { impl_->Clear(); }

void TZQuery::Open() {
  Impl& d = *impl_;
  d.Clear();
  PGresult* r = d.Execute(SQL);
  const PqApi& pq = *d.connection.impl_->pq;
  if (pq.PQresultStatus(r) != PqApi::kTuplesOk) {
    pq.PQclear(r);
    throw DatabaseFault("Can not open a Resultset");
  }
  d.pq = &pq;
  d.result = r;
}

void TZQuery::Close() { impl_->Clear(); }

void TZQuery::ExecSQL() {
  Impl& d = *impl_;
  PGresult* r = d.Execute(SQL);
  d.connection.impl_->pq->PQclear(r);
}

bool TZQuery::Active() const { return impl_->result != nullptr; }

int TZQuery::RecordCount() const {
  const Impl& d = *impl_;
  return d.result == nullptr ? 0 : d.pq->PQntuples(d.result);
}

void TZQuery::First() { impl_->row = 0; }

std::string TZQuery::FieldAsString(const std::string& column) const {
  const Impl& d = *impl_;
  if (d.result == nullptr) throw DatabaseFault("Operation not allowed on a closed dataset");
  const int field = d.pq->PQfnumber(d.result, column.c_str());
  if (field < 0) throw DatabaseFault("Field '" + column + "' not found");
  if (d.row >= d.pq->PQntuples(d.result) || d.pq->PQgetisnull(d.result, d.row, field))
    return std::string();
  return d.pq->PQgetvalue(d.result, d.row, field);
}
