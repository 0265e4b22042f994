// The peer corpus: archives from other projects' test suites, with a
// manifest saying what this reader should make of each.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>

#include "ArchiveFixtures.h"
#include "archive/Tzipfile.h"
#include "support/FakeHost.h"

namespace {

struct ManifestRow {
  std::string file, entries, password, expected;
};

std::vector<ManifestRow> LoadManifest(const std::string& dir) {
  std::vector<ManifestRow> rows;
  std::istringstream lines(ReadBinaryFile(dir + "/MANIFEST.tsv"));
  std::string line;
  std::getline(lines, line);  // column names
  while (std::getline(lines, line)) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    if (f.size() >= 6) rows.push_back({f[0], f[3], f[4], f[5]});
  }
  return rows;
}

// The manifest's entry list, "name;method;... | name;...": how many are
// files (not folders); -1 when the list is cut short.
int FileEntryCount(const std::string& entries) {
  if (entries.empty()) return 0;
  if (entries.size() >= 3 && entries.compare(entries.size() - 3, 3, "...") == 0) return -1;
  int count = 0;
  for (size_t at = 0;;) {
    const size_t next = entries.find(" | ", at);
    const std::string item = entries.substr(at, next == std::string::npos ? next : next - at);
    const std::string name = item.substr(0, item.find(';'));
    if (name.empty() || (name.back() != '/' && name.back() != '\\')) ++count;
    if (next == std::string::npos) return count;
    at = next + 3;
  }
}

// The part of the expectation in the first pair of single quotes: a result text.
std::string QuotedText(const std::string& s) {
  const size_t a = s.find('\'');
  const size_t b = a == std::string::npos ? a : s.find('\'', a + 1);
  return b == std::string::npos ? std::string() : s.substr(a + 1, b - a - 1);
}

// Passwords the manifest leaves out (both archives take "a", as unzip -t shows).
std::string KnownPassword(const std::string& file) {
  if (file == "yauzl/s-traditional-encryption.zip" ||
      file == "yauzl/f-strong_encryption_is_not_supported.zip")
    return "a";
  return std::string();
}

TEST(PeerCorpus, EachArchiveReadsAsItsManifestSays) {
  const std::string dir = PEER_CORPUS_DIR;
  if (dir.empty() || ReadBinaryFile(dir + "/MANIFEST.tsv").empty())
    GTEST_SKIP() << "no peer corpus at '" << dir << "' (set CORVANTIS_PEER_CORPUS)";
  const std::vector<ManifestRow> rows = LoadManifest(dir);
  ASSERT_GT(rows.size(), 100u);
  for (const ManifestRow& m : rows) {
    SCOPED_TRACE(m.file + ": " + m.expected);
    std::string kind = m.expected.substr(0, m.expected.find(':'));
    // This reader refuses names that lead outside the target folder or hold
    // a zero byte; a backslash separator alone is fine.
    const size_t unsafe = m.expected.find("[UNSAFE PATH");
    if (unsafe != std::string::npos &&
        (m.expected.find("'..' component", unsafe) != std::string::npos ||
         m.expected.find("Windows-invalid character", unsafe) != std::string::npos))
      kind = "invalid-package";

    FakeHost host;
    const std::string package = "C:\\Setup\\Data.kpv";
    host.AddFile(package, ReadBinaryFile(dir + "/" + m.file));
    TZipFile zip(host, package);
    const bool read = zip.ReadDirectory(host.OpenFileForRead(package, kShareRead).get());
    // The walk needs one local header: an archive of the end record alone is
    // no package either.
    if (kind == "invalid-package" || kind == "empty-archive") {
      EXPECT_FALSE(read);
      continue;
    }
    EXPECT_TRUE(read);
    if (!read) continue;
    const std::vector<EntryRow>& entries = zip.Directory->Entries;
    // The manifest lists what another reader saw; where it notes damage
    // the walk does not see, that list may differ from the walk's.
    const int count = FileEntryCount(m.entries);
    if (count >= 0 && m.expected.find("NOT CAUGHT BY THE WALK") == std::string::npos) {
      EXPECT_EQ(entries.size(), static_cast<size_t>(count));
    }
    const std::string password = m.password.empty() ? KnownPassword(m.file) : m.password;
    size_t extracted = 0;
    std::set<int32_t> failures;
    // Each entry into a folder of its own: a file and a folder of one name
    // ("def" and "def/foo") cannot share one.
    for (const EntryRow& row : entries) {
      const std::string folder = "C:\\Out\\" + std::to_string(&row - entries.data());
      host.AddFolder(folder);
      const int32_t result = zip.ExtractFile(*row[kColumnName], folder, password);
      if (result == kZipOk) {
        ++extracted;
      } else {
        failures.insert(result);
      }
    }
    EXPECT_EQ(host.open_files(), 0);
    if (kind == "list-ok-extract-all" || kind == "list-ok-extract-all-with-password") {
      EXPECT_EQ(extracted, entries.size()) << "first failure " << *failures.begin();
    } else if (kind == "list-ok-extract-none") {
      EXPECT_EQ(extracted, 0u);
    } else {
      // "N/M entries extract", folder entries counted among both.
      EXPECT_EQ(kind, "list-ok-extract-partial");
      int n = 0, total = 0;
      EXPECT_EQ(std::sscanf(m.expected.c_str() + kind.size() + 1, " %d/%d", &n, &total), 2);
      EXPECT_EQ(entries.size() - extracted, static_cast<size_t>(total - n));
    }
    // The failures say what the manifest says: its quoted text, or for
    // strong encryption and damaged data a refused password or a bad read.
    const std::string text = QuotedText(m.expected);
    // An encrypted entry is refused for its password before its method is
    // looked at: where the manifest gives the method's text, an encrypted
    // archive may say "Invalid password" instead.
    const bool method_text = text == "Invalid compression method" || text == "An error occured";
    for (const int32_t result : failures) {
      if (result == kZipBadPassword && method_text && zip.HasEncryptedEntries) continue;
      if (!text.empty()) {
        EXPECT_EQ(TZipFile::ErrorMessage(result), text);
      } else {
        EXPECT_TRUE(result == kZipCannotRead || result == kZipBadPassword) << result;
      }
    }
    if (kind == "list-ok-extract-all-with-password") {
      for (const EntryRow& row : entries)
        EXPECT_EQ(zip.ExtractFile(*row[kColumnName], "C:\\Out", password + "x"), kZipBadPassword);
    }
  }
}

}  // namespace
