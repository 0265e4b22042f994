#pragma once
// SHA-256 for the POSIX host, from OpenSSL's libcrypto (EVP).

#include <memory>

#include "platform/Host.h"

// Null when libcrypto offers no SHA-256.
std::unique_ptr<HostSha256> NewLibcryptoSha256();
