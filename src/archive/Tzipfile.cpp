#include "archive/Tzipfile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "archive/ZipRecords.h"
#include "platform/Path.h"
#include "platform/Text.h"

namespace {

// The walk reads many small records: a large read-ahead. An extraction reads
// one header and then streams the data in copy-buffer steps.
constexpr size_t kDirectoryReadahead = 64 * 1024;
constexpr size_t kHeaderReadahead = 4 * 1024;
constexpr size_t kCopyBufferSize = 64 * 1024;

bool IsDirectoryName(const std::string& name) { return !name.empty() && IsSeparator(name.back()); }

std::string SignedDecimal(uint32_t value) { return std::to_string(static_cast<int32_t>(value)); }

std::string HexText(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
  return text;
}

// The DOS words as they stand: hour, minute, day, month and year, without
// checking that they form a real date.
std::string DateText(uint16_t time, uint16_t date) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d %02d/%02d/%04d", time >> 11, (time >> 5) & 0x3F,
                date & 0x1F, (date >> 5) & 0x0F, 1980 + (date >> 9));
  return text;
}

// Column 4 as an offset: its signed decimal value read as the unsigned
// 32-bit field it came from. None when it is not a number.
std::optional<int64_t> ParseOffset(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0' || value < INT32_MIN || value > UINT32_MAX) return std::nullopt;
  return static_cast<int64_t>(static_cast<uint32_t>(value));
}

}  // namespace

// --- Names and paths ---------------------------------------------------------

namespace {

std::string AsciiUpperCaseOf(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// A component Windows opens as a device whatever folder it stands in: the
// device's name alone, or followed by blanks, or by a dot and anything
// ("aux.php", "NUL .txt"). COM and LPT take the digits 1 to 9 and the
// superscripts 1 to 3 of code page 1252.
std::string DeviceNameOf(const std::string& component) {
  std::string base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  base = AsciiLowerCase(base);
  static const char* const kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
  for (const char* device : kDevices)
    if (base == device) return AsciiUpperCaseOf(base);
  if (base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0)) {
    const unsigned char digit = static_cast<unsigned char>(base[3]);
    if ((digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3)
      return AsciiUpperCaseOf(base);
  }
  return std::string();
}

}  // namespace

std::string QuotedName(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text = "\"";
  for (const char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      text += "\\x";
      text += kHex[u >> 4];
      text += kHex[u & 0xF];
    } else {
      text += c;
    }
  }
  return text + "\"";
}

std::string EntryNameFault(const std::string& name) {
  if (name.empty()) return "the name is empty";
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return "a control character in the name";
    if (c == ':') return "':' in the name (a drive or a stream)";
    if (std::strchr("<>\"|?*", c) != nullptr)
      return std::string("'") + c + "' in the name, which Windows does not allow";
  }
  if (IsSeparator(name.front())) return "the name starts at the root";
  size_t start = 0;
  while (start <= name.size()) {
    size_t stop = start;
    while (stop < name.size() && !IsSeparator(name[stop])) ++stop;
    const std::string part = name.substr(start, stop - start);
    start = stop + 1;
    if (part.empty() || part == ".") continue;  // the same folder on every host
    const bool dots_and_blanks = part.find_first_not_of(". ") == std::string::npos;
    if (dots_and_blanks && std::count(part.begin(), part.end(), '.') >= 2)
      return "\"" + part + "\" leads out of the target folder";
    const std::string device = DeviceNameOf(part);
    if (!device.empty()) return "\"" + part + "\" is the device " + device + " on Windows";
    // Windows drops them, so "index.php." would overwrite "index.php".
    if (part.back() == '.') return "\"" + part + "\" ends in a dot, which Windows drops";
    if (part.back() == ' ') return "\"" + part + "\" ends in a blank, which Windows drops";
  }
  return std::string();
}

namespace {

// The length of DirectoryPart of the first `length` characters of `s`.
size_t DirectoryPartLength(const std::string& s, size_t length) {
  for (size_t i = length; i-- > 1;)
    if (s[i] == '\\' || s[i] == ':' || s[i] == '/') return i;
  return 0;
}

}  // namespace

