#include <gtest/gtest.h>

#include "archive/Tzipfile.h"
#include "archive/ZipWriter.h"
#include "support/FakeHost.h"

namespace {

struct Output {
  std::string bytes;
  ZipWriter writer{[this](const uint8_t* data, size_t size) {
    bytes.append(reinterpret_cast<const char*>(data), size);
    return true;
  }};
};

ZipWriter::Entry EntryFor(const std::string& name, const std::string& data) {
  return {name, static_cast<uint32_t>(data.size()), Crc32(0, data.data(), data.size()),
          ToDosDateTime(2010, 6, 2, 14, 5, 7)};
}

bool Add(ZipWriter& w, const std::string& name, const std::string& data,
         const std::string& password) {
  return w.BeginEntry(EntryFor(name, data), password, {}) &&
         w.AddData(reinterpret_cast<const uint8_t*>(data.data()), data.size()) && w.EndEntry();
}

TEST(ZipWriter, WrittenArchivesReadAndExtract) {
  for (const std::string password : {"", "secret"}) {
    SCOPED_TRACE(password);
    Output out;
    ASSERT_TRUE(Add(out.writer, "readme.txt", "Read me.", password));
    ASSERT_TRUE(Add(out.writer, "sql/brevoxil.sql", "SELECT 1;\n", password));
    ASSERT_TRUE(out.writer.Finish("made here"));
    FakeHost host;
    host.AddFile("C:\\Data.kpv", out.bytes);
    TZipFile zip(host, "C:\\Data.kpv");
    ASSERT_TRUE(zip.ReadDirectory(host.OpenFileForRead("C:\\Data.kpv", kShareRead).get()));
    ASSERT_EQ(zip.Directory->Entries.size(), 2u);
    const EntryRow& row = zip.Directory->Entries[1];
    const int header = password.empty() ? 0 : 12;
    EXPECT_EQ(row[kColumnCompressedSize], std::to_string(10 + header));
    EXPECT_EQ(row[kColumnUncompressedSize], "10");
    EXPECT_EQ(row[kColumnModified], "14:05 02/06/2010");
    EXPECT_EQ(row[kColumnOffset], std::to_string(30 + 10 + 8 + header));
    EXPECT_EQ(zip.HasEncryptedEntries, !password.empty());
    EXPECT_EQ(zip.Directory->Comment, "made here");
    EXPECT_EQ(zip.ExtractFile("sql/brevoxil.sql", "C:\\Work", password), kZipOk);
    EXPECT_EQ(host.FileContent("C:\\Work\\sql\\brevoxil.sql"), "SELECT 1;\n");
  }
}

TEST(ZipWriter, DosTimesAreClampedToTheirRange) {
  struct Case {
    int year, month, day, hour, minute, second;
    uint16_t time, date;
  };
  const Case cases[] = {
      {2010, 6, 2, 14, 5, 0, 0x70A0, 0x3CC2},
      {2010, 6, 2, 14, 5, 59, 0x70BD, 0x3CC2},
      {1979, 12, 31, 23, 59, 59, 0x0000, 0x0021},
      {2108, 1, 1, 0, 0, 0, 0xBF7D, 0xFF9F},
  };
  for (const Case& c : cases) {
    const DosDateTime dos = ToDosDateTime(c.year, c.month, c.day, c.hour, c.minute, c.second);
    EXPECT_EQ(dos.time, c.time) << c.year;
    EXPECT_EQ(dos.date, c.date) << c.year;
  }
}

TEST(ZipWriter, RefusesWhatItCannotStore) {
  Output out;
  EXPECT_FALSE(Add(out.writer, "../up.txt", "x", ""));
  EXPECT_FALSE(Add(out.writer, "a:b.txt", "x", ""));
  ASSERT_TRUE(out.writer.BeginEntry(EntryFor("a.txt", "abc"), "", {}));
  EXPECT_FALSE(out.writer.AddData(reinterpret_cast<const uint8_t*>("abcd"), 4));
  EXPECT_FALSE(out.writer.EndEntry());  // nothing of the three bytes came
  EXPECT_FALSE(out.writer.Error().empty());
  ZipWriter full([](const uint8_t*, size_t) { return false; });
  EXPECT_FALSE(Add(full, "a.txt", "abc", ""));
  EXPECT_EQ(full.Error(), "the archive could not be written");
}

}  // namespace
