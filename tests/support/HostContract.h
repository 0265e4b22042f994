#pragma once
// The contract every host keeps, as one suite run against the fake host, the
// POSIX host and the Windows host: the Windows path rules, sharing, folder
// creation, the registry's values and keys and a failed call's reason. A test
// calls CheckHostContract with an empty folder it may fill.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Host.h"

struct HostContractOptions {
  std::string folder;  // an existing empty folder, its Windows path ending in "\"
  std::string drive_root = "C:\\";
  // Whether a share mode keeps out an open it does not allow (POSIX has no
  // mandatory locks).
  bool enforces_sharing = true;
  // The same folder in the host's own syntax (the log's path), ending in
  // its separator; empty: `folder`.
  std::string native_folder = "";
  // Whether NewSha256 is the real SHA-256 (the fake host's is a stand-in).
  bool real_sha256 = true;
};

inline std::string ReadAllOf(Host& host, const std::string& path) {
  const std::unique_ptr<HostFile> file = host.OpenFileForRead(path, kShareRead);
  if (file == nullptr) return "<cannot open>";
  std::string bytes;
  char buffer[256];
  uint32_t got = 0;
  while (file->Read(buffer, sizeof buffer, &got) && got > 0) bytes.append(buffer, got);
  return bytes;
}

inline bool WriteAllTo(Host& host, const std::string& path, const std::string& bytes) {
  const std::unique_ptr<HostFile> file = host.CreateFileForWrite(path);
  uint32_t done = 0;
  return file != nullptr && file->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), &done) &&
         done == bytes.size();
}

