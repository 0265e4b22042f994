#include "archive/ZipWriter.h"

#include <algorithm>

#include "archive/Tzipfile.h"
#include "archive/ZipRecords.h"

namespace {

constexpr uint16_t kVersionMadeBy = 20;  // 2.0, MS-DOS attributes
constexpr uint64_t kLargestOffset = 0xFFFFFFFFu;
constexpr size_t kScratchSize = 64 * 1024;

}  // namespace

DosDateTime ToDosDateTime(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1980) return {0, (1 << 5) | 1};  // 00:00:00 01/01/1980
  if (year > 2107) return {(23 << 11) | (59 << 5) | 29, (127 << 9) | (12 << 5) | 31};
  DosDateTime dos;
  dos.time = static_cast<uint16_t>(hour << 11 | minute << 5 | second / 2);
  dos.date = static_cast<uint16_t>((year - 1980) << 9 | month << 5 | day);
  return dos;
}

ZipWriter::ZipWriter(Sink sink) : sink_(std::move(sink)) {}

bool ZipWriter::Fail(const std::string& why) {
  error_ = why;
  return false;
}

bool ZipWriter::Put(const uint8_t* data, size_t size) {
  if (offset_ + size > kLargestOffset) return Fail("the archive would exceed 4 GiB");
  if (!sink_(data, size)) return Fail("the archive could not be written");
  offset_ += size;
  return true;
}

bool ZipWriter::BeginEntry(const Entry& entry, const std::string& password,
                           const EncryptionSalt& salt) {
  if (in_entry_) return Fail("an entry is still open");
  const std::string fault = EntryNameFault(entry.name);
  if (!fault.empty()) return Fail("the name cannot be stored: " + entry.name + ": " + fault);
  if (entry.name.size() > 0xFFFF) return Fail("the name cannot be stored: " + entry.name);
  encrypting_ = !password.empty();
  const uint64_t compressed = uint64_t{entry.size} + (encrypting_ ? kEncryptionHeaderSize : 0);
  if (compressed > kLargestOffset) return Fail("the file is too large: " + entry.name);
  Written w{entry, static_cast<uint16_t>(encrypting_ ? kFlagEncrypted : 0),
            static_cast<uint32_t>(compressed), static_cast<uint32_t>(offset_)};

  namespace f = local_header;
  std::vector<uint8_t> h(f::kSize);
  Put32(&h[f::kSignature], kLocalHeaderSignature);
  Put16(&h[f::kVersionNeeded], encrypting_ ? kVersionNeededEncrypted : kVersionNeededStored);
  Put16(&h[f::kFlags], w.flags);
  Put16(&h[f::kMethod], kMethodStored);
  Put16(&h[f::kModTime], entry.modified.time);
  Put16(&h[f::kModDate], entry.modified.date);
  Put32(&h[f::kCrc32], entry.crc32);
  Put32(&h[f::kCompressedSize], w.compressed_size);
  Put32(&h[f::kUncompressedSize], entry.size);
  Put16(&h[f::kNameLength], static_cast<uint16_t>(entry.name.size()));
  Put16(&h[f::kExtraLength], 0);
  h.insert(h.end(), entry.name.begin(), entry.name.end());
  if (encrypting_) {
    uint8_t header[kEncryptionHeaderSize];
    std::copy(salt.begin(), salt.end(), header);
    header[kEncryptionHeaderSize - 1] = static_cast<uint8_t>(entry.crc32 >> 24);
    cipher_.InitKeys(password);
    cipher_.Encrypt(header, kEncryptionHeaderSize);
    h.insert(h.end(), header, header + kEncryptionHeaderSize);
  }
  if (!Put(h.data(), h.size())) return false;
  written_.push_back(std::move(w));
  in_entry_ = true;
  data_left_ = entry.size;
  return true;
}

bool ZipWriter::AddData(const uint8_t* data, size_t size) {
  if (!in_entry_) return Fail("no entry is open");
  if (size > data_left_)
    return Fail("more data than the entry's size: " + written_.back().entry.name);
  data_left_ -= size;
  if (!encrypting_) return Put(data, size);
  scratch_.resize(kScratchSize);
  while (size > 0) {
    const size_t n = std::min(size, kScratchSize);
    std::copy(data, data + n, scratch_.begin());
    cipher_.Encrypt(scratch_.data(), n);
    if (!Put(scratch_.data(), n)) return false;
    data += n;
    size -= n;
  }
  return true;
}

bool ZipWriter::EndEntry() {
  if (!in_entry_) return Fail("no entry is open");
  in_entry_ = false;
  if (data_left_ != 0)
    return Fail("less data than the entry's size: " + written_.back().entry.name);
  return true;
}

bool ZipWriter::Finish(const std::string& comment) {
  if (in_entry_) return Fail("an entry is still open");
  if (comment.size() > 0xFFFF) return Fail("the comment is too long");
  const uint64_t central_start = offset_;
  for (const Written& w : written_) {
    namespace f = central_header;
    std::vector<uint8_t> h(f::kSize);
    Put32(&h[f::kSignature], kCentralHeaderSignature);
    Put16(&h[f::kVersionMadeBy], kVersionMadeBy);
    Put16(&h[f::kVersionNeeded],
          (w.flags & kFlagEncrypted) ? kVersionNeededEncrypted : kVersionNeededStored);
    Put16(&h[f::kFlags], w.flags);
    Put16(&h[f::kMethod], kMethodStored);
    Put16(&h[f::kModTime], w.entry.modified.time);
    Put16(&h[f::kModDate], w.entry.modified.date);
    Put32(&h[f::kCrc32], w.entry.crc32);
    Put32(&h[f::kCompressedSize], w.compressed_size);
    Put32(&h[f::kUncompressedSize], w.entry.size);
    Put16(&h[f::kNameLength], static_cast<uint16_t>(w.entry.name.size()));
    Put32(&h[f::kLocalHeaderOffset], w.offset);
    h.insert(h.end(), w.entry.name.begin(), w.entry.name.end());
    if (!Put(h.data(), h.size())) return false;
  }
  namespace f = end_record;
  std::vector<uint8_t> e(f::kSize);
  const uint16_t count = static_cast<uint16_t>(written_.size() & 0xFFFF);
  Put32(&e[f::kSignature], kEndRecordSignature);
  Put16(&e[f::kDiskRecords], count);
  Put16(&e[f::kTotalRecords], count);
  Put32(&e[f::kCentralSize], static_cast<uint32_t>(offset_ - central_start));
  Put32(&e[f::kCentralOffset], static_cast<uint32_t>(central_start));
  Put16(&e[f::kCommentLength], static_cast<uint16_t>(comment.size()));
  e.insert(e.end(), comment.begin(), comment.end());
  return Put(e.data(), e.size());
}
