#include <gtest/gtest.h>

#include <vector>

#include "formlib/FileUtil.h"
#include "platform/Fault.h"
#include "platform/Host.h"
#include "platform/win32/Win32TestSupport.h"
#include "support/HostContract.h"

namespace {

TEST(Win32FilesTest, KeepsTheHostContract) {
  std::unique_ptr<Host> host = CreateHost(0, nullptr);
  HostContractOptions options;
  options.folder = MakeScratchFolder("contract");
  options.drive_root = options.folder.substr(0, 3);
  CheckHostContract(*host, options);
}

TEST(Win32FilesTest, TempPathEndsInABackslashAndItsShortFormHasNoBlanks) {
  std::unique_ptr<Host> host = CreateHost(0, nullptr);
  const std::string temp = host->TempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_EQ(host->FileAttributes(temp), kAttributeDirectory);

  const std::string scratch = MakeScratchFolder("short");
  const std::string long_folder = scratch + "A Folder With A Long Name\\";
  ASSERT_TRUE(host->MakeOneDirectory(long_folder));
  const std::string short_folder = host->ShortPathName(long_folder);
  EXPECT_EQ(short_folder.find(' '), std::string::npos) << short_folder;
  EXPECT_EQ(short_folder.back(), '\\');
  EXPECT_EQ(host->FileAttributes(short_folder), kAttributeDirectory);
  // No short form of a path that does not exist: the path comes back.
  EXPECT_EQ(host->ShortPathName(scratch + "No Such Folder\\"), scratch + "No Such Folder\\");
}

// The calls themselves are checked by the host contract; the composite made
// on top of them creates the missing parents, with either separator.
TEST(Win32FilesTest, ForceDirectoriesMakesTheMissingParentsWithEitherSeparator) {
  std::unique_ptr<Host> host = CreateHost(0, nullptr);
  const std::string scratch = MakeScratchFolder("folders");
  EXPECT_TRUE(ForceDirectories(*host, scratch + "deep/er\\and/deeper"));
  EXPECT_EQ(host->FileAttributes(scratch + "deep\\er\\and\\deeper"), kAttributeDirectory);
}

TEST(Win32FilesTest, AttributesTellFilesFromFoldersAndNothing) {
  std::unique_ptr<Host> host = CreateHost(0, nullptr);
  const std::string scratch = MakeScratchFolder("attributes");
  // "café.txt" in code page 1252: the name goes through the ANSI to UTF-16
  // conversion before GetFileAttributesW.
  const std::string accented = scratch + "caf\xe9.txt";
  ASSERT_TRUE(WriteWholeFile(accented, "x"));
  struct Case {
    std::string path;
    uint32_t attributes;
  };
  const Case cases[] = {
      {accented, kAttributeNormal},
      {scratch, kAttributeDirectory},
      {scratch.substr(0, scratch.size() - 1), kAttributeDirectory},
      {scratch + "nothing.txt", kInvalidFileAttributes},
      {"", kInvalidFileAttributes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(host->FileAttributes(c.path), c.attributes);
  }
}

TEST(Win32FilesTest, OnlyAFileOnADiskIsCreatedForWriting) {
  std::unique_ptr<Host> host = CreateHost(0, nullptr);
  const std::string scratch = MakeScratchFolder("devices");
  HANDLE pipe = CreateNamedPipeA("\\\\.\\pipe\\corvantis-files-test", PIPE_ACCESS_INBOUND,
                                 PIPE_TYPE_BYTE, 1, 0, 4096, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  // Each of them opens, as a device or a pipe: none is a file written.
  for (const std::string& path : {std::string("NUL"), scratch + "nul.txt", scratch + "NUL .php",
                                  std::string("\\\\.\\pipe\\corvantis-files-test")}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(host->CreateFileForWrite(path), nullptr);
  }
  CloseHandle(pipe);
  EXPECT_NE(host->CreateFileForWrite(scratch + "null.txt"), nullptr);
}

// The save of php.ini: a fresh name beside the file each time, the file's
// attributes kept, a read-only file left as it is.
TEST(Win32FilesTest, SavedFilesKeepTheirAttributesAndReadOnlyOnesStay) {
  std::unique_ptr<Host> host = CreateHost(0, nullptr);
  const std::string scratch = MakeScratchFolder("save");
  const std::string ini = scratch + "php.ini";
  std::string first, second;
  {
    std::unique_ptr<HostFile> a = host->CreateFileBeside(ini, &first);
    std::unique_ptr<HostFile> b = host->CreateFileBeside(ini, &second);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
  }
  EXPECT_NE(first, second);
  EXPECT_EQ(first.compare(0, ini.size(), ini), 0) << first;
  ASSERT_TRUE(host->RemoveFile(first) && host->RemoveFile(second));

  ASSERT_TRUE(WriteWholeFile(ini, "old\r\n"));
  ASSERT_TRUE(SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_HIDDEN));
  SaveFileReplacing(*host, ini, "new\r\n");
  EXPECT_EQ(ReadWholeFile(ini), "new\r\n");
  EXPECT_NE(GetFileAttributesA(ini.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);

  ASSERT_TRUE(SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(host->FileAttributes(ini), kAttributeNormal | kAttributeReadOnly);
  EXPECT_THROW(SaveFileReplacing(*host, ini, "newer\r\n"), FileFault);
  EXPECT_EQ(ReadWholeFile(ini), "new\r\n");
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((scratch + "*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  std::vector<std::string> names;
  do {
    if (found.cFileName[0] != '.') names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  EXPECT_EQ(names, std::vector<std::string>{"php.ini"});
  SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
