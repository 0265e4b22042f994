#include <gtest/gtest.h>

#include <functional>

#include "platform/posix/RegistryFile.h"

namespace {

std::string Value(const RegistryFile& file, const std::string& key, const std::string& name,
                  uint32_t* type = nullptr) {
  const RegistryValue* v = file.FindValue(key, name);
  if (v == nullptr) return "<missing>";
  if (type != nullptr) *type = v->type;
  return v->data;
}

TEST(RegistryFileTest, ReadsEveryValueTypeAndSectionSpelling) {
  const std::string text =
      "REGEDIT4\r\n"
      "; written by hand\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Apache Software Foundation\\Apache\\2.2.14]\r\n"
      "\"ServerRoot\"=\"C:\\\\Apache2.2\\\\\"\r\n"
      "[Software\\\\Corvantis\\\\v2.1]\n"
      "@=\"default\"\n"
      "\"Quote\"=\"say \\\"hi\\\"\"\n"
      "\"Build\"=dword:0000002a\n"
      "\"Path\"=hex(2):25,50,41,\\\n"
      "   54,48,25,00\n"
      "\"Blob\"=hex:00,ff,10\n"
      "\"List\"=hex(7):61,00,00\n"
      "\"HandWritten\"=\"C:\\Apache2.2\\\"\n"
      "\"Broken\"=dword:xyz\n"
      "[HKEY_CURRENT_USER\\Software\\Other]\n"
      "\"Lost\"=\"x\"\n";
  std::string error;
  const std::optional<RegistryFile> file = RegistryFile::Parse(text, &error);
  ASSERT_TRUE(file) << error;
  const std::string corvantis = "Software\\Corvantis\\v2.1";
  uint32_t type = 0;
  EXPECT_EQ(Value(*file, "Software\\Apache Software Foundation\\Apache\\2.2.14", "ServerRoot"),
            "C:\\Apache2.2\\");
  EXPECT_EQ(Value(*file, corvantis, ""), "default");
  EXPECT_EQ(Value(*file, corvantis, "Quote"), "say \"hi\"");
  EXPECT_EQ(Value(*file, corvantis, "Build", &type), std::string("\x2a\0\0\0", 4));
  EXPECT_EQ(type, kRegDword);
  EXPECT_EQ(Value(*file, corvantis, "Path", &type), "%PATH%");
  EXPECT_EQ(type, kRegExpandSz);
  EXPECT_EQ(Value(*file, corvantis, "Blob", &type), std::string("\0\xff\x10", 3));
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(Value(*file, corvantis, "List", &type), std::string("a\0\0", 3));
  EXPECT_EQ(type, 7u);
  EXPECT_EQ(Value(*file, corvantis, "HandWritten"), "C:\\Apache2.2\\");
  EXPECT_EQ(Value(*file, corvantis, "Broken"), "<missing>");
  EXPECT_FALSE(file->KeyExists("Software\\Other"));
}

TEST(RegistryFileTest, WrittenFileReadsBackTheSameValues) {
  RegistryFile file;
  const std::string key = "Software\\Corvantis\\v2.1";
  const std::string long_binary(100, '\x5a');
  struct Case {
    const char* name;
    uint32_t type;
    std::string data;
  } cases[] = {
      {"InstallDir", kRegSz, "C:\\Intranet\\"},
      {"Quoted \"name\" \\", kRegSz, "a \"b\" \\\\c"},
      {"Lines", kRegSz, "one\r\ntwo\n[Section]\n"},
      {"", kRegSz, "the default"},
      {"Empty", kRegSz, ""},
      {"Build", kRegDword, std::string("\x78\x56\x34\x12", 4)},
      {"Expand", kRegExpandSz, "%SystemRoot%\\x"},
      {"Long", kRegBinary, long_binary},
      {"Multi", 7, std::string("a\0b\0\0", 5)},
  };
  for (const Case& k : cases) ASSERT_TRUE(file.SetValue(key, k.name, k.type, k.data));
  const std::string text = file.Write();
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    EXPECT_LE(end - start, 80u) << text.substr(start, end - start);

  std::string error;
  const std::optional<RegistryFile> back = RegistryFile::Parse(text, &error);
  ASSERT_TRUE(back) << error;
  ASSERT_EQ(back->sections().size(), 1u);
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    uint32_t type = 0;
    EXPECT_EQ(Value(*back, key, k.name, &type), k.data);
    EXPECT_EQ(type, k.type);
  }
}

