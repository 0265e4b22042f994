#include "platform/Host.h"

#include <algorithm>

bool WriteAllWith(const WriteSome& write, const void* data, size_t size) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    const uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(size, 1u << 20));
    uint32_t done = 0;
    if (!write(at, chunk, &done) || done == 0) return false;
    done = std::min(done, chunk);
    at += done;
    size -= done;
  }
  return true;
}

bool WriteAll(HostFile& file, const void* data, size_t size) {
  return WriteAllWith([&file](const char* at, uint32_t count,
                              uint32_t* done) { return file.Write(at, count, done); },
                      data, size);
}

bool ReadToEnd(HostFile& file, const std::function<bool(const char* data, size_t size)>& take) {
  std::vector<char> buffer(1u << 16);
  for (;;) {
    uint32_t done = 0;
    if (!file.Read(buffer.data(), static_cast<uint32_t>(buffer.size()), &done)) return false;
    if (done == 0) return true;
    if (!take(buffer.data(), std::min<size_t>(done, buffer.size()))) return false;
  }
}

std::optional<std::string> FileSha256(Host& host, const std::string& path, unsigned share_mode) {
  std::unique_ptr<HostFile> file = host.OpenFileForRead(path, share_mode);
  std::unique_ptr<HostSha256> sha = host.NewSha256();
  if (file == nullptr || sha == nullptr) return std::nullopt;
  if (!ReadToEnd(*file, [&sha](const char* data, size_t size) { return sha->Update(data, size); }))
    return std::nullopt;
  const std::optional<std::string> digest = sha->Finish();
  if (!digest) return std::nullopt;
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : *digest) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 15];
  }
  return hex;
}
