#include <gtest/gtest.h>

#include <functional>

#include "ArchiveFixtures.h"
#include "archive/Tzipfile.h"
#include "archive/ZipWriter.h"
#include "platform/Text.h"
#include "support/FakeHost.h"

namespace {

const std::string kPackage = "C:\\Setup\\Data.kpv";
const std::string kTarget = "C:\\Intranet";

class TzipfileTest : public ::testing::Test {
 protected:
  // Puts `bytes` where the package lies and reads its directory.
  bool Read(const std::string& bytes) {
    host->AddFile(kPackage, bytes);
    host->AddFolder(kTarget);  // the installer makes it before extracting
    zip = std::make_unique<TZipFile>(*host, kPackage);
    const std::unique_ptr<HostFile> file = host->OpenFileForRead(kPackage, kShareRead);
    return zip->ReadDirectory(file.get());
  }
  const EntryRow& Row(size_t i) const { return zip->Directory->Entries.at(i); }
  size_t Rows() const { return zip->Directory->Entries.size(); }

  // A new machine, for the next case of a table.
  void Reset() {
    zip.reset();
    owned = std::make_unique<FakeHost>();
    host = owned.get();
  }

  std::unique_ptr<FakeHost> owned = std::make_unique<FakeHost>();
  FakeHost* host = owned.get();
  std::unique_ptr<TZipFile> zip;
};

// An archive written by ZipWriter, for cases no tool writes.
std::string Written(const std::vector<std::pair<std::string, std::string>>& files,
                    const std::string& password = "") {
  std::string bytes;
  ZipWriter writer([&bytes](const uint8_t* data, size_t size) {
    bytes.append(reinterpret_cast<const char*>(data), size);
    return true;
  });
  for (const auto& [name, data] : files) {
    ZipWriter::Entry entry{name, static_cast<uint32_t>(data.size()),
                           Crc32(0, data.data(), data.size()), ToDosDateTime(2010, 6, 2, 14, 5, 0)};
    const auto* p = reinterpret_cast<const uint8_t*>(data.data());
    EXPECT_TRUE(writer.BeginEntry(entry, password, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}) &&
                writer.AddData(p, data.size()) && writer.EndEntry())
        << writer.Error();
  }
  EXPECT_TRUE(writer.Finish("")) << writer.Error();
  return bytes;
}

