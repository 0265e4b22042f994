#include "platform/Fault.h"

std::string FormatMessage1(const std::string& format, const std::string& value) {
  const size_t at = format.find("%s");
  if (at == std::string::npos) return format;
  return format.substr(0, at) + value + format.substr(at + 2);
}
