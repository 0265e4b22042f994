#pragma once
// The records of a ZIP archive as the package reader knows them: signatures
// and layouts as named constants, little-endian field access, the record
// readers, and a buffered forward reader over a host file.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Host.h"

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;     // PK 03 04
constexpr uint32_t kLocalHeaderOddSignature = 0x50000000;  // 00 00 00 50, accepted too
constexpr uint32_t kDataDescriptorSignature = 0x08074B50;  // PK 07 08
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;   // PK 01 02
constexpr uint32_t kEndRecordSignature = 0x06054B50;       // PK 05 06
// What ArchiveReader::Peek32 gives when fewer than four bytes are left.
constexpr uint32_t kNoSignature = 0;

// General-purpose flags and compression methods.
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kLastKnownMethod = 10;         // 1 to 10: known, not decoded here
constexpr uint16_t kVersionNeededStored = 10;     // 1.0
constexpr uint16_t kVersionNeededEncrypted = 20;  // 2.0

// Field offsets in the fixed part of each record, and that part's size.
namespace local_header {
constexpr size_t kSignature = 0;
constexpr size_t kVersionNeeded = 4;
constexpr size_t kFlags = 6;
constexpr size_t kMethod = 8;
constexpr size_t kModTime = 10;
constexpr size_t kModDate = 12;
constexpr size_t kCrc32 = 14;
constexpr size_t kCompressedSize = 18;
constexpr size_t kUncompressedSize = 22;
constexpr size_t kNameLength = 26;
constexpr size_t kExtraLength = 28;
constexpr size_t kSize = 30;
}  // namespace local_header

namespace data_descriptor {
// Signature, CRC-32, compressed and uncompressed size: stepped over whole,
// the central record giving the checks.
constexpr size_t kSize = 16;  // with its signature, the only form stepped over
}  // namespace data_descriptor

namespace central_header {
constexpr size_t kSignature = 0;
constexpr size_t kVersionMadeBy = 4;
constexpr size_t kVersionNeeded = 6;
constexpr size_t kFlags = 8;
constexpr size_t kMethod = 10;
constexpr size_t kModTime = 12;
constexpr size_t kModDate = 14;
constexpr size_t kCrc32 = 16;
constexpr size_t kCompressedSize = 20;
constexpr size_t kUncompressedSize = 24;
constexpr size_t kNameLength = 28;
constexpr size_t kExtraLength = 30;
constexpr size_t kCommentLength = 32;
constexpr size_t kDiskNumberStart = 34;
constexpr size_t kInternalAttributes = 36;
constexpr size_t kExternalAttributes = 38;
constexpr size_t kLocalHeaderOffset = 42;
constexpr size_t kSize = 46;
}  // namespace central_header

namespace end_record {
constexpr size_t kSignature = 0;
constexpr size_t kDiskNumber = 4;
constexpr size_t kCentralDisk = 6;
constexpr size_t kDiskRecords = 8;
constexpr size_t kTotalRecords = 10;
constexpr size_t kCentralSize = 12;
constexpr size_t kCentralOffset = 16;
constexpr size_t kCommentLength = 20;
constexpr size_t kSize = 22;
}  // namespace end_record

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// A name, extra field or comment holds every byte of its field; the text a
// caller sees is the part before the first zero byte.
std::string TextBeforeZero(const std::string& field);

struct LocalHeader {
  uint32_t signature = 0;
  uint16_t version_needed = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t mod_time = 0;
  uint16_t mod_date = 0;
  uint32_t crc32 = 0;
  uint32_t compressed_size = 0;
  uint32_t uncompressed_size = 0;
  uint16_t name_length = 0;
  uint16_t extra_length = 0;
  std::string name;
  std::string extra;
};

struct CentralHeader {
  uint32_t signature = 0;
  uint16_t version_made_by = 0;
  uint16_t version_needed = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t mod_time = 0;
  uint16_t mod_date = 0;
  uint32_t crc32 = 0;
  uint32_t compressed_size = 0;
  uint32_t uncompressed_size = 0;
  uint16_t name_length = 0;
  uint16_t extra_length = 0;
  uint16_t comment_length = 0;
  uint16_t disk_number_start = 0;
  uint16_t internal_attributes = 0;
  uint32_t external_attributes = 0;
  uint32_t local_header_offset = 0;
  std::string name;
  std::string extra;
  std::string comment;
};

struct EndRecord {
  uint32_t signature = 0;
  uint16_t disk_number = 0;
  uint16_t central_disk = 0;
  uint16_t disk_records = 0;
  uint16_t total_records = 0;
  uint32_t central_size = 0;
  uint32_t central_offset = 0;
  uint16_t comment_length = 0;
  std::string comment;
};

// Reads a host file forward through a buffer, so that walking many small
// records costs few host calls. Positions are offsets from the start of
// the file. The host file is not owned; while a reader is in use, nothing
// else moves it.
class ArchiveReader {
 public:
  // Starts at the file's current position. `readahead` is what one refill
  // of the buffer asks of the host.
  ArchiveReader(HostFile& file, size_t readahead);
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  int64_t Position() const { return file_position_ - static_cast<int64_t>(end_ - begin_); }
  // Exactly `size` bytes; false when a host call failed or the file ended
  // first (what was delivered is then in `out`).
  bool Read(void* out, size_t size) { return ReadSome(out, size) == size; }
  // Up to `size` bytes, fewer only at the end of the file or after a failed
  // host call: the count delivered. Large reads bypass the buffer.
  size_t ReadSome(void* out, size_t size);
  // Moves by `distance` from the current position (past the end is allowed;
  // reads there deliver nothing). False when the target would lie before
  // the start of the file.
  bool Skip(int64_t distance);
  bool SeekTo(int64_t position);
  // The next four bytes as a little-endian value, position unchanged;
  // kNoSignature when fewer than four are left.
  uint32_t Peek32();
  // Moves the host file to Position().
  void Sync();

 private:
  size_t Buffered() const { return end_ - begin_; }
  // One host read of up to `size` bytes at file_position_: the count, 0 at
  // the end or on failure.
  size_t ReadFromHost(uint8_t* out, size_t size);
  // Buffers at least `want` bytes, fewer when the file ends first.
  void Fill(size_t want);

  HostFile& file_;
  std::vector<uint8_t> buffer_;
  size_t begin_ = 0;  // buffered bytes are buffer_[begin_, end_)
  size_t end_ = 0;
  int64_t file_position_ = 0;  // where the host file stands: just after buffer_[end_ - 1]
  bool host_moved_ = false;    // a host Seek is due before the next host read
};

// Each reads one record at the reader's position and leaves the position
// just after it. None when the signature is not the record's or the file
// ends inside the record; `*fault` (when given) then says which.
std::unique_ptr<LocalHeader> ReadLocalHeader(ArchiveReader& in, std::string* fault = nullptr);
std::unique_ptr<CentralHeader> ReadCentralHeader(ArchiveReader& in, std::string* fault = nullptr);
std::unique_ptr<EndRecord> ReadEndRecord(ArchiveReader& in, std::string* fault = nullptr);