TEST_F(TzipfileTest, ListingColumnsComeFromTheLocalHeaders) {
  // Info-ZIP zip -0 -r, folder entries included, with a comment.
  ASSERT_TRUE(Read(Fixture("InfoZipStored.zip")));
  const std::vector<std::array<const char*, 6>> expected = {
      {"docs/readme.txt", "16", "16", "14:05 02/06/2010", "63", "48EA9350"},
      {"images/icons/a.gif", "14", "14", "14:05 02/06/2010", "288", "D668B0DC"},
      {"empty.txt", "0", "0", "14:05 02/06/2010", "378", "0"},
      {"Setup.SQL", "36", "36", "14:05 02/06/2010", "445", "41E734F4"},
  };
  ASSERT_EQ(Rows(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i)
    for (size_t c = 0; c < kEntryColumns; ++c) {
      SCOPED_TRACE(testing::Message() << "row " << i << " column " << c);
      EXPECT_EQ(Row(i)[c], std::optional<std::string>(expected[i][c]));
    }
  EXPECT_EQ(zip->Directory->Comment, "Articles 2.3.8");
  EXPECT_FALSE(zip->HasEncryptedEntries);
}

// The local signature 0x50000000 reads as a local header; the comment ends
// at its first zero byte; with an archive that lies after other bytes,
// BaseOffset moves every entry's offset by their length.
TEST_F(TzipfileTest, OddSignatureCommentAndBaseOffset) {
  std::string bytes = Written({{"a.txt", "hello"}, {"b.txt", "world"}});
  Patch32(bytes, 0, 0x50000000u);
  ASSERT_TRUE(Read(bytes));
  ASSERT_EQ(zip->ExtractFile("a.txt", kTarget, ""), kZipOk);
  EXPECT_EQ(host->FileContent(kTarget + "\\a.txt"), "hello");

  std::string commented = Fixture("PythonStoredComment.zip");
  const size_t comment = commented.rfind("Articles 2.3.8 for Corvantis");
  ASSERT_NE(comment, std::string::npos);
  commented[comment + 14] = '\0';
  ASSERT_TRUE(Read(commented));
  EXPECT_EQ(zip->Directory->Comment, "Articles 2.3.8");

  const std::string before(100, 'x');
  host->AddFile(kPackage, before + Written({{"a.txt", "hello"}, {"b.txt", "world"}}));
  zip = std::make_unique<TZipFile>(*host, kPackage);
  {
    const std::unique_ptr<HostFile> file = host->OpenFileForRead(kPackage, kShareRead);
    ASSERT_EQ(file->Seek(100, SeekOrigin::kBegin), 100);
    ASSERT_TRUE(zip->ReadDirectory(file.get()));
  }
  zip->BaseOffset = 100;
  ASSERT_EQ(zip->ExtractFile("b.txt", kTarget, ""), kZipOk);
  EXPECT_EQ(host->FileContent(kTarget + "\\b.txt"), "world");
}

TEST_F(TzipfileTest, ColumnsShowTheFieldValuesAsStored) {
  // Python zipfile, stored; the first local header patched.
  struct Case {
    size_t field;
    uint32_t value;
    bool wide;
    size_t column;
    const char* text;
  };
  namespace f = local_header;
  const Case cases[] = {
      {f::kModTime, 0x70A0, false, kColumnModified, "14:05 02/06/2010"},
      {f::kModDate, 0x3CC2, false, kColumnModified, "14:05 02/06/2010"},
      {f::kModTime, 0, false, kColumnModified, "00:00 02/06/2010"},
      {f::kModTime, 0xFFFF, false, kColumnModified, "31:63 02/06/2010"},
      {f::kModDate, 0, false, kColumnModified, "14:05 00/00/1980"},
      {f::kModDate, 0xFFFF, false, kColumnModified, "14:05 31/15/2107"},
      {f::kCrc32, 0x0000ABCD, true, kColumnCrc, "ABCD"},
      {f::kUncompressedSize, 0x80000000u, true, kColumnUncompressedSize, "-2147483648"},
      {f::kUncompressedSize, 0xFFFFFFFFu, true, kColumnUncompressedSize, "-1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string bytes = Fixture("PythonStoredComment.zip");
    if (c.wide) {
      Patch32(bytes, c.field, c.value);
    } else {
      Patch16(bytes, c.field, static_cast<uint16_t>(c.value));
    }
    ASSERT_TRUE(Read(bytes));
    EXPECT_EQ(Row(0)[c.column], c.text);
  }
  // A compressed size from 2^31 up shows negative; stepping over it runs off
  // the end, and the row stays.
  std::string bytes = Fixture("PythonStoredComment.zip");
  Patch32(bytes, f::kCompressedSize, 0x80000000u);
  EXPECT_FALSE(Read(bytes));
  ASSERT_EQ(Rows(), 1u);
  EXPECT_EQ(Row(0)[kColumnCompressedSize], "-2147483648");
  EXPECT_EQ(Row(0)[kColumnOffset], std::nullopt);
}

TEST_F(TzipfileTest, FolderEntriesGetNoRowButCountForEncryption) {
  std::string bytes = Fixture("InfoZipStored.zip");  // "docs/" comes first
  Patch16(bytes, local_header::kFlags, kFlagEncrypted);
  ASSERT_TRUE(Read(bytes));
  EXPECT_EQ(Rows(), 4u);
  EXPECT_TRUE(zip->HasEncryptedEntries);

  ASSERT_TRUE(Read(Written({{"docs/", ""}, {"images\\", ""}})));
  EXPECT_EQ(Rows(), 0u);
  EXPECT_EQ(zip->Directory->Comment, "");
}

TEST_F(TzipfileTest, CentralRecordsFindTheirRowIgnoringAsciiCase) {
  // Info-ZIP's readme.txt, its central name altered to README.TXT.
  ASSERT_TRUE(Read(Fixture("CaseFoldedCentralName.zip")));
  ASSERT_EQ(Rows(), 1u);
  EXPECT_EQ(Row(0)[kColumnName], "readme.txt");
  EXPECT_EQ(Row(0)[kColumnOffset], "0");

  // Only ASCII letters fold: a central name that differs in another byte
  // names no listed entry.
  std::string bytes = Fixture("CaseFoldedCentralName.zip");
  bytes[FindRecord(bytes, kCentralHeaderSignature) + central_header::kSize] = '\xD2';
  EXPECT_FALSE(Read(bytes));
}

TEST_F(TzipfileTest, NamesThatFoldAlikeShareTheFirstRow) {
  // Info-ZIP zip -0 of a.txt ("lower\n") and A.TXT ("UPPER!\n").
  ASSERT_TRUE(Read(Fixture("TwoNamesOneFold.zip")));
  ASSERT_EQ(Rows(), 2u);
  EXPECT_EQ(Row(0)[kColumnOffset], "69");  // the later record's offset replaced the first
  EXPECT_EQ(Row(1)[kColumnOffset], std::nullopt);
  EXPECT_EQ(zip->ExtractFile("a.txt", kTarget, ""), kZipOk);
  EXPECT_EQ(host->FileContent(kTarget + "\\a.txt"), "UPPER!\n");
}

TEST_F(TzipfileTest, DataDescriptorsAreSteppedOverOnlyWithTheirSignature) {
  struct Case {
    const char* fixture;
    bool valid;
  };
  const Case cases[] = {
      {"BsdtarStored.zip", true},      // bsdtar: bit 3, local CRC 0, sizes set, signed descriptors
      {"InfoZipEncrypted.zip", true},  // zip -e: bit 3 with signed descriptors
      {"BsdtarDescriptorWithoutSignature.zip", false},  // the first signature cut out
      {"PythonStreamed.zip", false},  // sizes only in the descriptor: the walk lands in the data
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    EXPECT_EQ(Read(Fixture(c.fixture)), c.valid);
  }
  // The CRC-32 check of a bit-3 entry uses the central record's.
  ASSERT_TRUE(Read(Fixture("BsdtarStored.zip")));
  EXPECT_EQ(Row(0)[kColumnCrc], "0");
  EXPECT_EQ(zip->ExtractFile("docs/readme.txt", kTarget, ""), kZipOk);
  EXPECT_EQ(host->FileContent(kTarget + "\\docs\\readme.txt"), "Read me first.\r\n");
}

TEST_F(TzipfileTest, TruncatedAndForeignFilesAreInvalid) {
  const std::string whole = Fixture("InfoZipStored.zip");
  for (size_t size = 0; size < whole.size(); ++size) {
    SCOPED_TRACE(size);
    EXPECT_FALSE(Read(whole.substr(0, size)));
    const size_t at = zip->DirectoryError.find(" at offset ");
    ASSERT_NE(at, std::string::npos) << zip->DirectoryError;
    // The record blamed starts inside the file.
    EXPECT_LE(std::stoul(zip->DirectoryError.substr(at + 11)), size) << zip->DirectoryError;
  }
  const size_t end = FindRecord(whole, kEndRecordSignature);
  int centrals = 0;
  while (FindRecord(whole, kCentralHeaderSignature, centrals) != std::string::npos) ++centrals;
  const std::string at_end =
      "central record " + std::to_string(centrals) + " at offset " + std::to_string(end) + ": ";
  std::string no_end = whole;
  no_end.replace(end, 4, "PK\x05\x07");
  std::string unlisted = Fixture("PythonStoredComment.zip");  // a central name no header has
  const size_t unlisted_central = FindRecord(unlisted, kCentralHeaderSignature);
  unlisted.replace(unlisted_central + central_header::kSize, 10, "readme.txx");
  const size_t second = FindRecord(whole, kLocalHeaderSignature, 1);
  const auto field = [&](size_t at) {
    return Get16(reinterpret_cast<const uint8_t*>(whole.data()) + second + at);
  };
  const size_t second_data = second + local_header::kSize + field(local_header::kNameLength) +
                             field(local_header::kExtraLength);
  const struct {
    std::string bytes;
    std::string error;
  } others[] = {
      {whole.substr(0, second_data + 1), "local header 1 at offset " + std::to_string(second) +
                                             " names \"docs/readme.txt\": the file ends inside "
                                             "its data"},
      {"This is not an archive.\n", "local header 0 at offset 0: no local header starts there"},
      {"MZ\x90" + std::string(61, '\0') + whole,  // data before the first header
       "local header 0 at offset 0: no local header starts there"},
      {whole.substr(end), "local header 0 at offset 0: no local header starts there"},
      {whole.substr(0, 20), "local header 0 at offset 0: the file ends inside it"},
      {whole.substr(0, end + 3), at_end + "the file ends inside it"},
      {no_end, at_end + "neither a central record nor the end record starts there"},
      {whole.substr(0, end + 10),
       "end record at offset " + std::to_string(end) + ": the file ends inside it"},
      {unlisted, "central record 0 at offset " + std::to_string(unlisted_central) +
                     " names \"readme.txx\": it points to offset 0, the local header of "
                     "another name"},
  };
  for (const auto& c : others) {
    SCOPED_TRACE(c.error);
    EXPECT_FALSE(Read(c.bytes));
    EXPECT_EQ(zip->DirectoryError, c.error);
  }
  zip = std::make_unique<TZipFile>(*host, kPackage);
  EXPECT_FALSE(zip->ReadDirectory(nullptr));
}

// Each central offset must be the position of a local header the walk
// read for that name, and no two records may give the same one: otherwise
// names would share, or reach into, another entry's data.
TEST_F(TzipfileTest, CentralOffsetsAreTheWalkedHeadersOfTheirNamesOnce) {
  const std::string two = Written({{"a.txt", "aaa"}, {"b.txt", "<?php evil();"}});
  const size_t central_b = FindRecord(two, kCentralHeaderSignature, 1);
  const size_t local_b = FindRecord(two, kLocalHeaderSignature, 1);
  std::string other = two;
  Patch32(other, central_b + central_header::kLocalHeaderOffset, 0);
  std::string inside = two;
  Patch32(inside, central_b + central_header::kLocalHeaderOffset,
          static_cast<uint32_t>(local_b + 1));
  // b.txt's central record once more, before the end record.
  std::string twice = two;
  const size_t end = FindRecord(two, kEndRecordSignature);
  twice.insert(end, two.substr(central_b, end - central_b));
  // A local header of b.txt hidden in the data of an entry of that name.
  const std::string hidden_header = two.substr(local_b, local_header::kSize + 5);
  std::string hidden = Written({{"b.txt", hidden_header + "<?php evil();"}});
  Patch32(hidden, FindRecord(hidden, kCentralHeaderSignature) + central_header::kLocalHeaderOffset,
          local_header::kSize + 5);
  struct Case {
    const char* what;
    std::string bytes;
    std::string error;
  };
  const Case cases[] = {
      {"another entry's header", other,
       "central record 1 at offset " + std::to_string(central_b) +
           " names \"b.txt\": it points to offset 0, the local header of another name"},
      {"inside a header", inside,
       "central record 1 at offset " + std::to_string(central_b) +
           " names \"b.txt\": it points to offset " + std::to_string(local_b + 1) +
           ", where the walk found no local header"},
      {"one header twice", twice,
       "central record 2 at offset " + std::to_string(end) +
           " names \"b.txt\": it points to offset " + std::to_string(local_b) +
           ", which central record 1 gave already"},
      {"a header inside the data", hidden,
       "central record 0 at offset " + std::to_string(FindRecord(hidden, kCentralHeaderSignature)) +
           " names \"b.txt\": it points to offset 35, where the walk found no local header"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(Read(c.bytes));
    EXPECT_EQ(zip->DirectoryError, c.error);
    Reset();
  }
  ASSERT_TRUE(Read(two));
  EXPECT_EQ(zip->DirectoryError, "");
}

TEST_F(TzipfileTest, UnsafeNamesAreRefused) {
  // Python zipfile archives of good.txt and one name each (see the README).
  const char* names[] = {"dotdot",      "dotdot_inner",   "dotdot_backslash",
                         "dotdot_last", "three_dots",     "dotdot_blank",
                         "slash",       "backslash",      "unc",
                         "drive",       "drive_relative", "stream",
                         "empty",       "zero_byte",      "line_break",
                         "tab",         "blank_dot"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(Read(Fixture(std::string("UnsafeNamesAreRefused/") + name + ".zip")));
    ASSERT_TRUE(zip->RefusedName.has_value());
    EXPECT_FALSE(zip->RefusedName->reason.empty());
    Reset();
  }
}

// A ZipWriter archive whose entry `from` is renamed `to` (as long) in both
// of its headers: a name the writer itself refuses to store.
std::string Renamed(const std::string& from, const std::string& to) {
  std::string bytes = Written({{"good.txt", "good\n"}, {from, "evil\n"}});
  for (size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + 1))
    bytes.replace(at, from.size(), to);
  return bytes;
}

TEST_F(TzipfileTest, NamesWindowsCannotHoldAreRefusedOnEveryHost) {
  // On Windows these would write to a device, or lose a trailing dot or
  // blank and overwrite another file; elsewhere they are ordinary names.
  const char* names[] = {"AUX.php", "articles/com1/x.php", "nul ", "index.php.",
                         "a|b.txt", "docs. /readme.txt"};
  for (const std::string name : names) {
    SCOPED_TRACE(name);
    const std::string stand_in = std::string(name.size() - 1, 'x') + "y";
    EXPECT_FALSE(Read(Renamed(stand_in, name)));
    ASSERT_EQ(Rows(), 1u);  // good.txt, before it
    ASSERT_TRUE(zip->RefusedName.has_value());
    EXPECT_EQ(zip->RefusedName->name, name);
    EXPECT_EQ(zip->RefusedName->reason, EntryNameFault(name));
    Reset();
  }
}

TEST(TzipfileNames, EntryNameFaultSaysWhy) {
  struct Case {
    std::string name;
    std::string fault;  // empty: the name may be written
  };
  const Case cases[] = {
      {"index.php", ""},
      {"articles/lib/x.php", ""},
      {"./a.txt", ""},
      {"a//b.txt", ""},
      {"a/...txt", ""},
      {"console.php", ""},
      {"com10.txt", ""},
      {"lpt0", ""},
      {"auxiliary/x", ""},
      {"con_x.php", ""},
      {" con", ""},
      {"", "the name is empty"},
      {"a\tb", "a control character in the name"},
      {std::string("a\x01b"), "a control character in the name"},
      {"C:x.txt", "':' in the name (a drive or a stream)"},
      {"/abs.txt", "the name starts at the root"},
      {"a/../../b", "\"..\" leads out of the target folder"},
      {"a/.. /b", "\".. \" leads out of the target folder"},
      {"CON", "\"CON\" is the device CON on Windows"},
      {"prn.txt", "\"prn.txt\" is the device PRN on Windows"},
      {"aux.tar.gz", "\"aux.tar.gz\" is the device AUX on Windows"},
      {"Nul  ", "\"Nul  \" is the device NUL on Windows"},
      {"nul .txt", "\"nul .txt\" is the device NUL on Windows"},
      {"a/COM1/b.php", "\"COM1\" is the device COM1 on Windows"},
      {"lpt9.", "\"lpt9.\" is the device LPT9 on Windows"},
      {"com\xb9.txt", "\"com\xb9.txt\" is the device COM\xb9 on Windows"},
      {"conin$", "\"conin$\" is the device CONIN$ on Windows"},
      {"CONOUT$.log", "\"CONOUT$.log\" is the device CONOUT$ on Windows"},
      {"index.php.", "\"index.php.\" ends in a dot, which Windows drops"},
      {"docs./readme.txt", "\"docs.\" ends in a dot, which Windows drops"},
      {"a/ ./b.txt", "\" .\" ends in a dot, which Windows drops"},
      {"index.php ", "\"index.php \" ends in a blank, which Windows drops"},
      {"docs /readme.txt", "\"docs \" ends in a blank, which Windows drops"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.name));
    EXPECT_EQ(EntryNameFault(c.name), c.fault);
  }
  for (const char c : std::string("<>\"|?*")) {
    SCOPED_TRACE(c);
    EXPECT_EQ(EntryNameFault(std::string("a/b") + c + "c.txt"),
              std::string("'") + c + "' in the name, which Windows does not allow");
  }
}

TEST_F(TzipfileTest, OddButSafeNamesExtractInsideTheTarget) {
  const char* names[] = {"double_slash", "dot_first", "dot_inner", "dots_in_name", "dots_between"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(Read(Fixture(std::string("OddButSafeNamesAreListed/") + name + ".zip")));
    ASSERT_EQ(Rows(), 1u);
    EXPECT_EQ(zip->ExtractFile(*Row(0)[kColumnName], kTarget, ""), kZipOk);
  }
  for (const std::string& file : host->Files()) {
    if (file == FakeHost::Key(kPackage)) continue;
    EXPECT_EQ(file.rfind("c:\\intranet\\", 0), 0u) << file;
  }
}

const std::string kReadme = "Read me first.\r\n";
const std::string kGif("GIF89a\x01\x00\x01\x00\x00\xff\x00,", 14);

std::string Repeat(const std::string& s, int n) {
  std::string out;
  while (n-- > 0) out += s;
  return out;
}
const std::string kDll = Repeat(std::string("MZ\x90\x00", 4), 8);

TEST_F(TzipfileTest, ExtractionWritesTheEntryBelowTheFolder) {
  struct Case {
    std::string fixture, name, folder, password, path, content;
  };
  const Case cases[] = {
      {"InfoZipStored.zip", "docs/readme.txt", kTarget, "", kTarget + "\\docs\\readme.txt",
       kReadme},
      {"InfoZipStored.zip", "DOCS/README.TXT", kTarget + "\\", "", kTarget + "\\docs\\readme.txt",
       kReadme},
      {"InfoZipStored.zip", "images/icons/a.gif", kTarget + "/", "",
       kTarget + "\\images\\icons\\a.gif", kGif},
      {"InfoZipStored.zip", "empty.txt", kTarget, "unused", kTarget + "\\empty.txt", ""},
      {"PythonStoredComment.zip", "lib/php_articles.dll", "C:\\php\\ext", "",
       "C:\\php\\ext\\lib\\php_articles.dll", kDll},
      // zip -e: bit 3, so the check byte is the DOS time's high byte.
      {"InfoZipEncrypted.zip", "docs/readme.txt", kTarget, "secret", kTarget + "\\docs\\readme.txt",
       kReadme},
      // 7-Zip ZipCrypto: no bit 3, so the check byte is the CRC-32's high byte.
      {"SevenZipEncrypted.zip", "images/icons/a.gif", kTarget, "secret",
       kTarget + "\\images\\icons\\a.gif", kGif},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture + " " + c.name);
    host->AddFolder("C:\\php\\ext");
    ASSERT_TRUE(Read(Fixture(c.fixture)));
    ASSERT_EQ(zip->ExtractFile(c.name, c.folder, c.password), kZipOk);
    EXPECT_EQ(host->FileContent(c.path), c.content);
    EXPECT_EQ(host->open_files(), 0);
  }
  // The file takes the name as asked for, not as stored: a host that keeps
  // letter case names it README.TXT.
  EXPECT_NE(std::find_if(host->moves.begin(), host->moves.end(),
                         [](const std::string& move) {
                           return EndsWith(move, " -> " + kTarget + "\\DOCS/README.TXT");
                         }),
            host->moves.end());
}

