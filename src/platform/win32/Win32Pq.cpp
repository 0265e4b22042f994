// The PostgreSQL client library, loaded at its first use: "libpq81.dll",
// else "libpq.dll", each first by its full path in the installer's own
// folder, then by the system's usual search (the PATH of a server with
// PostgreSQL's bin folder on it). A release that carries its own library
// thus loads that one, whatever the PATH holds; the current folder is out
// of the search for the whole process (RemoveCurrentFolderFromDllSearch).
// The first one that loads stays loaded. A library from before 9.0 lacks
// PQconnectdbParams, and connects by PQconnectdb.
#include "platform/win32/Win32Pq.h"

#include "platform/Fault.h"

void RemoveCurrentFolderFromDllSearch() {
  char system[MAX_PATH];
  const UINT length = GetSystemDirectoryA(system, MAX_PATH);
  SetDllDirectoryA(length > 0 && length < MAX_PATH ? system : "");
}

namespace {

const char* const kLibraryNames[] = {"libpq81.dll", "libpq.dll"};

// The function `name` of the library; null when it has none.
template <typename Function>
Function Find(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

template <typename Function>
void Bind(HMODULE library, const char* library_name, const char* name, Function* function) {
  *function = Find<Function>(library, name);
  if (*function == nullptr)
    throw DatabaseFault(std::string("The function ") + name + " cannot be found in " +
                        library_name);
}

}  // namespace

const PqApi& Win32PqLibrary::Api() {
  if (library_ != nullptr) return api_;
  HMODULE library = nullptr;
  const char* loaded_name = nullptr;
  // A library beside the installer finds the DLLs it needs there too.
  for (const char* name : kLibraryNames) {
    const std::string path = own_folder_ + name;
    if (own_folder_.empty() || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
      continue;
    library = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library != nullptr) {
      loaded_name = name;
      break;
    }
  }
  std::string tried;
  for (const char* name : kLibraryNames) {
    if (library != nullptr) break;
    library = LoadLibraryA(name);
    if (library != nullptr) {
      loaded_name = name;
      break;
    }
    tried += (tried.empty() ? "" : ", ") + std::string(name);
  }
  if (library == nullptr)
    throw DatabaseFault(FormatMessage1("None of the dynamic libraries can be found: %s", tried));
  PqApi api;
  try {
    api.PQconnectdbParams = Find<decltype(api.PQconnectdbParams)>(library, "PQconnectdbParams");
    Bind(library, loaded_name, "PQconnectdb", &api.PQconnectdb);
    Bind(library, loaded_name, "PQstatus", &api.PQstatus);
    Bind(library, loaded_name, "PQerrorMessage", &api.PQerrorMessage);
    Bind(library, loaded_name, "PQfinish", &api.PQfinish);
    Bind(library, loaded_name, "PQexec", &api.PQexec);
    Bind(library, loaded_name, "PQresultStatus", &api.PQresultStatus);
    Bind(library, loaded_name, "PQresultErrorMessage", &api.PQresultErrorMessage);
    Bind(library, loaded_name, "PQntuples", &api.PQntuples);
    Bind(library, loaded_name, "PQnfields", &api.PQnfields);
    Bind(library, loaded_name, "PQfname", &api.PQfname);
    Bind(library, loaded_name, "PQfnumber", &api.PQfnumber);
    Bind(library, loaded_name, "PQgetisnull", &api.PQgetisnull);
    Bind(library, loaded_name, "PQgetvalue", &api.PQgetvalue);
    Bind(library, loaded_name, "PQclear", &api.PQclear);
  } catch (...) {
    FreeLibrary(library);
    throw;
  }
  api_ = api;
  library_ = library;
  return api_;
}
