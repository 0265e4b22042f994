/* A 32-bit client library as a server with PostgreSQL 8.x keeps it in its
   bin folder, built as libpq81.dll and as libpq.dll. A 64-bit program cannot
   load it; were it loaded, no connect would succeed. */
__declspec(dllexport) void* PQconnectdb(const char* conninfo) {
  (void)conninfo;
  return 0;
}

__declspec(dllexport) int PQstatus(const void* conn) {
  (void)conn;
  return 1;
}
