#include "Kpv.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>

#include "archive/Tzipfile.h"
#include "archive/ZipWriter.h"

namespace fs = std::filesystem;

namespace {

constexpr char kUsage[] =
    "Usage:\n"
    "  kpv list ARCHIVE\n"
    "  kpv extract ARCHIVE NAME DIR [--password P]\n"
    "  kpv extract ARCHIVE --all DIR [--password P]\n"
    "  kpv pack DIR ARCHIVE [--password P]\n"
    "  kpv --help\n"
    "\n"
    "list     Reads the archive as the installer does and prints one line per file\n"
    "         entry: name, compressed size, uncompressed size, modification time\n"
    "         (hh:mm dd/mm/yyyy), local header offset and CRC-32 (hexadecimal),\n"
    "         separated by tabs, '-' for a value the archive does not give. The\n"
    "         archive comment follows on the last line. When the installer would\n"
    "         refuse the package for an entry's name, it says which and why.\n"
    "extract  Writes the entry NAME (letter case ignored), or with --all every\n"
    "         entry in archive order, below DIR, making DIR with its parents and\n"
    "         the folders the names hold. Encrypted entries need --password. On\n"
    "         the first failure it prints the entry and the installer's text for\n"
    "         it and exits with the result code:\n"
    "           1 An error occured (archive not opened, or compressed entry)\n"
    "           2 File not present in Zip file\n"
    "           3 Could not read local file header\n"
    "           4 Could not create target\n"
    "           5 Could not write to target\n"
    "           6 Could not read from Zip file (cut short, or a CRC-32 mismatch)\n"
    "           7 Invalid compression method\n"
    "           8 Invalid password (missing or wrong)\n"
    "pack     Writes every file below DIR as a stored entry named by its path\n"
    "         relative to DIR with '/' between folders, in name order, with its\n"
    "         modification time (local time) and CRC-32. With --password each\n"
    "         entry is under traditional ZIP encryption.\n"
    "\n"
    "Exit status: 0 on success; the result code for extract; 1 when the\n"
    "archive cannot be opened or pack fails; 9 for an archive the installer\n"
    "would refuse (\"Invalid package!\", followed by the record at fault:\n"
    "which, at which offset, and what was wrong); 64 for a usage error.\n";

struct Arguments {
  std::vector<std::string> positional;
  std::optional<std::string> password;
  bool all = false;
};

// Splits off --password P and --all; false on an unknown option.
bool ParseArguments(const std::vector<std::string>& args, Arguments* parsed, std::ostream& err) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--password") {
      if (i + 1 == args.size()) {
        err << "kpv: --password needs a value\n";
        return false;
      }
      parsed->password = args[++i];
    } else if (a == "--all") {
      parsed->all = true;
    } else if (a.size() > 1 && a[0] == '-' && a != "--") {
      err << "kpv: unknown option " << a << "\n";
      return false;
    } else {
      parsed->positional.push_back(a);
    }
  }
  return true;
}

int Usage(std::ostream& err) {
  err << kUsage;
  return kKpvUsage;
}

// A name between double quotes, its control characters written as \xNN, so
// a name that holds a line break stays on one line.
// Opens and reads the archive as the installer does.
int ReadPackage(Host& host, const std::string& native_path, TZipFile* zip, std::ostream& err) {
  const std::unique_ptr<HostFile> file = host.OpenFileForRead(zip->ArchiveName, kShareRead);
  if (file == nullptr) {
    err << "kpv: cannot open " << native_path << ": " << host.LastError().reason << "\n";
    return kZipError;
  }
  if (!zip->ReadDirectory(file.get())) {
    // The installer's own message, then the record at fault and why.
    err << "Invalid package!\n";
    if (!zip->DirectoryError.empty()) err << "kpv: " << zip->DirectoryError << "\n";
    return kKpvInvalidPackage;
  }
  return 0;
}

int List(Host& host, const Arguments& a, std::ostream& out, std::ostream& err) {
  if (a.positional.size() != 1 || a.all || a.password) return Usage(err);
  TZipFile zip(host, host.FromNativePath(a.positional[0]));
  if (const int status = ReadPackage(host, a.positional[0], &zip, err)) return status;
  std::string line;
  for (const EntryRow& row : zip.Directory->Entries) {
    line.clear();
    for (size_t c = 0; c < kEntryColumns; ++c) {
      if (c > 0) line += '\t';
      line += row[c].value_or("-");
    }
    line += '\n';
    out << line;
  }
  out << zip.Directory->Comment.value_or("") << "\n";
  return 0;
}

int Extract(Host& host, const Arguments& a, std::ostream& err) {
  const size_t expected = a.all ? 2 : 3;
  if (a.positional.size() != expected) return Usage(err);
  TZipFile zip(host, host.FromNativePath(a.positional[0]));
  if (const int status = ReadPackage(host, a.positional[0], &zip, err)) return status;
  const std::string folder = host.FromNativePath(a.positional.back());
  MakeDirectoryPath(host, folder);
  std::vector<std::string> names;
  if (a.all) {
    for (const EntryRow& row : zip.Directory->Entries) names.push_back(*row[kColumnName]);
  } else {
    names.push_back(a.positional[1]);
  }
  const std::string password = a.password.value_or("");
  for (const std::string& name : names) {
    const int32_t result = zip.ExtractFile(name, folder, password);
    if (result != kZipOk) {
      err << name << ": " << TZipFile::ErrorMessage(result) << "\n";
      return result;
    }
  }
  return 0;
}