// Bytes that compress badly, so every buffer of them differs.
std::string Noise(size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = 12345;
  for (char& c : bytes) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 23);
  return bytes;
}

// Offset of the first entry's data (after any encryption header).
size_t FirstDataOffset(const std::string& bytes) {
  return local_header::kSize +
         Get16(reinterpret_cast<const uint8_t*>(&bytes[local_header::kNameLength])) +
         Get16(reinterpret_cast<const uint8_t*>(&bytes[local_header::kExtraLength]));
}

TEST_F(TzipfileTest, FailuresBeforeTheCopyLeaveTheTargetAlone) {
  using Setup = std::function<void(FakeHost&, TZipFile&)>;
  const Setup none = [](FakeHost&, TZipFile&) {};
  struct Case {
    const char* what;
    std::string archive, name, password;
    Setup setup;
    int32_t result;
  };
  std::string method10 = Fixture("PythonStoredComment.zip");
  Patch16(method10, local_header::kMethod, 10);
  std::string resized = Fixture("PythonStoredComment.zip");  // 16 bytes of data, said to be 10
  Patch32(resized, local_header::kUncompressedSize, 10);
  std::string method11 = method10;
  Patch16(method11, local_header::kMethod, 11);
  std::string unnamed =
      Written({{"a.txt", "aaa"}, {"b.txt", "bbb"}});  // b.txt's central record cut out
  const size_t second = FindRecord(unnamed, kCentralHeaderSignature, 1);
  unnamed.erase(second, FindRecord(unnamed, kEndRecordSignature) - second);
  std::string tiny = Written({{"tiny.txt", "12345"}});  // flagged encrypted, 5 bytes of data
  Patch16(tiny, local_header::kFlags, kFlagEncrypted);
  const std::string encrypted = Fixture("InfoZipEncrypted.zip");
  const std::string seven = Fixture("SevenZipEncrypted.zip");
  // Encrypted, and said to be deflated: the encryption is looked at first.
  std::string encrypted_deflated = encrypted;
  Patch16(encrypted_deflated, local_header::kMethod, 8);
  std::string encrypted_method_12 = encrypted;
  Patch16(encrypted_method_12, local_header::kMethod, 12);

  const Case cases[] = {
      {"no such name", Fixture("InfoZipStored.zip"), "missing.txt", "", none, kZipNotPresent},
      {"archive removed", Fixture("InfoZipStored.zip"), "Setup.SQL", "",
       [](FakeHost& h, TZipFile&) { h.RemoveFile(kPackage); }, kZipError},
      {"archive locked", Fixture("InfoZipStored.zip"), "Setup.SQL", "",
       [](FakeHost& h, TZipFile&) { h.LockFile(kPackage); }, kZipError},
      {"offset off by one", Fixture("InfoZipStored.zip"), "Setup.SQL", "",
       [](FakeHost&, TZipFile& z) { z.BaseOffset = 1; }, kZipBadLocalHeader},
      {"no central record", unnamed, "b.txt", "", none, kZipBadLocalHeader},
      {"target locked", Fixture("InfoZipStored.zip"), "Setup.SQL", "",
       [](FakeHost& h, TZipFile&) { h.LockFile(kTarget + "\\Setup.SQL"); }, kZipCannotCreate},
      {"deflated", Fixture("InfoZipDeflated.zip"), "big.txt", "", none, kZipError},
      {"bzip2", Fixture("InfoZipBzip2.zip"), "big.txt", "", none, kZipBadMethod},
      {"method 10", method10, "readme.txt", "", none, kZipError},
      {"method 11", method11, "readme.txt", "", none, kZipBadMethod},
      {"sizes disagree", resized, "readme.txt", "", none, kZipCannotRead},
      {"encrypted, shorter than its header", tiny, "tiny.txt", "secret", none, kZipCannotRead},
      {"encryption header cut", encrypted, "docs/readme.txt", "secret",
       [&](FakeHost& h, TZipFile&) {
         h.AddFile(kPackage, encrypted.substr(0, FirstDataOffset(encrypted) + 5));
       },
       kZipCannotRead},
      {"zip -e, no password", encrypted, "docs/readme.txt", "", none, kZipBadPassword},
      {"zip -e, wrong password", encrypted, "docs/readme.txt", "Secret", none, kZipBadPassword},
      {"7z, no password", seven, "docs/readme.txt", "", none, kZipBadPassword},
      {"7z, wrong password", seven, "docs/readme.txt", "secrets", none, kZipBadPassword},
      {"encrypted deflated, no password", encrypted_deflated, "docs/readme.txt", "", none,
       kZipBadPassword},
      {"encrypted method 12, no password", encrypted_method_12, "docs/readme.txt", "", none,
       kZipBadPassword},
      {"encrypted deflated, header cut", encrypted_deflated, "docs/readme.txt", "",
       [&](FakeHost& h, TZipFile&) {
         h.AddFile(kPackage, encrypted_deflated.substr(0, FirstDataOffset(encrypted) + 5));
       },
       kZipCannotRead},
      {"encrypted deflated, right password", encrypted_deflated, "docs/readme.txt", "secret", none,
       kZipError},
      {"encrypted method 12, right password", encrypted_method_12, "docs/readme.txt", "secret",
       none, kZipBadMethod},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string target = kTarget + "\\" + c.name;
    host->AddFile(target, "old");
    ASSERT_TRUE(Read(c.archive));
    c.setup(*host, *zip);
    // The check to nowhere finds the same, but for a target it never makes.
    EXPECT_EQ(zip->CheckFile(c.name, c.password), c.result == kZipCannotCreate ? kZipOk : c.result);
    EXPECT_EQ(zip->ExtractFile(c.name, kTarget, c.password), c.result);
    EXPECT_EQ(host->FileContent(target), "old");
    EXPECT_EQ(host->open_files(), 0);
    Reset();
  }
}

