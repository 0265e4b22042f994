// Stands in for Apache's control program httpd.exe: appends the command it
// was given to ..\logs\control.log beside its own folder, as
// `httpd.exe <arguments>`, and takes a second about it, as a server does
// (none when CORVANTIS_TEST_HTTPD_QUICK is set, for timing the installer).
// It ends with 1 when its last argument is CORVANTIS_TEST_HTTPD_FAIL (an
// action, "restart" say), as a server does that cannot come up.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const std::string line = GetCommandLineA();
  // The arguments: what follows the program, quoted or not.
  size_t at = 0;
  if (!line.empty() && line[0] == '"') {
    at = line.find('"', 1);
    at = at == std::string::npos ? line.size() : at + 1;
  } else {
    at = line.find(' ');
    if (at == std::string::npos) at = line.size();
  }
  while (at < line.size() && line[at] == ' ') ++at;
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string log = program;
  log = log.substr(0, log.find_last_of('\\')) + "\\..\\logs\\control.log";
  HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  const std::string entry = "httpd.exe " + line.substr(at) + "\r\n";
  DWORD done = 0;
  WriteFile(file, entry.data(), static_cast<DWORD>(entry.size()), &done, nullptr);
  CloseHandle(file);
  if (GetEnvironmentVariableA("CORVANTIS_TEST_HTTPD_QUICK", nullptr, 0) == 0) Sleep(1000);
  char fail[64] = {};
  const DWORD n = GetEnvironmentVariableA("CORVANTIS_TEST_HTTPD_FAIL", fail, sizeof fail);
  const std::string action = line.substr(line.find_last_of(' ') + 1);
  return n > 0 && n < sizeof fail && action == fail ? 1 : 0;
}
