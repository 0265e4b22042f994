// CompareVersions on two texts: the input up to its first zero byte and
// what follows up to the next (no version read from a file or the database
// holds a zero byte). The order must be
// total and antisymmetric; a malformed first argument is reported whatever
// the second holds.
#include "FuzzCheck.h"
#include "platform/Fault.h"
#include "platform/Text.h"
#include "versiongate/VersionCompare.h"

namespace {

// The result, or the conversion error's message.
struct Outcome {
  bool valid = false;
  int order = 0;
  std::string error;
};

Outcome Compare(const std::string& a, const std::string& b) {
  Outcome outcome;
  try {
    outcome.order = CompareVersions(a, b);
    outcome.valid = true;
  } catch (const ConvertFault& fault) {
    outcome.error = fault.what();
  }
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto [a, rest] = SplitAtZero(FuzzInput(data, size));
  const std::string b = SplitAtZero(rest).first;
  const Outcome ab = Compare(a, b);
  const Outcome ba = Compare(b, a);
  if (ab.valid) {
    FUZZ_CHECK(ab.order >= -1 && ab.order <= 1);
    FUZZ_CHECK(ba.valid && ba.order == -ab.order);
    FUZZ_CHECK(Compare(a, a).order == 0);
  } else {
    FUZZ_CHECK(StartsWith(ab.error, "'") && EndsWith(ab.error, "' is not a valid integer value"));
    // The first argument is split before the second.
    const Outcome a_alone = Compare(a, "0");
    if (!a_alone.valid) FUZZ_CHECK(ab.error == a_alone.error);
  }
  return 0;
}
