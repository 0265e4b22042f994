#include "archive/TraditionalCrypto.h"

namespace {

constexpr uint32_t kKeyMultiplier = 134775813u;  // 0x08088405

}  // namespace

TraditionalCipher::TraditionalCipher() : CrcTable(MakeCrcTable()) {}

void TraditionalCipher::InitKeys(const std::string& password) {
  Key0 = 0x12345678u;
  Key1 = 0x23456789u;
  Key2 = 0x34567890u;
  for (char c : password) UpdateKeys(static_cast<uint8_t>(c));
}

void TraditionalCipher::UpdateKeys(uint8_t c) {
  Key0 = Crc32Step(Key0, c);
  Key1 = (Key1 + (Key0 & 0xFF)) * kKeyMultiplier + 1;
  Key2 = Crc32Step(Key2, static_cast<uint8_t>(Key1 >> 24));
}

bool TraditionalCipher::DecryptHeader(uint8_t* header, const std::string& password,
                                      uint8_t check_byte) {
  if (password.empty()) return false;
  InitKeys(password);
  Decrypt(header, kEncryptionHeaderSize);
  return header[kEncryptionHeaderSize - 1] == check_byte;
}

// The keys form one serial chain per byte, so this loop's speed is the
// latency of that chain. Everything that does not wait for the previous
// byte is computed off the chain, and the low byte of Key0 comes from a
// byte-wide load, saving the masking step before the multiply.
void TraditionalCipher::Decrypt(uint8_t* data, size_t size) {
  uint32_t k0 = Key0, k1 = Key1, k2 = Key2;
  const uint32_t* table = CrcTable.data();
  uint8_t low[256];
  for (int i = 0; i < 256; ++i) low[i] = static_cast<uint8_t>(table[i]);
  for (size_t i = 0; i < size; ++i) {
    const uint32_t c = data[i];
    const uint32_t k0_index = (k0 ^ c) & 0xFF;
    const uint32_t k0_shifted_low = (k0 >> 8) & 0xFF;
    const uint32_t k1_part = k1 * kKeyMultiplier + 1;
    const uint32_t k2_low = k2 & 0xFF;
    const uint32_t t = k2 | 2;
    const uint32_t stream = ((t * (t ^ 1)) >> 8) & 0xFF;
    const uint32_t index = k0_index ^ stream;  // (k0 ^ plain) & 0xFF
    data[i] = static_cast<uint8_t>(c ^ stream);
    k0 = table[index] ^ (k0 >> 8);
    k1 = k1_part + (low[index] ^ k0_shifted_low) * kKeyMultiplier;
    k2 = table[k2_low ^ (k1 >> 24)] ^ (k2 >> 8);
  }
  Key0 = k0;
  Key1 = k1;
  Key2 = k2;
}

void TraditionalCipher::Encrypt(uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    const uint8_t plain = data[i];
    data[i] = static_cast<uint8_t>(plain ^ DecryptByte());
    UpdateKeys(plain);
  }
}