std::string DirectoryPart(const std::string& s) {
  return s.substr(0, DirectoryPartLength(s, s.size()));
}

std::string StripTrailingSeparator(const std::string& s) {
  if (s.size() >= 2 && IsSeparator(s.back())) return s.substr(0, s.size() - 1);
  return s;
}

bool PathExists(Host& host, const std::string& path) {
  const uint32_t attributes = host.FileAttributes(path);
  return attributes != kInvalidFileAttributes && attributes != 0;
}

bool CreateOneDirectory(Host& host, const std::string& path) { return host.MakeOneDirectory(path); }

bool MakeDirectoryPath(Host& host, const std::string& dir) {
  return !dir.empty() && MakeFolderPath(host, dir);
}

// --- TZipFile ----------------------------------------------------------------

TZipFile::TZipFile(Host& host, const std::string& archive_name)
    : Directory(std::make_unique<ZipFileData>()), ArchiveName(archive_name), host_(host) {}

TZipFile::~TZipFile() = default;

const char* TZipFile::ErrorMessage(int32_t code) {
  static const char* const kTexts[] = {
      "",
      "An error occured",
      "File not present in Zip file",
      "Could not read local file header",
      "Could not create target",
      "Could not write to target",
      "Could not read from Zip file",
      "Invalid compression method",
      "Invalid password",
  };
  const uint32_t index = static_cast<uint32_t>(code);
  if (index < sizeof kTexts / sizeof kTexts[0]) return kTexts[index];
  return "An unknown error has occured";
}

void TZipFile::AppendRow(const std::string& name, const LocalHeader& header) {
  EntryRow row;
  row[kColumnName] = name;
  row[kColumnCompressedSize] = SignedDecimal(header.compressed_size);
  row[kColumnUncompressedSize] = SignedDecimal(header.uncompressed_size);
  row[kColumnModified] = DateText(header.mod_time, header.mod_date);
  row[kColumnCrc] = HexText(header.crc32);
  Directory->Entries.push_back(std::move(row));
}

EntryRow* TZipFile::FindRow(const std::string& name) {
  std::vector<EntryRow>& rows = Directory->Entries;
  if (indexed_rows_ > rows.size()) {
    row_index_.clear();
    indexed_rows_ = 0;
  }
  for (; indexed_rows_ < rows.size(); ++indexed_rows_) {
    const std::optional<std::string>& row_name = rows[indexed_rows_][kColumnName];
    if (row_name) row_index_.emplace(AsciiLowerCase(*row_name), indexed_rows_);
  }
  const auto it = row_index_.find(AsciiLowerCase(name));
  return it == row_index_.end() ? nullptr : &rows[it->second];
}

bool TZipFile::ReadDirectory(HostFile* archive) {
  DirectoryError.clear();
  local_places_.clear();
  if (archive == nullptr) return false;
  ArchiveReader in(*archive, kDirectoryReadahead);
  archive_start_ = in.Position();
  const bool complete = WalkLocalHeaders(in) && ReadCentralDirectory(in);
  in.Sync();
  return complete;
}

bool TZipFile::Refuse(const char* record, std::optional<size_t> index, int64_t position,
                      const std::string* name, const std::string& why) {
  DirectoryError = record;
  if (index) DirectoryError += " " + std::to_string(*index);
  DirectoryError += " at offset " + std::to_string(position - archive_start_);
  if (name != nullptr) DirectoryError += " names " + QuotedName(*name);
  DirectoryError += ": " + why;
  return false;
}

