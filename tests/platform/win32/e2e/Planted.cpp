// A "libpq81.dll" planted where a program that loads it by its bare name
// would find it: on the PATH, in the current folder. It writes its own path
// to the file the variable CORVANTIS_TEST_PLANTED_LOG names, one line for
// each process that loads it, and offers none of libpq's functions.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char log[MAX_PATH];
  char path[MAX_PATH];
  const DWORD log_length = GetEnvironmentVariableA("CORVANTIS_TEST_PLANTED_LOG", log, MAX_PATH);
  const DWORD length = GetModuleFileNameA(self, path, MAX_PATH - 2);
  if (log_length == 0 || log_length >= MAX_PATH || length == 0 || length >= MAX_PATH - 2)
    return TRUE;
  path[length] = '\r';
  path[length + 1] = '\n';
  HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return TRUE;
  DWORD written = 0;
  WriteFile(file, path, length + 2, &written, nullptr);
  CloseHandle(file);
  return TRUE;
}
