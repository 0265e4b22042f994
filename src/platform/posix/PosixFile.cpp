#include "platform/posix/PosixFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/FileDescriptor.h"

namespace {

class PosixFile : public HostFile {
 public:
  explicit PosixFile(FileDescriptor fd) : fd_(std::move(fd)) {}

  // A disk file delivers everything asked for except at its end; the loop
  // keeps that true when a signal interrupts a call.
  bool Read(void* buffer, uint32_t count, uint32_t* done) override {
    *done = 0;
    char* at = static_cast<char*>(buffer);
    while (*done < count) {
      const ssize_t n = ::read(fd_.get(), at + *done, count - *done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return *done > 0;
      if (n == 0) break;
      *done += static_cast<uint32_t>(n);
    }
    return true;
  }

  bool Write(const void* buffer, uint32_t count, uint32_t* done) override {
    *done = 0;
    const char* at = static_cast<const char*>(buffer);
    while (*done < count) {
      const ssize_t n = ::write(fd_.get(), at + *done, count - *done);
      if (n < 0 && errno == EINTR) continue;
      // A full disk: what was taken counts; nothing taken is a failed call.
      if (n <= 0) return *done > 0;
      *done += static_cast<uint32_t>(n);
    }
    return true;
  }

  int64_t Seek(int64_t distance, SeekOrigin origin) override {
    int64_t target = distance;
    if (origin == SeekOrigin::kCurrent) {
      const off_t now = ::lseek(fd_.get(), 0, SEEK_CUR);
      if (now < 0) return -1;
      target += now;
    }
    if (target < 0) return -1;
    const off_t result = ::lseek(fd_.get(), static_cast<off_t>(target), SEEK_SET);
    return result < 0 ? -1 : static_cast<int64_t>(result);
  }

 private:
  FileDescriptor fd_;
};

}  // namespace

std::unique_ptr<HostFile> OpenHostFileForRead(const std::string& host_path, int* error) {
  FileDescriptor fd(::open(host_path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    *error = errno;
    return nullptr;
  }
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) {
    *error = errno;
    return nullptr;
  }
  if (S_ISDIR(st.st_mode)) {
    *error = EISDIR;
    return nullptr;
  }
  return std::make_unique<PosixFile>(std::move(fd));
}

std::unique_ptr<HostFile> CreateHostFileForWrite(const std::string& host_path, int* error) {
  FileDescriptor fd(::open(host_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd.valid()) {
    *error = errno;
    return nullptr;
  }
  return std::make_unique<PosixFile>(std::move(fd));
}
