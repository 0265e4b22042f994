#include "archive/ZipRecords.h"

#include <algorithm>
#include <cstring>
#include <limits>

std::string TextBeforeZero(const std::string& field) {
  return field.substr(0, std::min(field.find('\0'), field.size()));
}

// --- ArchiveReader -----------------------------------------------------------

ArchiveReader::ArchiveReader(HostFile& file, size_t readahead)
    : file_(file), buffer_(std::max<size_t>(readahead, 16)) {
  file_position_ = std::max<int64_t>(file_.Seek(0, SeekOrigin::kCurrent), 0);
}

size_t ArchiveReader::ReadFromHost(uint8_t* out, size_t size) {
  if (host_moved_) {
    if (file_.Seek(file_position_, SeekOrigin::kBegin) != file_position_) return 0;
    host_moved_ = false;
  }
  const uint32_t ask =
      static_cast<uint32_t>(std::min<size_t>(size, std::numeric_limits<uint32_t>::max()));
  uint32_t done = 0;
  if (!file_.Read(out, ask, &done)) return 0;
  done = std::min(done, ask);
  file_position_ += done;
  return done;
}

void ArchiveReader::Fill(size_t want) {
  if (Buffered() >= want) return;
  if (buffer_.size() < want) buffer_.resize(want);
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, Buffered());
    end_ -= begin_;
    begin_ = 0;
  }
  while (end_ < want) {
    const size_t got = ReadFromHost(buffer_.data() + end_, buffer_.size() - end_);
    if (got == 0) return;
    end_ += got;
  }
}

size_t ArchiveReader::ReadSome(void* out, size_t size) {
  uint8_t* dst = static_cast<uint8_t*>(out);
  size_t done = 0;
  while (done < size) {
    if (Buffered() == 0) {
      const size_t left = size - done;
      if (left >= buffer_.size()) {
        const size_t got = ReadFromHost(dst + done, left);
        if (got == 0) break;
        done += got;
        continue;
      }
      begin_ = end_ = 0;
      Fill(1);
      if (Buffered() == 0) break;
    }
    const size_t n = std::min(size - done, Buffered());
    std::memcpy(dst + done, buffer_.data() + begin_, n);
    begin_ += n;
    done += n;
  }
  return done;
}

bool ArchiveReader::Skip(int64_t distance) {
  if (distance >= 0 && static_cast<uint64_t>(distance) <= Buffered()) {
    begin_ += static_cast<size_t>(distance);
    return true;
  }
  return SeekTo(Position() + distance);
}

bool ArchiveReader::SeekTo(int64_t position) {
  if (position < 0) return false;
  const int64_t buffer_start = file_position_ - static_cast<int64_t>(end_);
  if (position >= buffer_start && position <= file_position_) {
    begin_ = static_cast<size_t>(position - buffer_start);
    return true;
  }
  begin_ = end_ = 0;
  file_position_ = position;
  host_moved_ = true;
  return true;
}

uint32_t ArchiveReader::Peek32() {
  Fill(4);
  return Buffered() < 4 ? kNoSignature : Get32(buffer_.data() + begin_);
}

void ArchiveReader::Sync() {
  const int64_t position = Position();
  begin_ = end_ = 0;
  file_position_ = position;
  host_moved_ = false;
  file_.Seek(position, SeekOrigin::kBegin);
}

// --- Record readers ----------------------------------------------------------

namespace {

// The variable part of a record: a field of `length` bytes, or false.
bool ReadField(ArchiveReader& in, uint16_t length, std::string* field) {
  field->assign(length, '\0');
  return length == 0 || in.Read(field->data(), length);
}

const char kCutShort[] = "the file ends inside it";

// Null, with `text` as the fault when one is wanted.
std::nullptr_t Refuse(std::string* fault, const char* text) {
  if (fault != nullptr) *fault = text;
  return nullptr;
}

}  // namespace