TEST(RegistryFileTest, WritesTheDocumentedLayout) {
  RegistryFile file;
  file.SetValue("Software\\Apache Software Foundation\\Apache\\2.2.14", "ServerRoot", kRegSz,
                "C:\\Apache2.2\\");
  file.SetValue("Software\\Corvantis\\v2.1", "InstallDir", kRegSz, "C:\\Intranet");
  file.SetValue("Software\\Corvantis\\v2.1", "Build", kRegDword, std::string("\x2a\0\0\0", 4));
  EXPECT_EQ(file.Write(),
            "REGEDIT4\n"
            "\n"
            "[Software\\\\Apache Software Foundation\\\\Apache\\\\2.2.14]\n"
            "\"ServerRoot\"=\"C:\\\\Apache2.2\\\\\"\n"
            "\n"
            "[Software\\\\Corvantis\\\\v2.1]\n"
            "\"InstallDir\"=\"C:\\\\Intranet\"\n"
            "\"Build\"=dword:0000002a\n");
}

// Writing back changes only the lines of what was set: comments, other
// hives, deletions, lines not understood and the line ends stay as read.
TEST(RegistryFileTest, EditsChangeOnlyTheirOwnLines) {
  const std::string text =
      "REGEDIT4\r\n"
      "; written by hand\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
      "\"Lost\"=\"x\"\r\n"
      "[-Software\\Old]\r\n"
      "[Software\\\\Corvantis\\\\v2.1]\r\n"
      "\"InstallDir\"=\"C:\\\\Old\"\r\n"
      "\"Path\"=hex(2):43,\\\r\n"
      "  3a,00\r\n"
      "\"Broken\"=dword:xyz\r\n"
      "# about Apache\r\n"
      "[Software\\Apache Group\\Apache\\2.2]\r\n"
      "\"ServerRoot\"=\"C:\\\\Apache\\\\\"";
  const std::string corvantis = "Software\\Corvantis\\v2.1";
  struct Case {
    const char* what;
    std::function<bool(RegistryFile&)> edit;
    std::string written;
  };
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string t = text;
    return t.replace(t.find(from), from.size(), to);
  };
  const Case cases[] = {
      {"nothing", [](RegistryFile&) { return true; }, text},
      {"a value set anew",
       [&](RegistryFile& f) { return f.SetValue(corvantis, "installdir", kRegSz, "C:\\Intranet"); },
       replaced("\"InstallDir\"=\"C:\\\\Old\"", "\"InstallDir\"=\"C:\\\\Intranet\"")},
      {"a value over two lines",
       [&](RegistryFile& f) { return f.SetValue(corvantis, "Path", kRegSz, "D:"); },
       replaced("\"Path\"=hex(2):43,\\\r\n  3a,00", "\"Path\"=\"D:\"")},
      {"a text that becomes a REG_EXPAND_SZ",
       [&](RegistryFile& f) { return f.SetValue(corvantis, "installdir", kRegExpandSz, "C:"); },
       replaced("\"InstallDir\"=\"C:\\\\Old\"", "\"InstallDir\"=hex(2):43,3a,00")},
      {"a new key removed again (the last line keeps the line end it got)",
       [](RegistryFile& f) {
         return f.AddKey("Software\\New") && f.DeleteEmptyKey("software\\new");
       },
       text + "\r\n"},
      {"no removal of a key that holds anything, or is missing, or the root",
       [&](RegistryFile& f) {
         return !f.DeleteEmptyKey(corvantis) && !f.DeleteEmptyKey("Software\\Apache Group") &&
                !f.DeleteEmptyKey("Software\\Missing") && !f.DeleteEmptyKey("");
       },
       text},
      {"a new value", [&](RegistryFile& f) { return f.SetValue(corvantis, "Build", kRegSz, "42"); },
       replaced("\"Broken\"=dword:xyz\r\n", "\"Broken\"=dword:xyz\r\n\"Build\"=\"42\"\r\n")},
      {"a new value in the last section, without a last line end",
       [](RegistryFile& f) {
         return f.SetValue("Software\\Apache Group\\Apache\\2.2", "Port", kRegSz, "80");
       },
       text + "\r\n\"Port\"=\"80\"\r\n"},
      {"a new key", [](RegistryFile& f) { return f.SetValue("software\\NEW", "A", kRegSz, "1"); },
       text + "\r\n\r\n[Software\\\\NEW]\r\n\"A\"=\"1\"\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::optional<RegistryFile> file = RegistryFile::Parse(text, nullptr);
    ASSERT_TRUE(file);
    ASSERT_TRUE(c.edit(*file));
    EXPECT_EQ(file->Write(), c.written);
    // What was set reads back, and so does everything else.
    std::optional<RegistryFile> again = RegistryFile::Parse(file->Write(), nullptr);
    ASSERT_TRUE(again);
    EXPECT_EQ(Value(*again, "Software\\Apache Group\\Apache\\2.2", "ServerRoot"), "C:\\Apache\\");
    EXPECT_FALSE(again->KeyExists("Software\\Other"));
  }
  // A hex list left open by a '\' at the end of the file takes none of the
  // lines written after it.
  std::optional<RegistryFile> open =
      RegistryFile::Parse("REGEDIT4\n[Software\\Corvantis\\v2.1]\n\"Blob\"=hex:01,\\", nullptr);
  ASSERT_TRUE(open);
  ASSERT_TRUE(open->SetValue(corvantis, "InstallDir", kRegSz, "C:\\x"));
  ASSERT_TRUE(open->AddKey("Software\\New"));
  std::optional<RegistryFile> again = RegistryFile::Parse(open->Write(), nullptr);
  ASSERT_TRUE(again);
  EXPECT_EQ(Value(*again, corvantis, "InstallDir"), "C:\\x");
  EXPECT_TRUE(again->KeyExists("Software\\New"));
  EXPECT_EQ(Value(*again, corvantis, "Blob"), "<missing>");
  // A section whose one line is not understood may hold a value: it stays.
  std::optional<RegistryFile> odd =
      RegistryFile::Parse("REGEDIT4\n[Software\\X]\n\"A\"=str(2):\"y\"\n", nullptr);
  ASSERT_TRUE(odd);
  EXPECT_FALSE(odd->DeleteEmptyKey("Software\\X"));
}

