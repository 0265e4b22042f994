#pragma once
// ZipWriter: writes an archive that ReadDirectory reads and other ZIP tools
// read as well. Every entry is stored: a local header carrying the CRC-32
// and both sizes, the data, no data descriptor; then the central directory
// and the end record. With a password an entry is under traditional
// encryption: a 12-byte header of 11 random bytes and the high byte of the
// CRC-32, then the data.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/TraditionalCrypto.h"

struct DosDateTime {
  uint16_t time = 0;
  uint16_t date = 0;
};

// Calendar fields as DOS words, in two-second steps; dates before 1980 or
// after 2107 are clamped to the first or last moment DOS can hold.
DosDateTime ToDosDateTime(int year, int month, int day, int hour, int minute, int second);

class ZipWriter {
 public:
  // Takes the archive's bytes in order; false when they cannot be written.
  using Sink = std::function<bool(const uint8_t* data, size_t size)>;
  using EncryptionSalt = std::array<uint8_t, kEncryptionHeaderSize - 1>;

  struct Entry {
    std::string name;    // '/' between folders
    uint32_t size = 0;   // of the data
    uint32_t crc32 = 0;  // Crc32 of the data
    DosDateTime modified;
  };

  explicit ZipWriter(Sink sink);
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // Starts an entry, encrypted when `password` is not empty (`salt` is then
  // the header's random part). Its data follows through AddData.
  bool BeginEntry(const Entry& entry, const std::string& password, const EncryptionSalt& salt);
  bool AddData(const uint8_t* data, size_t size);
  // False when the data did not add up to the entry's size.
  bool EndEntry();
  // The central directory and the end record. An archive of more than
  // 65,535 entries keeps the record counts modulo 65,536, as they are only
  // a hint (this reader walks the records themselves).
  bool Finish(const std::string& comment);

  // Why the last call returned false.
  const std::string& Error() const { return error_; }

 private:
  struct Written {
    Entry entry;
    uint16_t flags;
    uint32_t compressed_size;
    uint32_t offset;
  };
  bool Put(const uint8_t* data, size_t size);
  bool Fail(const std::string& why);

  Sink sink_;
  std::vector<Written> written_;
  uint64_t offset_ = 0;  // bytes written so far
  bool in_entry_ = false;
  bool encrypting_ = false;
  uint64_t data_left_ = 0;
  TraditionalCipher cipher_;
  std::vector<uint8_t> scratch_;
  std::string error_;
};
