#pragma once
// The database components the wizard form carries: the connection
// SQLConnection1 and the query SQLQuery1, over the host's libpq.
//
// What the install relies on: the parameters are applied before every
// connect; Connect on an open connection does nothing; errors are raised as
// DatabaseFault with the server's or the library's message; a connection
// left open by an error stays open until the next Disconnect; every
// statement is committed as it executes.

#include <memory>
#include <string>

#include "platform/Host.h"

class TZConnection {
 public:
  explicit TZConnection(Host& host);
  TZConnection(const TZConnection&) = delete;
  TZConnection& operator=(const TZConnection&) = delete;
  ~TZConnection();  // closes an open connection

  std::string Protocol = "postgresql-8";
  std::string HostName;
  int Port = 0;  // 0: the client library's default
  std::string Database;
  std::string User;
  std::string Password;
  bool AutoCommit = true;

  void Connect();
  void Disconnect();
  bool Connected() const;

 private:
  friend class TZQuery;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class TZQuery {
 public:
  explicit TZQuery(TZConnection& connection);
  TZQuery(const TZQuery&) = delete;
  TZQuery& operator=(const TZQuery&) = delete;
  ~TZQuery();

  std::string SQL;  // the statement text

  // Runs SQL and keeps its rows; the cursor stands on the first row.
  void Open();
  void Close();
  // Runs SQL without yielding rows.
  void ExecSQL();
  bool Active() const;
  int RecordCount() const;
  void First();
  // The current row's column as text; NULL reads as empty text. A column
  // that does not exist raises DatabaseFault.
  std::string FieldAsString(const std::string& column) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