TEST(RegistryFileTest, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
  std::optional<RegistryFile> file = RegistryFile::Parse(
      "REGEDIT4\n\n[Software\\PostgreSQL\\Installations\\pg-9.1]\n\"Base Directory\"=\"C:\\\\pg\"\n"
      "[Software\\Apache Group\\Apache\\2.0]\n"
      "[SOFTWARE\\postgresql\\installations\\pg-8.4]\n"
      "[Software\\PostgreSQL\\Installations\\PG-9.1\\Sub]\n",
      nullptr);
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->KeyExists("software\\POSTGRESQL"));  // only keys below name it
  EXPECT_FALSE(file->KeyExists("Software\\PostgreSQL\\Install"));
  EXPECT_EQ(file->SubKeys("software\\postgresql\\installations"),
            (std::vector<std::string>{"pg-9.1", "pg-8.4"}));
  EXPECT_EQ(file->SubKeys("Software"), (std::vector<std::string>{"PostgreSQL", "Apache Group"}));
  EXPECT_EQ(file->SubKeys(""), (std::vector<std::string>{"Software"}));

  ASSERT_TRUE(file->SetValue("SOFTWARE\\POSTGRESQL\\INSTALLATIONS\\PG-9.1", "BASE DIRECTORY",
                             kRegSz, "D:\\pg"));
  ASSERT_TRUE(file->AddKey("software\\corvantis\\v2.1"));
  const std::string text = file->Write();
  EXPECT_NE(text.find("[Software\\PostgreSQL\\Installations\\pg-9.1]\n"
                      "\"Base Directory\"=\"D:\\\\pg\"\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("[Software\\\\corvantis\\\\v2.1]"), std::string::npos) << text;
}

// Keys whose first name, at the start of a header, would read as a deletion
// or another hive: written below the root's name, they survive a rewrite.
TEST(RegistryFileTest, KeysThatLookLikeOtherSectionsSurviveARewrite) {
  const std::string text =
      "REGEDIT4\n"
      "[\\-x]\n\"a\"=\"1\"\n"
      "[HKEY_LOCAL_MACHINE\\HKEY_CURRENT_USER\\y]\n\"b\"=\"2\"\n";
  std::optional<RegistryFile> file = RegistryFile::Parse(text, nullptr);
  ASSERT_TRUE(file);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(Value(*file, "-x", "a"), "1");
    EXPECT_EQ(Value(*file, "HKEY_CURRENT_USER\\y", "b"), "2");
    file = RegistryFile::Parse(file->Write(), nullptr);
    ASSERT_TRUE(file);
  }
}

TEST(RegistryFileTest, RefusesWhatItCouldNotWriteBack) {
  std::string error;
  EXPECT_FALSE(RegistryFile::Parse("WINE REGISTRY Version 2\n[Software]\n", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(RegistryFile::Parse("", nullptr));
  RegistryFile file;
  EXPECT_FALSE(file.SetValue("Software", "two\nlines", kRegSz, "x"));
  EXPECT_FALSE(file.AddKey("Software\\new\nline"));
  EXPECT_FALSE(file.AddKey("HKEY_CURRENT_USER\\Software"));
  EXPECT_TRUE(file.sections().empty());
}

}  // namespace