std::unique_ptr<LocalHeader> ReadLocalHeader(ArchiveReader& in, std::string* fault) {
  namespace f = local_header;
  const auto is_local = [](uint32_t s) {
    return s == kLocalHeaderSignature || s == kLocalHeaderOddSignature;
  };
  const char kNone[] = "no local header starts there";
  // A signature is told apart from a record cut short before its fixed part.
  if (const uint32_t peek = in.Peek32(); peek != kNoSignature && !is_local(peek))
    return Refuse(fault, kNone);
  uint8_t b[f::kSize];
  if (!in.Read(b, f::kSize)) return Refuse(fault, kCutShort);
  auto h = std::make_unique<LocalHeader>();
  h->signature = Get32(b + f::kSignature);
  if (!is_local(h->signature)) return Refuse(fault, kNone);
  h->version_needed = Get16(b + f::kVersionNeeded);
  h->flags = Get16(b + f::kFlags);
  h->method = Get16(b + f::kMethod);
  h->mod_time = Get16(b + f::kModTime);
  h->mod_date = Get16(b + f::kModDate);
  h->crc32 = Get32(b + f::kCrc32);
  h->compressed_size = Get32(b + f::kCompressedSize);
  h->uncompressed_size = Get32(b + f::kUncompressedSize);
  h->name_length = Get16(b + f::kNameLength);
  h->extra_length = Get16(b + f::kExtraLength);
  if (!ReadField(in, h->name_length, &h->name) || !ReadField(in, h->extra_length, &h->extra))
    return Refuse(fault, kCutShort);
  return h;
}

std::unique_ptr<CentralHeader> ReadCentralHeader(ArchiveReader& in, std::string* fault) {
  namespace f = central_header;
  const char kNone[] = "neither a central record nor the end record starts there";
  if (const uint32_t peek = in.Peek32(); peek != kNoSignature && peek != kCentralHeaderSignature)
    return Refuse(fault, kNone);
  uint8_t b[f::kSize];
  if (!in.Read(b, f::kSize)) return Refuse(fault, kCutShort);
  auto h = std::make_unique<CentralHeader>();
  h->signature = Get32(b + f::kSignature);
  if (h->signature != kCentralHeaderSignature) return Refuse(fault, kNone);
  h->version_made_by = Get16(b + f::kVersionMadeBy);
  h->version_needed = Get16(b + f::kVersionNeeded);
  h->flags = Get16(b + f::kFlags);
  h->method = Get16(b + f::kMethod);
  h->mod_time = Get16(b + f::kModTime);
  h->mod_date = Get16(b + f::kModDate);
  h->crc32 = Get32(b + f::kCrc32);
  h->compressed_size = Get32(b + f::kCompressedSize);
  h->uncompressed_size = Get32(b + f::kUncompressedSize);
  h->name_length = Get16(b + f::kNameLength);
  h->extra_length = Get16(b + f::kExtraLength);
  h->comment_length = Get16(b + f::kCommentLength);
  h->disk_number_start = Get16(b + f::kDiskNumberStart);
  h->internal_attributes = Get16(b + f::kInternalAttributes);
  h->external_attributes = Get32(b + f::kExternalAttributes);
  h->local_header_offset = Get32(b + f::kLocalHeaderOffset);
  if (!ReadField(in, h->name_length, &h->name) || !ReadField(in, h->extra_length, &h->extra) ||
      !ReadField(in, h->comment_length, &h->comment))
    return Refuse(fault, kCutShort);
  return h;
}

std::unique_ptr<EndRecord> ReadEndRecord(ArchiveReader& in, std::string* fault) {
  namespace f = end_record;
  if (const uint32_t peek = in.Peek32(); peek != kNoSignature && peek != kEndRecordSignature)
    return Refuse(fault, "no end record starts there");
  uint8_t b[f::kSize];
  if (!in.Read(b, f::kSize)) return Refuse(fault, kCutShort);
  auto r = std::make_unique<EndRecord>();
  r->signature = Get32(b + f::kSignature);
  if (r->signature != kEndRecordSignature) return Refuse(fault, "no end record starts there");
  r->disk_number = Get16(b + f::kDiskNumber);
  r->central_disk = Get16(b + f::kCentralDisk);
  r->disk_records = Get16(b + f::kDiskRecords);
  r->total_records = Get16(b + f::kTotalRecords);
  r->central_size = Get32(b + f::kCentralSize);
  r->central_offset = Get32(b + f::kCentralOffset);
  r->comment_length = Get16(b + f::kCommentLength);
  if (!ReadField(in, r->comment_length, &r->comment)) return Refuse(fault, kCutShort);
  return r;
}
