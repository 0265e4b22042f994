// Leaks on purpose: in the sanitizer build, a test that expects the leak to
// be reported shows that the other tests' silence about leaks means
// something.
#include <cstdlib>

void* volatile sink = nullptr;

int main() {
  sink = std::malloc(64);
  sink = nullptr;
  return 0;
}
