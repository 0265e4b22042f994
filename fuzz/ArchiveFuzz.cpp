// The package reader on any bytes, as the installer uses it: ReadDirectory
// on the whole input, then ExtractFile of every listed entry into a folder
// of its own, on the in-memory host. Every handle is closed after each
// call, every result is one of the codes, nothing is written outside the
// output folders, and no more bytes are written than the input holds (each
// local header's data is written under one name at most).
#include <memory>

#include "FuzzCheck.h"
#include "archive/Tzipfile.h"
#include "platform/Text.h"
#include "support/FakeHost.h"

namespace {

const char kPackage[] = "C:\\Setup\\Data.kpv";
const char kOutput[] = "C:\\Out";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FakeHost host;
  host.AddFile(kPackage, FuzzInput(data, size));
  host.AddFolder(kOutput);
  {
    TZipFile zip(host, kPackage);
    bool read = false;
    {
      const std::unique_ptr<HostFile> file = host.OpenFileForRead(kPackage, kShareRead);
      read = zip.ReadDirectory(file.get());
    }
    FUZZ_CHECK(host.open_files() == 0);
    if (read) {
      const std::vector<EntryRow>& entries = zip.Directory->Entries;
      for (size_t i = 0; i < entries.size(); ++i) {
        FUZZ_CHECK(entries[i][kColumnName].has_value());
        const std::string name = *entries[i][kColumnName];
        const std::string folder = std::string(kOutput) + "\\" + std::to_string(i);
        host.AddFolder(folder);
        int32_t result = zip.ExtractFile(name, folder, "");
        // An encrypted entry: once more with a password, so the decryption
        // runs too (a wrong one is refused or fails its CRC-32).
        if (result == kZipBadPassword) result = zip.ExtractFile(name, folder, "secret");
        FUZZ_CHECK(result >= kZipOk && result <= kZipBadPassword);
        FUZZ_CHECK(host.open_files() == 0);
      }
    }
  }
  const std::string output = AsciiLowerCase(std::string(kOutput) + "\\");
  size_t written = 0;
  for (const std::string& file : host.Files()) {
    FUZZ_CHECK(file == AsciiLowerCase(kPackage) || StartsWith(file, output));
    if (file != AsciiLowerCase(kPackage)) written += host.FileContent(file).size();
  }
  FUZZ_CHECK(written <= size);
  return 0;
}