bool TZipFile::WalkLocalHeaders(ArchiveReader& in) {
  for (size_t index = 0;; ++index) {
    const int64_t position = in.Position();
    std::string fault;
    const std::unique_ptr<LocalHeader> header = ReadLocalHeader(in, &fault);
    if (header == nullptr) return Refuse("local header", index, position, nullptr, fault);
    const std::string name = TextBeforeZero(header->name);
    NoteLocalHeader(position, name);
    if (!IsDirectoryName(name)) {
      std::string name_fault = EntryNameFault(header->name);
      if (!name_fault.empty()) {
        RefusedName = NameRefusal{name, name_fault};
        return Refuse("local header", index, position, &name, name_fault);
      }
      AppendRow(name, *header);
    }
    if (header->flags & kFlagEncrypted) HasEncryptedEntries = true;
    // The data's last byte is read: an entry cut short is named as such,
    // not the record that would follow it past the end of the file.
    uint8_t last = 0;
    if (header->compressed_size > 0 &&
        (!in.Skip(header->compressed_size - 1) || !in.Read(&last, 1)))
      return Refuse("local header", index, position, &name, "the file ends inside its data");
    uint32_t next = in.Peek32();
    if (next == kDataDescriptorSignature) {
      in.Skip(data_descriptor::kSize);
      next = in.Peek32();
    }
    if (next == kCentralHeaderSignature) return true;
  }
}

bool TZipFile::ReadCentralDirectory(ArchiveReader& in) {
  size_t index = 0;
  do {
    const int64_t position = in.Position();
    std::string fault;
    const std::unique_ptr<CentralHeader> header = ReadCentralHeader(in, &fault);
    if (header == nullptr) return Refuse("central record", index, position, nullptr, fault);
    const std::string name = TextBeforeZero(header->name);
    const std::string place_fault = ClaimLocalHeader(*header, name, index);
    if (!place_fault.empty()) return Refuse("central record", index, position, &name, place_fault);
    if (!IsDirectoryName(name)) {
      EntryRow* row = FindRow(name);
      if (row == nullptr)
        return Refuse("central record", index, position, &name, "no local header has that name");
      (*row)[kColumnOffset] = SignedDecimal(header->local_header_offset);
      row->central = EntryRow::DataChecks{header->crc32, header->uncompressed_size};
    }
    ++index;
  } while (in.Peek32() != kEndRecordSignature);
  const int64_t position = in.Position();
  std::string fault;
  const std::unique_ptr<EndRecord> end = ReadEndRecord(in, &fault);
  if (end == nullptr) return Refuse("end record", std::nullopt, position, nullptr, fault);
  Directory->Comment = TextBeforeZero(end->comment);
  return true;
}

void TZipFile::NoteLocalHeader(int64_t position, const std::string& name) {
  local_places_[position - archive_start_] = LocalPlace{AsciiLowerCase(name), std::nullopt};
}

std::string TZipFile::ClaimLocalHeader(const CentralHeader& header, const std::string& name,
                                       size_t index) {
  const int64_t offset = header.local_header_offset;
  const std::string given = "it points to offset " + std::to_string(offset);
  const auto place = local_places_.find(offset);
  if (place == local_places_.end()) return given + ", where the walk found no local header";
  if (place->second.folded_name != AsciiLowerCase(name))
    return given + ", the local header of another name";
  if (place->second.claimed_by)
    return given + ", which central record " + std::to_string(*place->second.claimed_by) +
           " gave already";
  place->second.claimed_by = index;
  return std::string();
}

int32_t TZipFile::ExtractFile(const std::string& name, const std::string& target_folder,
                              const std::string& password) {
  return Extract(name, &target_folder, password);
}

int32_t TZipFile::CheckFile(const std::string& name, const std::string& password) {
  return Extract(name, nullptr, password);
}

namespace {

// The name the entry is extracted to below `folder`, with the folders of
// its own name made.
std::string MakeTargetFolders(Host& host, const std::string& folder, const std::string& name) {
  const std::string folder_part = DirectoryPart(name);
  if (!folder_part.empty())
    MakeDirectoryPath(host, StripTrailingSeparator(folder) + "\\" + folder_part);
  const bool ends_in_backslash = !folder.empty() && folder.back() == '\\';
  return folder + (ends_in_backslash ? "" : "\\") + name;
}

}  // namespace

