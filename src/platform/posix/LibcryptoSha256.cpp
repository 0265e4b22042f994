#include "platform/posix/LibcryptoSha256.h"

#include <openssl/evp.h>

namespace {

class LibcryptoSha256 final : public HostSha256 {
 public:
  LibcryptoSha256() : context_(EVP_MD_CTX_new()) {}
  ~LibcryptoSha256() override { EVP_MD_CTX_free(context_); }

  bool Open() {
    return context_ != nullptr && EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) == 1;
  }
  bool Update(const void* data, size_t size) override {
    return EVP_DigestUpdate(context_, data, size) == 1;
  }
  std::optional<std::string> Finish() override {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context_, digest, &length) != 1 || length != 32) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(digest), length);
  }

 private:
  EVP_MD_CTX* context_;
};

}  // namespace

std::unique_ptr<HostSha256> NewLibcryptoSha256() {
  auto sha = std::make_unique<LibcryptoSha256>();
  if (!sha->Open()) return nullptr;
  return sha;
}
