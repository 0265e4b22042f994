#pragma once
// Traditional PKWARE encryption, as the ZIP application note describes it:
// three 32-bit keys, set from the password and then driven by every plain
// byte. Each encrypted entry starts with a 12-byte header whose last plain
// byte is a check byte, so a wrong password is usually caught before any
// data is written (one wrong password in 256 passes the check; the CRC-32 of
// the data catches the rest).

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/Crc32.h"

constexpr size_t kEncryptionHeaderSize = 12;

class TraditionalCipher {
 public:
  TraditionalCipher();  // fills CrcTable; the keys are 0 until InitKeys

  uint32_t Key0 = 0;
  uint32_t Key1 = 0;
  uint32_t Key2 = 0;
  CrcTableArray CrcTable;

  // CrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8).
  uint32_t Crc32Step(uint32_t crc, uint8_t b) const {
    return CrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
  }
  // The fixed start values, then UpdateKeys with each password byte.
  void InitKeys(const std::string& password);
  // Drives the keys with one plain byte.
  void UpdateKeys(uint8_t c);
  // The next byte of the key stream (the keys are not changed).
  uint8_t DecryptByte() const {
    const uint32_t t = Key2 | 2;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
  }

  // Decrypts the 12 header bytes in place after InitKeys with `password`.
  // False for an empty password, or when the last plain byte differs from
  // `check_byte` (the high byte of the entry's CRC-32, or of its DOS time
  // when the entry has a data descriptor).
  bool DecryptHeader(uint8_t* header, const std::string& password, uint8_t check_byte);

  // Decrypts (or encrypts) bytes in place, going on from the keys' state.
  void Decrypt(uint8_t* data, size_t size);
  void Encrypt(uint8_t* data, size_t size);
};
