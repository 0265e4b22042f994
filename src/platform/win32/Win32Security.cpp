#include "platform/win32/Win32Security.h"

#include <vector>

#include "platform/win32/Win32Support.h"
// After <windows.h>, which it needs.
#include <bcrypt.h>

bool Win32ProcessElevated() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  const UniqueHandle token(raw);
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size))
    return false;
  return elevation.TokenIsElevated != 0;
}

namespace {

class Win32Sha256 final : public HostSha256 {
 public:
  ~Win32Sha256() override {
    if (hash_ != nullptr) BCryptDestroyHash(hash_);
    if (algorithm_ != nullptr) BCryptCloseAlgorithmProvider(algorithm_, 0);
  }

  // False when CNG offers no SHA-256 here.
  bool Open() {
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
      return false;
    DWORD object_size = 0;
    ULONG got = 0;
    if (!BCRYPT_SUCCESS(BCryptGetProperty(algorithm_, BCRYPT_OBJECT_LENGTH,
                                          reinterpret_cast<PUCHAR>(&object_size),
                                          sizeof object_size, &got, 0)))
      return false;
    object_.resize(object_size);
    return BCRYPT_SUCCESS(
        BCryptCreateHash(algorithm_, &hash_, object_.data(), object_size, nullptr, 0, 0));
  }

  bool Update(const void* data, size_t size) override {
    const UCHAR* at = static_cast<const UCHAR*>(data);
    while (size > 0) {
      const ULONG chunk = size > (1u << 30) ? (1u << 30) : static_cast<ULONG>(size);
      if (!BCRYPT_SUCCESS(BCryptHashData(hash_, const_cast<PUCHAR>(at), chunk, 0))) return false;
      at += chunk;
      size -= chunk;
    }
    return true;
  }

  std::optional<std::string> Finish() override {
    UCHAR digest[32];
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash_, digest, sizeof digest, 0))) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
  }

 private:
  BCRYPT_ALG_HANDLE algorithm_ = nullptr;
  BCRYPT_HASH_HANDLE hash_ = nullptr;
  std::vector<UCHAR> object_;
};

}  // namespace

std::unique_ptr<HostSha256> NewWin32Sha256() {
  auto sha = std::make_unique<Win32Sha256>();
  if (!sha->Open()) return nullptr;
  return sha;
}