int32_t TZipFile::Extract(const std::string& name, const std::string* target_folder,
                          const std::string& password) {
  EntryRow* row = FindRow(name);
  if (row == nullptr) return kZipNotPresent;
  const std::optional<std::string>& offset_text = (*row)[kColumnOffset];
  const std::optional<int64_t> offset = offset_text ? ParseOffset(*offset_text) : std::nullopt;
  if (!offset) return kZipBadLocalHeader;  // no central record named the entry

  const std::unique_ptr<HostFile> archive = host_.OpenFileForRead(ArchiveName, kShareRead);
  if (archive == nullptr) return kZipError;
  ArchiveReader in(*archive, kHeaderReadahead);
  if (!in.SeekTo(*offset + BaseOffset)) return kZipBadLocalHeader;
  const std::unique_ptr<LocalHeader> header = ReadLocalHeader(in);
  if (header == nullptr) return kZipBadLocalHeader;

  const bool encrypted = header->flags & kFlagEncrypted;
  const bool has_descriptor = header->flags & kFlagDataDescriptor;
  const EntryRow::DataChecks local{header->crc32, header->uncompressed_size};
  const EntryRow::DataChecks expected = has_descriptor ? row->central.value_or(local) : local;
  uint32_t count = header->compressed_size;
  if (encrypted) {
    if (count < kEncryptionHeaderSize) return kZipCannotRead;
    uint8_t encryption_header[kEncryptionHeaderSize];
    if (!in.Read(encryption_header, kEncryptionHeaderSize)) return kZipCannotRead;
    const uint8_t check_byte =
        static_cast<uint8_t>(has_descriptor ? header->mod_time >> 8 : header->crc32 >> 24);
    if (!DecryptHeader(encryption_header, password, check_byte)) return kZipBadPassword;
    count -= kEncryptionHeaderSize;
  }
  // The method after the encryption, in the order of the steps, but before
  // the target is made: an entry this reader cannot decode leaves an
  // existing target alone and makes none.
  if (header->method != kMethodStored)
    return header->method <= kLastKnownMethod ? kZipError : kZipBadMethod;
  // Stored data is as long as the file; when the sizes disagree, one of
  // them is damaged.
  if (count != expected.uncompressed_size) return kZipCannotRead;
  // A check reads the data through the same steps and writes it nowhere.
  if (target_folder == nullptr) return CopyStored(in, nullptr, count, encrypted, expected.crc32);

  const std::string target_path = MakeTargetFolders(host_, *target_folder, name);
  // Where a file cannot take the target's place, nothing is made.
  const uint32_t attributes = host_.FileAttributes(target_path);
  if (attributes != kInvalidFileAttributes &&
      (attributes & (kAttributeDirectory | kAttributeDevice)))
    return kZipCannotCreate;
  // The new file beside the target; "~" keeps a link at the target's own
  // name from being followed to choose the folder.
  std::string part;
  std::unique_ptr<HostFile> target = host_.CreateFileBeside(target_path + "~", &part);
  if (target == nullptr) return kZipCannotCreate;
  int32_t result = CopyStored(in, target.get(), count, encrypted, expected.crc32);
  target.reset();
  if (result == kZipOk && BeforePlace && !BeforePlace(target_path)) result = kZipCannotCreate;
  if (result == kZipOk && !host_.MoveFileReplacing(part, target_path)) result = kZipCannotCreate;
  // A removal that succeeds leaves the host's reason for the failure.
  if (result != kZipOk) host_.RemoveFile(part);
  return result;
}

int32_t TZipFile::CopyStored(ArchiveReader& in, HostFile* target, uint32_t count, bool encrypted,
                             uint32_t expected_crc) {
  if (copy_buffer_ == nullptr) copy_buffer_ = std::make_unique<uint8_t[]>(kCopyBufferSize);
  uint8_t* buffer = copy_buffer_.get();
  uint32_t crc = 0;
  while (count > 0) {
    const size_t want = std::min<size_t>(count, kCopyBufferSize);
    const size_t got = in.ReadSome(buffer, want);
    if (encrypted) Decrypt(buffer, got);
    crc = Crc32(crc, buffer, got);
    if (target != nullptr && !WriteAll(*target, buffer, got)) return kZipCannotWrite;
    if (got < want) return kZipCannotRead;
    count -= static_cast<uint32_t>(got);
  }
  return crc == expected_crc ? kZipOk : kZipCannotRead;
}
