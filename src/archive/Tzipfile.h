#pragma once
// TZipFile: the reader of the package archive "Data.kpv".
//
// ReadDirectory walks the archive forward from its first byte, local header
// after local header, into a table of entries; the central directory then
// supplies each entry's local header offset, and the end record the
// comment. ExtractFile writes one listed entry below a folder. Only stored
// entries are extracted, in the clear or under traditional encryption.
// Every file access goes through the Host, with Windows paths.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/TraditionalCrypto.h"
#include "platform/Host.h"

class ArchiveReader;
struct CentralHeader;
struct LocalHeader;

// The six columns of an entry row.
enum EntryColumn : size_t {
  kColumnName = 0,              // the local header's name, as stored
  kColumnCompressedSize = 1,    // signed 32-bit decimal
  kColumnUncompressedSize = 2,  // signed 32-bit decimal
  kColumnModified = 3,          // "hh:mm dd/mm/yyyy"
  kColumnOffset = 4,            // from the central record; absent until then
  kColumnCrc = 5,               // "%X"
  kEntryColumns = 6
};

// One listed file entry. An absent column is nullopt, never garbage.
struct EntryRow {
  std::array<std::optional<std::string>, kEntryColumns> columns;
  // The CRC-32 and uncompressed size of the central record that set column
  // 4: an entry with a data descriptor may carry 0 for them in its local
  // header, and its check uses these.
  struct DataChecks {
    uint32_t crc32;
    uint32_t uncompressed_size;
  };
  std::optional<DataChecks> central;

  std::optional<std::string>& operator[](size_t column) { return columns[column]; }
  const std::optional<std::string>& operator[](size_t column) const { return columns[column]; }
};

struct ZipFileData {
  // One row per file entry, in the order of the local headers. Rows are
  // appended by ReadDirectory only; callers read them.
  std::vector<EntryRow> Entries;
  // Absent until the end record is read; empty when there is no comment.
  std::optional<std::string> Comment;
};

// ExtractFile's result codes; ErrorMessage gives their texts.
constexpr int32_t kZipOk = 0;
constexpr int32_t kZipError = 1;           // archive not opened, or method 1 to 10
constexpr int32_t kZipNotPresent = 2;      // no row of that name
constexpr int32_t kZipBadLocalHeader = 3;  // no local header at the entry's offset
constexpr int32_t kZipCannotCreate = 4;    // target not created
constexpr int32_t kZipCannotWrite = 5;     // a write took no byte
constexpr int32_t kZipCannotRead = 6;      // data cut short, malformed or failing its CRC-32
constexpr int32_t kZipBadMethod = 7;       // method above 10
constexpr int32_t kZipBadPassword = 8;     // empty or wrong password

// TZipFile carries the decryption keys and the CRC table itself (the
// TraditionalCipher part); two extractions on one object must not overlap.
class TZipFile : public TraditionalCipher {
 public:
  // The archive is not opened here.
  TZipFile(Host& host, const std::string& archive_name);
  TZipFile(const TZipFile&) = delete;
  TZipFile& operator=(const TZipFile&) = delete;
  ~TZipFile();

  std::unique_ptr<ZipFileData> Directory;
  // Added to an entry's offset when ExtractFile seeks to it.
  int32_t BaseOffset = 0;
  // Set when any local header, folder entries included, is encrypted.
  bool HasEncryptedEntries = false;
  std::string ArchiveName;

  // Reads the table from `archive`, a file the caller opened for reading
  // and still owns, standing at the start of the archive. True when the
  // table is complete; false for anything that is not a package this reader
  // can use, including an entry name that is not safe to write on every
  // host (see EntryNameFault; RefusedName then says which and why) and a
  // central record whose offset is not that of a local header the walk read
  // for the same name, or is that of one an earlier record named already
  // (two names would share one entry's data). Rows appended before a
  // failure stay.
  bool ReadDirectory(HostFile* archive);
  // Why the last ReadDirectory refused the archive, for the package tool:
  // the record (counted from 0), its offset in the archive, its name when it
  // was read, and what was wrong, as
  //   central record 3 at offset 412 names "b.txt": no local header has that name
  // Names are quoted with control characters as \xNN. Empty otherwise.
  std::string DirectoryError;

  // The entry ReadDirectory refused for its name: the name up to its first
  // zero byte, and why.
  struct NameRefusal {
    std::string name;
    std::string reason;
  };
  std::optional<NameRefusal> RefusedName;