inline void CheckHostContract(Host& host, const HostContractOptions& o) {
  const std::string& f = o.folder;
  // Folders: one level at a time, with either separator, never over
  // something there; no file is made in a missing folder.
  ASSERT_TRUE(host.MakeOneDirectory(f + "Sub"));
  EXPECT_FALSE(host.MakeOneDirectory(f + "Sub"));
  EXPECT_FALSE(host.MakeOneDirectory(f + "SUB"));
  EXPECT_FALSE(host.MakeOneDirectory(f + "Missing\\Child"));
  EXPECT_TRUE(host.MakeOneDirectory(f + "Sub/Fwd"));
  EXPECT_TRUE(host.MakeOneDirectory(f + "Sub\\Fwd/Deeper"));
  EXPECT_EQ(host.FileAttributes(f + "sub/fwd\\Deeper"), kAttributeDirectory);
  EXPECT_EQ(host.CreateFileForWrite(f + "Missing\\File.txt"), nullptr);
  ASSERT_TRUE(WriteAllTo(host, f + "Sub\\File.txt", "abc"));
  // Room for writing: a folder that takes new files, and its volume's free
  // bytes where the host knows them; a file or nothing is no such folder.
  const Host::FolderRoom room = host.RoomIn(f + "Sub");
  EXPECT_TRUE(room.writable);
  if (room.free_bytes) {
    EXPECT_GT(*room.free_bytes, 0u);
  }
  EXPECT_FALSE(host.RoomIn(f + "Sub\\File.txt").writable);
  EXPECT_FALSE(host.RoomIn(f + "Missing").writable);

  // One file under every spelling the Windows rules allow.
  const struct {
    const char* what;
    std::string path;
  } spellings[] = {
      {"as made", f + "Sub\\File.txt"},        {"letter case", f + "SUB\\file.TXT"},
      {"forward slashes", f + "Sub/File.txt"}, {"doubled separator", f + "Sub\\\\File.txt"},
      {"dot", f + "Sub\\.\\File.txt"},         {"dot dot", f + "Sub\\..\\Sub\\File.txt"},
  };
  for (const auto& s : spellings) {
    SCOPED_TRACE(s.what);
    EXPECT_EQ(ReadAllOf(host, s.path), "abc");
    EXPECT_EQ(host.FileAttributes(s.path) & ~kAttributeReadOnly, kAttributeNormal);
  }
  const struct {
    std::string path;
    uint32_t attributes;
  } attributes[] = {
      {o.drive_root, kAttributeDirectory},
      {f + "Sub", kAttributeDirectory},
      {f + "Sub\\", kAttributeDirectory},
      {f + "sub/", kAttributeDirectory},
      {f + "Nothing.txt", kInvalidFileAttributes},
      {f + "Nothing\\File.txt", kInvalidFileAttributes},
  };
  for (const auto& a : attributes) {
    SCOPED_TRACE(a.path);
    EXPECT_EQ(host.FileAttributes(a.path), a.attributes);
  }

  // Bytes read back from where a seek put the file; a read at the end
  // gives none and does not fail; a seek may pass the end, not the start,
  // and a refused one leaves the position alone. A folder is no file.
  {
    ASSERT_TRUE(WriteAllTo(host, f + "Seek.bin", std::string("abc\0def", 7)));
    const std::unique_ptr<HostFile> file = host.OpenFileForRead(f + "Seek.bin", kShareNone);
    ASSERT_NE(file, nullptr);
    char buffer[16];
    uint32_t done = 0;
    EXPECT_EQ(file->Seek(4, SeekOrigin::kBegin), 4);
    ASSERT_TRUE(file->Read(buffer, 2, &done));
    EXPECT_EQ(std::string(buffer, done), "de");
    ASSERT_TRUE(file->Read(buffer, sizeof buffer, &done));
    EXPECT_EQ(std::string(buffer, done), "f");
    ASSERT_TRUE(file->Read(buffer, sizeof buffer, &done));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(file->Seek(-2, SeekOrigin::kCurrent), 5);
    EXPECT_EQ(file->Seek(-6, SeekOrigin::kCurrent), -1);
    EXPECT_EQ(file->Seek(-5, SeekOrigin::kCurrent), 0);
    EXPECT_EQ(file->Seek(100, SeekOrigin::kBegin), 100);
    ASSERT_TRUE(file->Read(buffer, 4, &done));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(file->Seek(-1, SeekOrigin::kBegin), -1);
    EXPECT_EQ(file->Seek(-101, SeekOrigin::kCurrent), -1);
  }
  EXPECT_EQ(host.OpenFileForRead(f + "Sub", kShareRead), nullptr);

  // Sharing: readers that share reading meet; a writer waits for readers
  // that do not share writing, where the host enforces it.
  {
    const std::unique_ptr<HostFile> first = host.OpenFileForRead(f + "Sub\\File.txt", kShareRead);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(host.OpenFileForRead(f + "Sub\\File.txt", kShareRead), nullptr);
    if (o.enforces_sharing) {
      EXPECT_EQ(host.CreateFileForWrite(f + "Sub\\File.txt"), nullptr);
    }
  }

  // The log: appended to, readable while it is written, one identity for
  // the file under any of its names; a path ending in a separator is none.
  {
    const std::string native = o.native_folder.empty() ? f : o.native_folder;
    ASSERT_TRUE(WriteAllTo(host, f + "Run.log", "first\n"));
    LogFileHandle log = host.OpenLogFile(native + "Run.log");
    ASSERT_NE(log.file, nullptr);
    EXPECT_TRUE(WriteAll(*log.file, "second\n", 7));
    const std::unique_ptr<HostFile> reader =
        host.OpenFileForRead(f + "Run.log", kShareRead | kShareWrite);
    EXPECT_NE(reader, nullptr);
    EXPECT_EQ(ReadAllOf(host, f + "Run.log"),
              o.enforces_sharing ? "<cannot open>" : "first\nsecond\n");
    EXPECT_EQ(host.FileIdentity(f + "sub\\..\\RUN.LOG"), log.identity);
    EXPECT_NE(host.FileIdentity(f + "Sub"), log.identity);
    EXPECT_EQ(host.FileIdentity(f + "Nothing.txt"), std::nullopt);
    EXPECT_EQ(host.OpenLogFile(native + "Sub" + native.back()).file, nullptr);
  }
  EXPECT_EQ(ReadAllOf(host, f + "Run.log"), "first\nsecond\n");

  // Replace and remove; a missing source replaces nothing, and a folder
  // is no file to remove.
  ASSERT_TRUE(WriteAllTo(host, f + "Sub\\New.txt", "new"));
  EXPECT_TRUE(host.ReplaceFileWith(f + "Sub\\New.txt", f + "Sub\\File.txt"));
  EXPECT_EQ(ReadAllOf(host, f + "Sub\\File.txt"), "new");
  EXPECT_EQ(host.FileAttributes(f + "Sub\\New.txt"), kInvalidFileAttributes);
  EXPECT_FALSE(host.ReplaceFileWith(f + "Sub\\Gone.txt", f + "Sub\\File.txt"));
  EXPECT_EQ(ReadAllOf(host, f + "Sub\\File.txt"), "new");
  EXPECT_TRUE(host.RemoveFile(f + "sub\\FILE.txt"));
  EXPECT_FALSE(host.RemoveFile(f + "Sub\\File.txt"));
  EXPECT_FALSE(host.RemoveFile(f + "Sub"));

  // A failed call says what, where and why.
  const struct {
    const char* what;
    std::function<bool()> call;
    std::string path;
  } failures[] = {
      {"open a missing file",
       [&] { return host.OpenFileForRead(f + "Nothing.txt", kShareRead) != nullptr; },
       f + "Nothing.txt"},
      {"make a folder in a missing one", [&] { return host.MakeOneDirectory(f + "No\\Sub"); },
       f + "No\\Sub"},
      {"remove a missing file", [&] { return host.RemoveFile(f + "Nothing.txt"); },
       f + "Nothing.txt"},
      {"start a missing program",
       [&] { return host.StartProcess("\"" + f + "Nothing.exe\" x", {}) != nullptr; }, f},
  };
  for (const auto& c : failures) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(c.call());
    const HostError e = host.LastError();
    EXPECT_NE(e.path.find(c.path), std::string::npos) << e.Message();
    EXPECT_FALSE(e.reason.empty());
    EXPECT_EQ(e.Message(), e.operation + " " + e.path + ": " + e.reason);
  }

  // The registry: string values by name, letter case ignored; keys made on
  // request only.
  const std::string key = "Software\\Corvantis Contract";
  EXPECT_EQ(host.OpenLocalMachineKey(key + "\\Missing", false), nullptr);
  std::unique_ptr<HostRegistryKey> k = host.OpenLocalMachineKey(key, true);
  ASSERT_NE(k, nullptr);
  EXPECT_TRUE(k->SetStringValue("InstallDir", "C:\\Intranet"));
  ASSERT_NE(k->OpenSubKey("Child", true), nullptr);
  k = host.OpenLocalMachineKey("SOFTWARE\\corvantis contract", false);
  ASSERT_NE(k, nullptr);
  std::string data;
  EXPECT_EQ(k->QueryValue("installdir", &data), RegValueType::kString);
  EXPECT_EQ(data, "C:\\Intranet");
  EXPECT_EQ(k->QueryValue("Missing", &data), RegValueType::kMissing);
  EXPECT_EQ(k->EnumSubKey(0), std::optional<std::string>("Child"));
  EXPECT_EQ(k->EnumSubKey(1), std::nullopt);
  // Each type the restore writes comes back as it went; a subkey goes only
  // while it holds nothing.
  const struct {
    RegValueType type;
    std::string data;
  } typed[] = {
      {RegValueType::kExpandString, "%SystemDrive%\\Intranet"},
      {RegValueType::kDword, std::string("\x2a\0\0\0", 4)},
      {RegValueType::kBinary, std::string("\0\x01\xff", 3)},
      {RegValueType::kString, "C:\\Intranet"},
  };
  for (const auto& t : typed) {
    ASSERT_TRUE(k->SetValue("Typed", t.type, t.data));
    EXPECT_EQ(k->QueryValue("typed", &data), t.type);
    EXPECT_EQ(data, t.data);
  }
  EXPECT_FALSE(k->SetValue("Typed", RegValueType::kOther, "x"));
  using Removal = HostRegistryKey::Removal;
  ASSERT_TRUE(k->OpenSubKey("Child\\Grandchild", true)->SetStringValue("x", "y"));
  EXPECT_EQ(k->DeleteEmptySubKey("Child"), Removal::kNotEmpty);
  EXPECT_EQ(k->DeleteEmptySubKey("Child\\Grandchild"), Removal::kNotEmpty);
  EXPECT_TRUE(k->OpenSubKey("Child\\Grandchild", false)->DeleteValue("x"));
  EXPECT_EQ(k->DeleteEmptySubKey("Child\\Grandchild"), Removal::kRemoved);
  EXPECT_EQ(k->DeleteEmptySubKey("Child\\Grandchild"), Removal::kAbsent);
  EXPECT_EQ(k->DeleteEmptySubKey("child"), Removal::kRemoved);
  EXPECT_EQ(k->EnumSubKey(0), std::nullopt);

  // A file's SHA-256: FIPS 180-2's known answers, the last one read in
  // many pieces; a missing file has none.
  const struct {
    std::string bytes;
    const char* digest;
  } digests[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& d : digests) {
    SCOPED_TRACE(d.bytes.size());
    ASSERT_TRUE(d.bytes.empty() ? host.CreateFileForWrite(f + "Digest.bin") != nullptr
                                : WriteAllTo(host, f + "Digest.bin", d.bytes));
    const std::optional<std::string> digest = FileSha256(host, f + "Digest.bin", kShareRead);
    ASSERT_TRUE(digest.has_value());
    EXPECT_EQ(digest->size(), 64u);
    if (o.real_sha256) {
      EXPECT_EQ(*digest, d.digest);
    }
  }
  EXPECT_EQ(FileSha256(host, f + "Missing.bin", kShareRead), std::nullopt);
}
