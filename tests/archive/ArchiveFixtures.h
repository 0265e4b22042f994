#pragma once
// Helpers for the archive tests: the committed fixture archives, the peer
// corpus, and byte patches of archive records.

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "archive/ZipRecords.h"

// Set at configure time.
#ifndef ARCHIVE_FIXTURE_DIR
#define ARCHIVE_FIXTURE_DIR "fixtures"
#endif
#ifndef PEER_CORPUS_DIR
#define PEER_CORPUS_DIR ""
#endif

inline std::string ReadBinaryFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline std::string Fixture(const std::string& name) {
  const std::string bytes = ReadBinaryFile(std::string(ARCHIVE_FIXTURE_DIR) + "/" + name);
  if (bytes.empty()) throw std::runtime_error("missing fixture " + name);
  return bytes;
}

inline void Patch16(std::string& bytes, size_t at, uint16_t value) {
  Put16(reinterpret_cast<uint8_t*>(&bytes[at]), value);
}
inline void Patch32(std::string& bytes, size_t at, uint32_t value) {
  Put32(reinterpret_cast<uint8_t*>(&bytes[at]), value);
}
inline uint32_t Field32(const std::string& bytes, size_t at) {
  return Get32(reinterpret_cast<const uint8_t*>(&bytes[at]));
}

// Offset of the n-th (0-based) record with the signature; npos when none.
inline size_t FindRecord(const std::string& bytes, uint32_t signature, int n = 0) {
  std::string sig(4, '\0');
  Put32(reinterpret_cast<uint8_t*>(&sig[0]), signature);
  size_t at = bytes.find(sig);
  for (; n > 0 && at != std::string::npos; --n) at = bytes.find(sig, at + 1);
  return at;
}
