#include "platform/posix/OsError.h"

#include <cstring>

HostError PosixError(const std::string& operation, const std::string& path,
                     const std::string& host_path, int error) {
  HostError e{operation, path, std::strerror(error)};
  if (host_path.empty())
    e.reason = "the path names no place on this machine";
  else if (host_path != path)
    e.path += " (" + host_path + ")";
  return e;
}

std::string OsErrorMessage(const std::string& operation, const std::string& host_path, int error) {
  return PosixError(operation, host_path, host_path, error).Message();
}