// The entry is written beside its target and takes its place only whole:
// every failure of the copy leaves the old file as it was, and nothing of
// the new one beside it.
TEST_F(TzipfileTest, FailuresDuringTheCopyLeaveTheOldFile) {
  const std::string data = Noise(200000);
  const std::string plain = Written({{"big.bin", data}});
  const std::string secret = Written({{"big.bin", data}}, "secret");
  std::string flipped = Fixture("InfoZipStored.zip");
  flipped[63 + local_header::kSize + 15 + 28] ^= 0x20;  // "Read me" -> "read me"
  struct Case {
    const char* what;
    std::string archive, name, password;
    std::function<void(FakeHost&)> setup;
    int32_t result;
    std::string left;
  };
  const auto cut = [](const std::string& bytes, size_t size) {
    return [bytes, size](FakeHost& h) { h.AddFile(kPackage, bytes.substr(0, size)); };
  };
  const Case cases[] = {
      {"archive cut", plain, "big.bin", "", cut(plain, FirstDataOffset(plain) + 150001),
       kZipCannotRead, "old"},
      {"encrypted archive cut", secret, "big.bin", "secret",
       cut(secret, FirstDataOffset(secret) + 12 + 70000), kZipCannotRead, "old"},
      {"data not matching its CRC-32", flipped, "docs/readme.txt", "", [](FakeHost&) {},
       kZipCannotRead, "old"},
      {"write fails", plain, "big.bin", "", [](FakeHost& h) { h.writes_before_failure = 0; },
       kZipCannotWrite, "old"},
      {"disk full", plain, "big.bin", "", [](FakeHost& h) { h.disk_space = 99999; },
       kZipCannotWrite, "old"},
      {"whole", secret, "big.bin", "secret", [](FakeHost&) {}, kZipOk, data},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(Read(c.archive));
    host->AddFile(kTarget + "\\" + c.name, "old");
    const std::vector<std::string> files_before = host->Files();
    c.setup(*host);
    // The check reads the data through the CRC-32 and writes nothing.
    EXPECT_EQ(zip->CheckFile(c.name, c.password), c.result == kZipCannotWrite ? kZipOk : c.result);
    EXPECT_EQ(host->Files(), files_before);
    EXPECT_EQ(host->FileContent(kTarget + "\\" + c.name), "old");
    EXPECT_EQ(zip->ExtractFile(c.name, kTarget, c.password), c.result);
    const std::string left = host->FileContent(kTarget + "\\" + c.name);
    EXPECT_EQ(left.size(), c.left.size());
    EXPECT_TRUE(left == c.left);
    EXPECT_EQ(host->Files(), files_before);
    EXPECT_EQ(host->open_files(), 0);
    Reset();
  }
}

