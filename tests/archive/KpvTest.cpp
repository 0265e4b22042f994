#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>

#include "ArchiveFixtures.h"
#include "Kpv.h"
#include "support/FakeHost.h"

namespace fs = std::filesystem;

namespace {

struct KpvRun {
  int status;
  std::string out, err;
};

KpvRun Kpv(FakeHost& host, const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = RunKpv(host, args, out, err);
  return {status, out.str(), err.str()};
}

TEST(Kpv, ListPrintsTheSixColumnsThenTheComment) {
  FakeHost host;
  host.AddFile("C:\\pkg\\python.zip", Fixture("PythonStoredComment.zip"));
  host.AddFile("C:\\pkg\\folded.zip", Fixture("TwoNamesOneFold.zip"));
  KpvRun r = Kpv(host, {"list", "C:\\pkg\\python.zip"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "readme.txt\t16\t16\t14:05 02/06/2010\t0\t48EA9350\n"
            "lib/php_articles.dll\t32\t32\t14:05 02/06/2010\t56\t5A1983D\n"
            "Articles 2.3.8 for Corvantis\n");
  r = Kpv(host, {"list", "C:\\pkg\\folded.zip"});
  EXPECT_EQ(r.out,
            "a.txt\t6\t6\t14:05 02/06/2010\t69\t90BEED9A\n"
            "A.TXT\t7\t7\t14:05 02/06/2010\t-\t77A4707E\n"
            "\n");
}

TEST(Kpv, FailuresGiveTheirTextAndStatus) {
  FakeHost host;
  host.AddFile("C:\\pkg\\stored.zip", Fixture("InfoZipStored.zip"));
  host.AddFile("C:\\pkg\\encrypted.zip", Fixture("InfoZipEncrypted.zip"));
  host.AddFile("C:\\pkg\\deflated.zip", Fixture("InfoZipDeflated.zip"));
  host.AddFile("C:\\pkg\\slip.zip", Fixture("UnsafeNamesAreRefused/dotdot.zip"));
  host.AddFile("C:\\pkg\\break.zip", Fixture("UnsafeNamesAreRefused/line_break.zip"));
  // Info-ZIP's archive, Setup.SQL's central offset changed to empty.txt's
  // local header, and to a byte past readme.txt's.
  std::string shared = Fixture("InfoZipStored.zip");
  const size_t setup_sql = FindRecord(shared, kCentralHeaderSignature, 6);
  Patch32(shared, setup_sql + central_header::kLocalHeaderOffset, 378);
  host.AddFile("C:\\pkg\\shared.zip", shared);
  std::string inside = Fixture("InfoZipStored.zip");
  Patch32(inside,
          FindRecord(inside, kCentralHeaderSignature, 1) + central_header::kLocalHeaderOffset, 64);
  host.AddFile("C:\\pkg\\inside.zip", inside);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {{"list", "C:\\pkg\\missing.zip"},
       1,
       "kpv: cannot open C:\\pkg\\missing.zip: The system cannot find the file specified.\n"},
      {{"list", "C:\\pkg\\slip.zip"},
       9,
       "Invalid package!\nkpv: local header 1 at offset 43 names \"../evil.txt\": \"..\" leads "
       "out of the target folder\n"},
      {{"list", "C:\\pkg\\break.zip"},
       9,
       "Invalid package!\nkpv: local header 1 at offset 43 names "
       "\"php_x\\x0Azend_extension=evil.dll\": a control character in the name\n"},
      {{"extract", "C:\\pkg\\slip.zip", "--all", "C:\\out"},
       9,
       "Invalid package!\nkpv: local header 1 at offset 43 names \"../evil.txt\": \"..\" leads "
       "out of the target folder\n"},
      {{"list", "C:\\pkg\\shared.zip"},
       9,
       "Invalid package!\nkpv: central record 6 at offset " + std::to_string(setup_sql) +
           " names \"Setup.SQL\": it points to offset 378, the local header of another name\n"},
      {{"extract", "C:\\pkg\\inside.zip", "--all", "C:\\out"},
       9,
       "Invalid package!\nkpv: central record 1 at offset " +
           std::to_string(FindRecord(inside, kCentralHeaderSignature, 1)) +
           " names \"docs/readme.txt\": it points to offset 64, where the walk found no local "
           "header\n"},
      {{"extract", "C:\\pkg\\stored.zip", "none.txt", "C:\\out"},
       2,
       "none.txt: File not present in Zip file\n"},
      {{"extract", "C:\\pkg\\encrypted.zip", "docs/readme.txt", "C:\\out"},
       8,
       "docs/readme.txt: Invalid password\n"},
      {{"extract", "C:\\pkg\\encrypted.zip", "--all", "C:\\out", "--password", "Secret"},
       8,
       "docs/readme.txt: Invalid password\n"},
      {{"extract", "C:\\pkg\\deflated.zip", "--all", "C:\\out"}, 1, "big.txt: An error occured\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[1]);
    const KpvRun r = Kpv(host, c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err);
  }
  const std::vector<std::vector<std::string>> misuse = {
      {},
      {"list"},
      {"unpack", "a.zip"},
      {"list", "a.zip", "--all"},
      {"extract", "a.zip", "C:\\out"},
      {"extract", "a.zip", "x", "C:\\out", "--password"},
      {"extract", "a.zip", "x", "C:\\out", "--force"},
      {"pack", "dir"},
      {"pack", "dir", "a.zip", "--password", ""},
  };
  for (const auto& args : misuse) EXPECT_EQ(Kpv(host, args).status, kKpvUsage);
  const KpvRun help = Kpv(host, {"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* word : {"list ARCHIVE", "extract ARCHIVE", "--all", "pack DIR", "--password"})
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
}

TEST(Kpv, ExtractMakesTheFolderAndWritesTheEntries) {
  FakeHost host;
  host.AddFile("C:\\pkg\\encrypted.zip", Fixture("InfoZipEncrypted.zip"));
  EXPECT_EQ(Kpv(host, {"extract", "C:\\pkg\\encrypted.zip", "--all", "C:\\out\\new", "--password",
                       "secret"})
                .status,
            0);
  EXPECT_EQ(host.FileContent("C:\\out\\new\\docs\\readme.txt"), "Read me first.\r\n");
  EXPECT_EQ(host.FileContent("C:\\out\\new\\images\\icons\\a.gif").size(), 14u);
  EXPECT_EQ(Kpv(host, {"extract", "C:\\pkg\\encrypted.zip", "IMAGES/ICONS/A.GIF", "C:\\one",
                       "--password", "secret"})
                .status,
            0);
  EXPECT_TRUE(host.HasFile("C:\\one\\images\\icons\\a.gif"));
  EXPECT_FALSE(host.HasFile("C:\\one\\docs\\readme.txt"));
}

// --- With real files and Info-ZIP --------------------------------------------

bool HasTool(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

int Shell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str());
}

struct TempDir {
  TempDir() {
    std::random_device random;
    path = fs::temp_directory_path() / ("kpv-test-" + std::to_string(random()));
    fs::create_directories(path);
  }
  ~TempDir() { fs::remove_all(path); }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
  fs::path path;
};

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// A package tree: text, binary, empty, nested, a blank in a name, and a
// file larger than one copy buffer.
void MakeTree(const fs::path& root) {
  WriteFile(root / "readme.txt", "Read me first.\r\n");
  WriteFile(root / "images/icons/a.gif", std::string("GIF89a\x01\x00\x01\x00\x00\xff\x00,", 14));
  WriteFile(root / "empty.txt", "");
  WriteFile(root / "sql/Setup.SQL", "CREATE TABLE articles (id integer);\n");
  WriteFile(root / "my file.txt", "blank\n");
  std::string big(300000, '\0');
  uint32_t x = 1;
  for (char& c : big) c = static_cast<char>((x = x * 69069u + 1u) >> 24);
  WriteFile(root / "lib/big.bin", big);
}

std::map<std::string, std::string> TreeFiles(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file())
      files[e.path().lexically_relative(root).generic_string()] = ReadBinaryFile(e.path().string());
  return files;
}

TEST(Kpv, PackedArchivesExtractWithInfoZip) {
  if (!HasTool("unzip")) GTEST_SKIP() << "Info-ZIP unzip is not installed";
  TempDir dir;
  MakeTree(dir / "tree");
  FakeHost host;
  for (const std::string password : {"", "s3cret"}) {
    SCOPED_TRACE(password);
    const std::string archive = dir / ("packed" + password + ".zip");
    ASSERT_EQ(Kpv(host, {"pack", dir / "tree", archive, "--password", password}).status,
              password.empty() ? kKpvUsage : 0);
    if (password.empty()) {
      ASSERT_EQ(Kpv(host, {"pack", dir / "tree", archive}).status, 0);
    }
    const std::string key = password.empty() ? "" : " -P " + password;
    EXPECT_EQ(Shell("unzip -tqq" + key + " '" + archive + "'"), 0);
    const std::string out = dir / ("out" + password);
    ASSERT_EQ(Shell("unzip -qq" + key + " -d '" + out + "' '" + archive + "'"), 0);
    EXPECT_TRUE(TreeFiles(out) == TreeFiles(dir.path / "tree"));
  }
}

TEST(Kpv, InfoZipArchivesExtractWithKpv) {
  if (!HasTool("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
  TempDir dir;
  MakeTree(dir / "tree");
  const auto tree = TreeFiles(dir.path / "tree");
  for (const std::string password : {"", "s3cret"}) {
    SCOPED_TRACE(password);
    const std::string archive = dir / ("zipped" + password + ".zip");
    const std::string key = password.empty() ? "" : " -e -P " + password;
    ASSERT_EQ(Shell("cd '" + (dir / "tree") + "' && zip -q -0 -r" + key + " '" + archive + "' ."),
              0);
    FakeHost host;
    host.AddFile("C:\\Data.kpv", ReadBinaryFile(archive));
    ASSERT_EQ(
        Kpv(host, {"extract", "C:\\Data.kpv", "--all", "C:\\out", "--password", "s3cret"}).status,
        0);
    for (const auto& [name, bytes] : tree)
      EXPECT_TRUE(host.FileContent("C:\\out\\" + name) == bytes) << name;
    EXPECT_EQ(host.Files().size(), tree.size() + 1);
  }
}

TEST(Kpv, PackTakesLocalTimesAndLeavesItsOwnArchiveOut) {
  if (!HasTool("touch")) GTEST_SKIP() << "no touch to set a file time";
  TempDir dir;
  WriteFile(dir.path / "a.txt", "a");
  ASSERT_EQ(Shell("touch -t 201006021405.30 '" + (dir / "a.txt") + "'"), 0);
  FakeHost host;
  ASSERT_EQ(Kpv(host, {"pack", dir / "", dir / "self.zip"}).status, 0);
  ASSERT_EQ(Kpv(host, {"pack", dir / "", dir / "self.zip"}).status, 0);  // over the old one
  host.AddFile("C:\\self.zip", ReadBinaryFile(dir / "self.zip"));
  EXPECT_EQ(Kpv(host, {"list", "C:\\self.zip"}).out,
            "a.txt\t1\t1\t14:05 02/06/2010\t0\tE8B7BE43\n\n");
}

}  // namespace
