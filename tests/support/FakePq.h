#pragma once
// FakePq: a scripted stand-in for the PostgreSQL client library, as a PqApi
// table for FakeHost::pq.
//
// Connects succeed unless `connect_errors` says otherwise; each statement
// takes the next scripted result. A statement nobody scripted fails the test.
// Every connect and statement is recorded, and the fake counts the
// connections and results still open, so a test can see what was left
// behind. One FakePq is active at a time (the table's functions are plain
// C functions); it becomes active when constructed.

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/PqApi.h"

class FakePq {
 public:
  // What one statement answers.
  struct Result {
    std::string error;     // non-empty: the statement fails with this message
    bool command = false;  // a statement without rows (PGRES_COMMAND_OK)
    std::vector<std::string> columns;
    std::vector<std::vector<std::optional<std::string>>> rows;  // nullopt: NULL
  };
  // A modules query answer: one row per version, with the columns of the table.
  static Result VersionRows(const std::vector<std::optional<std::string>>& versions);
  static Result NoRows() { return VersionRows({}); }
  static Result Failure(const std::string& message);
  static Result CommandOk();

  FakePq();
  ~FakePq();  // fails the test when scripted results were not used
  FakePq(const FakePq&) = delete;
  FakePq& operator=(const FakePq&) = delete;

  const PqApi& api() const { return api_; }

  // The next connects, in order: empty text connects, other text fails with
  // it as the error message. When the queue is empty a connect succeeds.
  std::deque<std::string> connect_errors;
  // The answers to the next statements, in order.
  std::deque<Result> results;

  // Every connect: keyword -> value as passed.
  std::vector<std::map<std::string, std::string>> connects;
  std::vector<std::string> statements;
  int open_connections = 0;  // PQconnectdbParams without PQfinish
  int open_results = 0;      // PQexec results without PQclear

 private:
  PqApi api_;
};
