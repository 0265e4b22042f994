#include "platform/posix/OsError.h"

#include <cstring>

std::string OsErrorMessage(const std::string& operation, const std::string& path,
                           const std::string& host_path, int error) {
  std::string text = operation + " " + path;
  if (host_path != path) text += " (" + host_path + ")";
  return text + ": " + std::strerror(error);
}

std::string OsErrorMessage(const std::string& operation, const std::string& host_path, int error) {
  return OsErrorMessage(operation, host_path, host_path, error);
}
