#include "platform/Host.h"

#include <algorithm>

bool WriteAll(HostFile& file, const void* data, size_t size) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    const uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(size, 1u << 20));
    uint32_t done = 0;
    if (!file.Write(at, chunk, &done) || done == 0) return false;
    done = std::min(done, chunk);
    at += done;
    size -= done;
  }
  return true;
}