TEST(TzipfileErrorMessage, EachResultCodeHasItsText) {
  const std::pair<int32_t, const char*> texts[] = {
      {0, ""},
      {1, "An error occured"},
      {2, "File not present in Zip file"},
      {3, "Could not read local file header"},
      {4, "Could not create target"},
      {5, "Could not write to target"},
      {6, "Could not read from Zip file"},
      {7, "Invalid compression method"},
      {8, "Invalid password"},
      {9, "An unknown error has occured"},
      {-1, "An unknown error has occured"},
  };
  for (const auto& [code, text] : texts) EXPECT_STREQ(TZipFile::ErrorMessage(code), text) << code;
}

TEST(TzipfilePaths, DelimitersSplitTheFolderPart) {
  const std::pair<const char*, const char*> parts[] = {{"images/icons/a.gif", "images/icons"},
                                                       {"a\\b.txt", "a"},
                                                       {"C:x", "C"},
                                                       {"/a", ""},
                                                       {"a", ""},
                                                       {"", ""},
                                                       {"ab/", "ab"}};
  for (const auto& [path, part] : parts) EXPECT_EQ(DirectoryPart(path), part) << path;
  const std::pair<const char*, const char*> stripped[] = {{"C:\\Intranet\\", "C:\\Intranet"},
                                                          {"C:\\Intranet/", "C:\\Intranet"},
                                                          {"\\", "\\"},
                                                          {"a", "a"},
                                                          {"ab\\\\", "ab\\"}};
  for (const auto& [path, result] : stripped)
    EXPECT_EQ(StripTrailingSeparator(path), result) << path;
}

