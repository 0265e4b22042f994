#pragma once
// What every fuzz target shares: its input as a byte string, and a check
// that stops the run with the failed condition, so the fuzzer keeps the
// input as a crash.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : FuzzCheckFailed(#condition, __FILE__, __LINE__))

[[noreturn]] inline void FuzzCheckFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::abort();
}

inline std::string FuzzInput(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// The input cut at its first zero byte: the text before it and the rest.
inline std::pair<std::string, std::string> SplitAtZero(const std::string& input) {
  const size_t zero = input.find('\0');
  if (zero == std::string::npos) return {input, std::string()};
  return {input.substr(0, zero), input.substr(zero + 1)};
}
