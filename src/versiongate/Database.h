#pragma once
// The database components the wizard form carries: the connection
// SQLConnection1 and the query SQLQuery1, over the host's libpq.
//
// What the install relies on: the parameters are applied before every
// connect; Connect on an open connection does nothing; errors are raised as
// DatabaseFault with the server's or the library's message; a connection
// left open by an error stays open until the next Disconnect; every
// statement is committed as it executes (the components never open a
// transaction).

#include <memory>
#include <string>

#include "platform/Host.h"

class TZConnection {
 public:
  explicit TZConnection(Host& host);
  TZConnection(const TZConnection&) = delete;
  TZConnection& operator=(const TZConnection&) = delete;
  ~TZConnection();  // closes an open connection

  std::string Protocol = "postgresql-8";  // the only protocol served
  std::string HostName;
  int Port = 0;  // 0: the client library's default
  std::string Database;
  std::string User;
  std::string Password;

  // Opens the connection with the current parameters, each handed to the
  // client library as its own value (by PQconnectdbParams, or by PQconnectdb
  // with every value quoted when the library predates it), so blanks,
  // quotes, "\" or "=" in them stay part of that value. Does nothing when
  // the connection is open. A failed connect leaves it closed and raises the
  // library's message. A connection the server has dropped since counts as
  // closed and is opened anew.
  void Connect();
  // Closes the connection; does nothing when it is closed.
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

  // Runs SQL on the connection (connecting first when it is closed) and
  // keeps its rows; the cursor stands on the first row. A statement that
  // yields no rows raises.
  void Open();
  // Drops the rows; does nothing when the query is not open.
  void Close();
  // Runs SQL without keeping rows.
  void ExecSQL();
  bool Active() const;
  int RecordCount() const;  // 0 when not open
  void First();
  // The current row's column as text; NULL, or no current row, reads as
  // empty text. A column the rows do not have, or a query that is not open,
  // raises DatabaseFault.
  std::string FieldAsString(const std::string& column) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
