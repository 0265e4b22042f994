#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "TempFolder.h"
#include "platform/posix/AtomicFile.h"

namespace {

// Forwards to the system but fails the call chosen.
class FailingCalls : public FileCalls {
 public:
  enum Step { kNone, kFirstWrite, kSecondWrite, kFsync, kRename };
  explicit FailingCalls(Step step) : step_(step) {}

  ssize_t Write(int fd, const void* buffer, size_t count) override {
    ++writes_;
    if ((step_ == kFirstWrite && writes_ == 1) || (step_ == kSecondWrite && writes_ == 2)) {
      errno = ENOSPC;
      return -1;
    }
    // Half at a time, so a later write has something to fail.
    return FileCalls::Write(fd, buffer, count > 1 ? count / 2 : count);
  }
  int Fsync(int fd) override {
    if (step_ == kFsync) {
      errno = EIO;
      return -1;
    }
    return FileCalls::Fsync(fd);
  }
  int Rename(const char* from, const char* to) override {
    if (step_ == kRename) {
      errno = EXDEV;
      return -1;
    }
    return FileCalls::Rename(from, to);
  }

 private:
  Step step_;
  int writes_ = 0;
};

TEST(AtomicFileTest, FailedSaveLeavesTheOldFileWholeAndNoTemporaryFile) {
  const struct {
    FailingCalls::Step step;
    const char* name;
  } cases[] = {{FailingCalls::kFirstWrite, "first write"},
               {FailingCalls::kSecondWrite, "second write"},
               {FailingCalls::kFsync, "fsync"},
               {FailingCalls::kRename, "rename"}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    TempFolder folder;
    const std::string file = folder / "system.reg";
    WriteHostFile(file, "REGEDIT4\nold\n");
    FailingCalls calls(k.step);
    std::string error;
    EXPECT_FALSE(SaveFileAtomically(file, "REGEDIT4\nnew and longer\n", &error, calls));
    EXPECT_NE(error.find("system.reg"), std::string::npos) << error;
    EXPECT_EQ(ReadHostFile(file), "REGEDIT4\nold\n");
    EXPECT_EQ(FolderNames(folder.path()), std::vector<std::string>{"system.reg"});
  }
}

TEST(AtomicFileTest, SaveReplacesTheContentAndKeepsTheMode) {
  TempFolder folder;
  const std::string file = folder / "system.reg";
  WriteHostFile(file, "old");
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  FailingCalls calls(FailingCalls::kNone);  // short writes only
  std::string error;
  ASSERT_TRUE(SaveFileAtomically(file, "new content", &error, calls)) << error;
  EXPECT_EQ(ReadHostFile(file), "new content");
  struct stat st;
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(FolderNames(folder.path()), std::vector<std::string>{"system.reg"});
}

}  // namespace
