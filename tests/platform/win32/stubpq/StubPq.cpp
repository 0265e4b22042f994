// A library with the names of the libpq functions the database access binds.
// PQstatus answers 42, so a test can tell that it was this library's; built
// with STUB_PQ_81, it has the names of libpq 8.1 only, and answers 81.
extern "C" {
#ifdef STUB_PQ_81
__declspec(dllexport) int PQstatus(const void*) { return 81; }
#else
__declspec(dllexport) void* PQconnectdbParams(const char* const*, const char* const*, int) {
  return nullptr;
}
__declspec(dllexport) int PQstatus(const void*) { return 42; }
#endif
__declspec(dllexport) void* PQconnectdb(const char*) { return nullptr; }
__declspec(dllexport) char* PQerrorMessage(const void*) { return nullptr; }
__declspec(dllexport) void PQfinish(void*) {}
__declspec(dllexport) void* PQexec(void*, const char*) { return nullptr; }
__declspec(dllexport) int PQresultStatus(const void*) { return 0; }
__declspec(dllexport) char* PQresultErrorMessage(const void*) { return nullptr; }
__declspec(dllexport) int PQntuples(const void*) { return 0; }
__declspec(dllexport) int PQnfields(const void*) { return 0; }
__declspec(dllexport) char* PQfname(const void*, int) { return nullptr; }
__declspec(dllexport) int PQfnumber(const void*, const char*) { return -1; }
__declspec(dllexport) int PQgetisnull(const void*, int, int) { return 1; }
__declspec(dllexport) char* PQgetvalue(const void*, int, int) { return nullptr; }
__declspec(dllexport) void PQclear(void*) {}
}
