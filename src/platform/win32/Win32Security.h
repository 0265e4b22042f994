#pragma once
// The Windows host's rights and digests: the elevation of the process's
// token, and SHA-256 through CNG (bcrypt.dll, Windows Vista and later).

#include <memory>

#include "platform/Host.h"

// GetTokenInformation(TokenElevation) of the process's own token; false
// when the token cannot be read.
bool Win32ProcessElevated();

// BCryptCreateHash, BCryptHashData and BCryptFinishHash with the SHA-256
// provider; null when the provider cannot be opened. (The one-call
// BCryptHash needs Windows 10 or Server 2016.)
std::unique_ptr<HostSha256> NewWin32Sha256();