TEST(TzipfilePaths, MakeDirectoryPathMakesTheMissingFoldersTopDown) {
  FakeHost host;
  host.AddFile("C:\\file.txt", "x");
  EXPECT_TRUE(MakeDirectoryPath(host, "C:\\Intranet\\images/icons\\"));
  EXPECT_TRUE(host.HasFolder("C:\\Intranet\\images\\icons"));
  EXPECT_TRUE(MakeDirectoryPath(host, "C:\\Intranet"));  // exists
  EXPECT_TRUE(MakeDirectoryPath(host, "C:\\"));          // too short to make
  EXPECT_FALSE(MakeDirectoryPath(host, ""));
  EXPECT_FALSE(MakeDirectoryPath(host, "C:\\file.txt\\sub"));  // a file is in the way
}

// An entry name may hold thousands of folders: each is made, top down,
// without a stack frame or a copy of the path per level.
TEST(TzipfilePaths, MakeDirectoryPathMakesThousandsOfLevels) {
  FakeHost host;
  std::string deep = "C:\\Out";
  for (int i = 0; i < 2000; ++i) deep += i % 2 ? "/a" : "\\b";
  EXPECT_TRUE(MakeDirectoryPath(host, deep + "\\"));
  EXPECT_TRUE(host.HasFolder(deep));
  EXPECT_EQ(host.Files().size(), 0u);
  host.AddFile("C:\\Out\\b\\x", "");
  EXPECT_FALSE(MakeDirectoryPath(host, "C:\\Out\\b\\x" + deep.substr(10)));
}

}  // namespace
