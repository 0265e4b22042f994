// Stands in for PostgreSQL's command-line client psql.exe:
//   psql.exe -f SCRIPT DATABASE USER
// appends its command line to ..\logs\psql.log beside its own folder, then
// runs the script's text as one query through libpq.dll, the real client
// library, against the server in PGHOST and PGPORT with the password in
// PGPASSWORD. Lines that begin with a backslash are psql's own commands and
// are not sent; of them it knows "\set ON_ERROR_STOP 1". Exits as psql
// does: 0 when the script ran, its statements failing or not, 3 when one
// failed under ON_ERROR_STOP, 1 when it could not be read, 2 when the
// server could not be reached.
// The bin folder it stands in holds the server's own 32-bit libpq.dll, which
// this 64-bit program cannot load: the real one is taken from the folder in
// CORVANTIS_TEST_LIBPQ, with the libraries it needs beside it.
// For the tests:
//   CORVANTIS_TEST_PSQL_ARGS=FILE    each argument as the C runtime split it,
//                                    then PGHOST=... and PGPASSWORD=... as
//                                    the program got them, each ended by a
//                                    zero byte, appended to FILE;
//   CORVANTIS_TEST_PSQL_STATUS=N     exit with N instead (psql's 2: no
//                                    connection).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Win32TestKit.h"

namespace {

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

void Append(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD done = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  CloseHandle(file);
}

void Log(const std::string& line) {
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string log = program;
  log = log.substr(0, log.find_last_of('\\')) + "\\..\\logs\\psql.log";
  Append(log, line + "\r\n");
}

// A libpq function by name; null when the library lacks it.
template <typename Function>
Function Find(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace

int main(int argc, char** argv) {
  std::string line = "psql.exe";
  for (int i = 1; i < argc; ++i) line += std::string(" ") + argv[i];
  Log(line);
  const std::string args_file = Variable("CORVANTIS_TEST_PSQL_ARGS");
  if (!args_file.empty()) {
    std::string fields;
    for (int i = 1; i < argc; ++i) fields.append(argv[i]).push_back('\0');
    fields.append("PGHOST=" + Variable("PGHOST")).push_back('\0');
    fields.append("PGPASSWORD=" + Variable("PGPASSWORD")).push_back('\0');
    Append(args_file, fields);
  }
  const std::string status_asked = Variable("CORVANTIS_TEST_PSQL_STATUS");
  if (!status_asked.empty()) return std::atoi(status_asked.c_str());
  if (argc != 5 || std::string(argv[1]) != "-f") {
    std::fprintf(stderr, "usage: psql.exe -f SCRIPT DATABASE USER\n");
    return 1;
  }
  std::string script;
  if (!ReadWholeFile(argv[2], &script)) {
    std::fprintf(stderr, "psql: %s: No such file or directory\n", argv[2]);
    return 1;
  }
  bool stop_on_error = false;
  std::string sql;
  for (size_t at = 0; at < script.size();) {
    size_t end = script.find('\n', at);
    end = end == std::string::npos ? script.size() : end + 1;
    const std::string script_line = script.substr(at, end - at);
    if (script_line.compare(0, 1, "\\") != 0)
      sql += script_line;
    else if (script_line.compare(0, 20, "\\set ON_ERROR_STOP 1") == 0)
      stop_on_error = true;
    at = end;
  }
  const std::string folder = Variable("CORVANTIS_TEST_LIBPQ");
  HMODULE pq = folder.empty() ? LoadLibraryA("libpq.dll")
                              : LoadLibraryExA((folder + "\\libpq.dll").c_str(), nullptr,
                                               LOAD_WITH_ALTERED_SEARCH_PATH);
  if (pq == nullptr) {
    std::fprintf(stderr, "psql: libpq.dll cannot be loaded\n");
    return 1;
  }
  using Connect = PGconn* (*)(const char* const*, const char* const*, int);
  using Status = int (*)(const PGconn*);
  using Error = char* (*)(const PGconn*);
  using Exec = PGresult* (*)(PGconn*, const char*);
  using ResultStatus = int (*)(const PGresult*);
  using Clear = void (*)(PGresult*);
  using Finish = void (*)(PGconn*);
  auto connect = Find<Connect>(pq, "PQconnectdbParams");
  auto status = Find<Status>(pq, "PQstatus");
  auto error = Find<Error>(pq, "PQerrorMessage");
  auto exec = Find<Exec>(pq, "PQexec");
  auto result_status = Find<ResultStatus>(pq, "PQresultStatus");
  auto clear = Find<Clear>(pq, "PQclear");
  auto finish = Find<Finish>(pq, "PQfinish");
  if (!connect || !status || !error || !exec || !result_status || !clear || !finish) return 1;

  const std::string host = Variable("PGHOST");
  const std::string port = Variable("PGPORT");
  const char* keywords[] = {"host", "port", "dbname", "user", nullptr};
  const char* values[] = {host.empty() ? "127.0.0.1" : host.c_str(),
                          port.empty() ? "5432" : port.c_str(), argv[3], argv[4], nullptr};
  PGconn* conn = connect(keywords, values, 0);
  if (status(conn) != 0) {
    std::fprintf(stderr, "psql: %s", error(conn));
    finish(conn);
    return 2;
  }
  PGresult* result = exec(conn, sql.c_str());
  const int outcome = result_status(result);  // 1 command ok, 2 tuples ok
  if (outcome != 1 && outcome != 2) std::fprintf(stderr, "psql: %s", error(conn));
  clear(result);
  finish(conn);
  // An error inside the script ends psql with 0 all the same, unless
  // ON_ERROR_STOP was set; a transaction left open is rolled back by the
  // server when the connection ends.
  return outcome != 1 && outcome != 2 && stop_on_error ? 3 : 0;
}
