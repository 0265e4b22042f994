#pragma once
// Faults: the exceptions that library operations raise, each carrying the
// message text that the user is shown. Everything else in the core reports
// failure by its result.

#include <stdexcept>
#include <string>

class Fault : public std::runtime_error {
 public:
  explicit Fault(const std::string& message) : std::runtime_error(message) {}
};

// A file that cannot be opened or created, a folder that cannot be made.
class FileFault : public Fault {
 public:
  using Fault::Fault;
};

// A registry value of the wrong type, a value that cannot be written.
class RegistryFault : public Fault {
 public:
  using Fault::Fault;
};

// A text that is not a valid integer.
class ConvertFault : public Fault {
 public:
  using Fault::Fault;
};

// The database access: the client library, the server, a statement.
class DatabaseFault : public Fault {
 public:
  using Fault::Fault;
};

// "%s" in `format` replaced by `value` (only the first one).
std::string FormatMessage1(const std::string& format, const std::string& value);