// --- pack --------------------------------------------------------------------

DosDateTime ModificationTime(const fs::path& path) {
  std::error_code ec;
  const fs::file_time_type written = fs::last_write_time(path, ec);
  if (ec) return ToDosDateTime(1980, 1, 1, 0, 0, 0);
  // The file clock's epoch is unspecified in C++17: go through "now".
  const auto system_time = std::chrono::system_clock::now() +
                           std::chrono::duration_cast<std::chrono::system_clock::duration>(
                               written - fs::file_time_type::clock::now());
  const std::time_t t = std::chrono::system_clock::to_time_t(system_time);
  const std::tm* local = std::localtime(&t);
  if (local == nullptr) return ToDosDateTime(1980, 1, 1, 0, 0, 0);
  return ToDosDateTime(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday, local->tm_hour,
                       local->tm_min, local->tm_sec);
}

// Calls `take` with the file's bytes in chunks; false when it cannot be read.
template <typename Take>
bool ReadChunks(const fs::path& path, std::vector<char>& buffer, Take take) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const std::streamsize got = in.gcount();
    if (got > 0 && !take(reinterpret_cast<const uint8_t*>(buffer.data()), static_cast<size_t>(got)))
      return false;
  }
  return in.eof();
}

struct PackFile {
  std::string name;  // relative, '/' between folders
  fs::path path;
};

bool CollectFiles(const fs::path& root, const fs::path& archive, std::vector<PackFile>* files,
                  std::ostream& err) {
  std::error_code ec;
  const fs::path archive_path = fs::weakly_canonical(archive, ec);
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    if (fs::weakly_canonical(it->path(), ec) == archive_path) continue;
    files->push_back({it->path().lexically_relative(root).generic_string(), it->path()});
  }
  if (ec) {
    err << "kpv: cannot read " << root.string() << ": " << ec.message() << "\n";
    return false;
  }
  std::sort(files->begin(), files->end(),
            [](const PackFile& x, const PackFile& y) { return x.name < y.name; });
  return true;
}

int Pack(const Arguments& a, std::ostream& err) {
  if (a.positional.size() != 2 || a.all) return Usage(err);
  if (a.password && a.password->empty()) {
    err << "kpv: the password must not be empty\n";
    return kKpvUsage;
  }
  const fs::path root = a.positional[0];
  const fs::path archive_path = a.positional[1];
  if (!fs::is_directory(root)) {
    err << "kpv: not a folder: " << root.string() << "\n";
    return kZipError;
  }
  std::vector<PackFile> files;
  if (!CollectFiles(root, archive_path, &files, err)) return kZipError;

  std::ofstream archive(archive_path, std::ios::binary | std::ios::trunc);
  if (!archive) {
    err << "kpv: cannot create " << archive_path.string() << "\n";
    return kZipError;
  }
  ZipWriter writer([&archive](const uint8_t* data, size_t size) {
    archive.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(archive);
  });
  const std::string password = a.password.value_or("");
  std::random_device random;
  std::vector<char> buffer(256 * 1024);
  const auto fail = [&](const std::string& why) {
    err << "kpv: " << why << "\n";
    archive.close();
    std::error_code ignored;
    fs::remove(archive_path, ignored);
    return kZipError;
  };
  for (const PackFile& file : files) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(file.path, ec);
    if (ec || size > 0xFFFFFFFFu) return fail("cannot store " + file.path.string());
    ZipWriter::Entry entry;
    entry.name = file.name;
    entry.size = static_cast<uint32_t>(size);
    entry.modified = ModificationTime(file.path);
    uint64_t counted = 0;
    const bool read = ReadChunks(file.path, buffer, [&](const uint8_t* data, size_t n) {
      entry.crc32 = Crc32(entry.crc32, data, n);
      counted += n;
      return true;
    });
    if (!read || counted != size) return fail("cannot read " + file.path.string());
    ZipWriter::EncryptionSalt salt;
    for (uint8_t& b : salt) b = static_cast<uint8_t>(random());
    if (!writer.BeginEntry(entry, password, salt) ||
        !ReadChunks(file.path, buffer,
                    [&](const uint8_t* data, size_t n) { return writer.AddData(data, n); }) ||
        !writer.EndEntry())
      return fail(writer.Error().empty() ? "cannot read " + file.path.string() : writer.Error());
  }
  if (!writer.Finish("")) return fail(writer.Error());
  archive.close();
  if (!archive) return fail("cannot write " + archive_path.string());
  return 0;
}

}  // namespace

int RunKpv(Host& host, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return Usage(err);
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return 0;
  }
  Arguments parsed;
  if (!ParseArguments(args, &parsed, err)) return kKpvUsage;
  if (command == "list") return List(host, parsed, out, err);
  if (command == "extract") return Extract(host, parsed, err);
  if (command == "pack") return Pack(parsed, err);
  err << "kpv: unknown command " << command << "\n";
  return Usage(err);
}
