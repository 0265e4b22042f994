// The child program of the process tests.
//   child hold PATH MILLISECONDS   opens PATH without sharing, creates
//                                  PATH.held, and keeps the file open so long
//   child print TEXT               writes TEXT to its standard output and
//                                  "!" to its standard error
//   child ...                      waits CORVANTIS_CHILD_DELAY milliseconds,
//                                  then writes its whole command line, byte
//                                  for byte, to the file CORVANTIS_CHILD_OUT
//                                  (NAME=value instead when the variable
//                                  CORVANTIS_CHILD_SHOW names NAME), and
//                                  exits with CORVANTIS_CHILD_EXIT (or 0)
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "Win32TestKit.h"

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "hold") == 0) {
    HANDLE file = CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    WriteWholeFile(std::string(argv[2]) + ".held", "");
    Sleep(static_cast<DWORD>(std::atoi(argv[3])));
    CloseHandle(file);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "print") == 0) {
    DWORD done = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), argv[2], static_cast<DWORD>(std::strlen(argv[2])),
              &done, nullptr);
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), "!", 1, &done, nullptr);
    return 0;
  }
  const std::string delay = Variable("CORVANTIS_CHILD_DELAY");
  if (!delay.empty()) Sleep(static_cast<DWORD>(std::atoi(delay.c_str())));
  const std::string show = Variable("CORVANTIS_CHILD_SHOW");
  const std::string text = show.empty() ? GetCommandLineA() : show + "=" + Variable(show.c_str());
  if (!WriteWholeFile(Variable("CORVANTIS_CHILD_OUT"), text)) return 1;
  return std::atoi(Variable("CORVANTIS_CHILD_EXIT").c_str());
}