  // Writes the entry `name` (the first row whose name equals it, ASCII
  // letter case ignored) to target_folder + "\" + name, making the folders
  // the name holds. Returns a result code (kZipOk...). Nothing is created
  // for results 1 to 4, 7 and 8, nor for a stored entry whose sizes
  // disagree (6). The bytes go to a new file beside the target, which takes
  // the target's name in one step once its CRC-32 is checked: a failure or a
  // kill leaves the old file (or none) or the whole new one, never a mix.
  int32_t ExtractFile(const std::string& name, const std::string& target_folder,
                      const std::string& password);
  // Called with the target's path just before a checked entry takes its
  // place; false stops it (result 4, nothing changed).
  std::function<bool(const std::string& target)> BeforePlace;
  // ExtractFile to nowhere: the same steps and result codes, the data read
  // once through the CRC-32 check, nothing created or written. kZipOk means
  // ExtractFile would get the entry's bytes whole; 4 and 5 do not occur.
  int32_t CheckFile(const std::string& name, const std::string& password);

  // The text of a result code; "An unknown error has occured" for any value
  // outside 0 to 8.
  static const char* ErrorMessage(int32_t code);

 private:
  bool WalkLocalHeaders(ArchiveReader& in);
  bool ReadCentralDirectory(ArchiveReader& in);
  // Notes a local header the walk read at `position` of the file.
  void NoteLocalHeader(int64_t position, const std::string& name);
  // Whether central record `index` (from 0) gives the position of a local
  // header the walk read for the same name (ASCII letter case ignored) that
  // no earlier record gave; marks it as given and returns "". Otherwise
  // what is wrong with the position.
  std::string ClaimLocalHeader(const CentralHeader& header, const std::string& name, size_t index);
  // Sets DirectoryError for the record `index` of its kind (none: the end
  // record) at `position` of the file; false.
  bool Refuse(const char* record, std::optional<size_t> index, int64_t position,
              const std::string* name, const std::string& why);
  void AppendRow(const std::string& name, const LocalHeader& header);
  // The first row whose name equals `name` with ASCII letter case ignored.
  EntryRow* FindRow(const std::string& name);
  // ExtractFile, or CheckFile when `target_folder` is null.
  int32_t Extract(const std::string& name, const std::string* target_folder,
                  const std::string& password);
  // Copies to `target`, or to nowhere when it is null.
  int32_t CopyStored(ArchiveReader& in, HostFile* target, uint32_t count, bool encrypted,
                     uint32_t expected_crc);

  Host& host_;
  // ASCII-folded name -> first row with it; covers the first indexed_rows_.
  std::unordered_map<std::string, size_t> row_index_;
  size_t indexed_rows_ = 0;
  // The local headers of the last walk, by offset from the archive's start.
  struct LocalPlace {
    std::string folded_name;
    std::optional<size_t> claimed_by;  // the central record that gave it
  };
  std::unordered_map<int64_t, LocalPlace> local_places_;
  int64_t archive_start_ = 0;
  std::unique_ptr<uint8_t[]> copy_buffer_;
};

// Why a local header's name field may not be written below a target folder,
// empty when it may. Refused: an empty name; a control character (a zero
// byte, or a line break that would split the php.ini line made from the
// name); ':' (drive letters, alternate data streams); any of <>"|?*; a
// name starting with '\' or '/'; and any component (both '\' and '/'
// separate them) that is made only of dots and blanks with two or more dots
// ("..", "...", ".. " all climb or read as climbing on Windows), that
// Windows opens as a device (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$,
// CONOUT$, in any letter case, alone or followed by blanks or by a dot and
// anything), or that ends in a dot or a blank (Windows drops them, so two
// names would meet in one file). Every host refuses the same names, so one
// package installs the same tree everywhere.
std::string EntryNameFault(const std::string& name_field);
inline bool IsSafeEntryName(const std::string& name_field) {
  return EntryNameFault(name_field).empty();
}

// `name` in double quotes, each control character written as \xNN, for a
// message on one line.
std::string QuotedName(const std::string& name);

// --- Paths, with '\', ':' and '/' as delimiters ----------------------------

// The text before the last delimiter, searched from the end down to the
// second character; empty when there is none.
std::string DirectoryPart(const std::string& s);
// `s` without a last '\' or '/', when it has at least two characters.
std::string StripTrailingSeparator(const std::string& s);
// Something (a file or a folder) exists at the path.
bool PathExists(Host& host, const std::string& path);
bool CreateOneDirectory(Host& host, const std::string& path);
// The folder and its missing parents, top down. A path shorter than three
// characters or an existing one counts as made; an empty one does not.
bool MakeDirectoryPath(Host& host, const std::string& dir);
