#pragma once
// Archives made in memory with the package writer, for tests of what the
// installer does with a package's entries.

#include <string>
#include <utility>
#include <vector>

#include "archive/Crc32.h"
#include "archive/ZipWriter.h"

// Stored entries in the order given; a name ending in "/" is a folder entry.
inline std::string MakeArchive(const std::vector<std::pair<std::string, std::string>>& entries,
                               const std::string& password = std::string()) {
  std::string bytes;
  ZipWriter writer([&bytes](const uint8_t* data, size_t size) {
    bytes.append(reinterpret_cast<const char*>(data), size);
    return true;
  });
  const ZipWriter::EncryptionSalt salt = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  for (const auto& [name, data] : entries) {
    ZipWriter::Entry entry;
    entry.name = name;
    entry.size = static_cast<uint32_t>(data.size());
    entry.crc32 = Crc32(0, data.data(), data.size());
    entry.modified = ToDosDateTime(2010, 5, 31, 2, 3, 8);
    writer.BeginEntry(entry, password, salt);
    writer.AddData(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    writer.EndEntry();
  }
  writer.Finish(std::string());
  return bytes;
}

// `bytes` with every occurrence of `from` replaced by `to`, as long: an
// entry name the writer refuses to store, put in place after writing.
inline std::string RenameEntry(std::string bytes, const std::string& from, const std::string& to) {
  for (size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + 1))
    bytes.replace(at, from.size(), to);
  return bytes;
}
