#include "platform/posix/PosixFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

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

// The errno for something at a path that is not a regular file.
int NotAFileError(const struct stat& st) { return S_ISDIR(st.st_mode) ? EISDIR : EINVAL; }

// Checks that the open descriptor is a regular file (a pipe or device may
// have been put in place after the path was looked at) and takes away the
// O_NONBLOCK it was opened with. Null, with errno in `*error`, otherwise.
std::unique_ptr<HostFile> RegularFile(FileDescriptor fd, int* error) {
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) {
    *error = errno;
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = NotAFileError(st);
    return nullptr;
  }
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    *error = errno;
    return nullptr;
  }
  return std::make_unique<PosixFile>(std::move(fd));
}

}  // namespace

std::unique_ptr<HostFile> OpenHostFileForRead(const std::string& host_path, int* error) {
  struct stat st;
  if (::stat(host_path.c_str(), &st) != 0) {
    *error = errno;
    return nullptr;
  }
  // Refused before any open: opening a device may already do something.
  if (!S_ISREG(st.st_mode)) {
    *error = NotAFileError(st);
    return nullptr;
  }
  FileDescriptor fd(::open(host_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) {
    *error = errno;
    return nullptr;
  }
  return RegularFile(std::move(fd), error);
}

std::unique_ptr<HostFile> CreateHostFileForWrite(const std::string& host_path, int* error) {
  // Whatever stands at the path may change between the calls: each step
  // checks again, and a link found on the way is removed and the creation
  // tried anew, a few times.
  for (int attempt = 0; attempt < 4; ++attempt) {
    FileDescriptor fd(
        ::open(host_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.valid()) return std::make_unique<PosixFile>(std::move(fd));
    if (errno != EEXIST) {
      *error = errno;
      return nullptr;
    }
    struct stat st;
    if (::lstat(host_path.c_str(), &st) != 0) {
      if (errno == ENOENT) continue;
      *error = errno;
      return nullptr;
    }
    // A link's target is not the installer's to write: the link goes and a
    // new file takes its place. So does a file with other hard links.
    if (S_ISLNK(st.st_mode) || (S_ISREG(st.st_mode) && st.st_nlink > 1)) {
      if (::unlink(host_path.c_str()) != 0 && errno != ENOENT) {
        *error = errno;
        return nullptr;
      }
      continue;
    }
    if (!S_ISREG(st.st_mode)) {
      *error = NotAFileError(st);
      return nullptr;
    }
    FileDescriptor existing(
        ::open(host_path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!existing.valid()) {
      if (errno == ELOOP || errno == ENOENT) continue;  // replaced meanwhile
      *error = errno;
      return nullptr;
    }
    struct stat now;
    if (::fstat(existing.get(), &now) != 0) {
      *error = errno;
      return nullptr;
    }
    if (!S_ISREG(now.st_mode) || now.st_nlink > 1) continue;
    if (::ftruncate(existing.get(), 0) != 0) {
      *error = errno;
      return nullptr;
    }
    return RegularFile(std::move(existing), error);
  }
  *error = EEXIST;
  return nullptr;
}

std::unique_ptr<HostFile> OverwriteHostFile(const std::string& host_path, int* error) {
  struct stat st;
  if (::stat(host_path.c_str(), &st) != 0) {
    *error = errno;
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = NotAFileError(st);
    return nullptr;
  }
  if (IsReadOnlyHostFile(host_path, st)) {
    *error = EACCES;
    return nullptr;
  }
  FileDescriptor fd(::open(host_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) {
    *error = errno;
    return nullptr;
  }
  struct stat now;
  if (::fstat(fd.get(), &now) != 0 || !S_ISREG(now.st_mode)) {
    *error = errno != 0 ? errno : EINVAL;
    return nullptr;
  }
  if (::ftruncate(fd.get(), 0) != 0) {
    *error = errno;
    return nullptr;
  }
  return RegularFile(std::move(fd), error);
}

std::string ResolvedHostPath(const std::string& host_path) {
  char resolved[PATH_MAX];
  if (::realpath(host_path.c_str(), resolved) == nullptr) return host_path;
  return resolved;
}

std::unique_ptr<HostFile> CreateHostFileBeside(const std::string& host_path, std::string* created,
                                               int* error) {
  // mkostemp makes a fresh name with O_CREAT | O_EXCL, which never follows
  // a link; its mode is 0600 until the replace gives it the old file's.
  const std::string pattern = ResolvedHostPath(host_path) + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  FileDescriptor fd(::mkostemp(name.data(), O_CLOEXEC));
  if (!fd.valid()) {
    *error = errno;
    return nullptr;
  }
  *created = name.data();
  return std::make_unique<PosixFile>(std::move(fd));
}

bool IsReadOnlyHostFile(const std::string& host_path, const struct stat& st) {
  return (st.st_mode & 0222) == 0 || ::access(host_path.c_str(), W_OK) != 0;
}

bool ReplaceHostFileKeepingIdentity(const std::string& host_from, const std::string& host_to,
                                    int* error) {
  const std::string target = ResolvedHostPath(host_to);
  struct stat st;
  if (::lstat(target.c_str(), &st) != 0) {
    if (errno != ENOENT) {
      *error = errno;
      return false;
    }
    // Nothing there: the new file takes the name, with a new file's mode.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    if (::chmod(host_from.c_str(), 0666 & ~mask) != 0 ||
        ::rename(host_from.c_str(), host_to.c_str()) != 0) {
      *error = errno;
      return false;
    }
    return true;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = NotAFileError(st);
    return false;
  }
  // A rename would part the other names of the file from its content, and
  // a read-only file is not to be replaced.
  if (st.st_nlink > 1 || IsReadOnlyHostFile(target, st)) {
    *error = st.st_nlink > 1 ? EMLINK : EACCES;
    return false;
  }
  {
    FileDescriptor fd(::open(host_from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat from;
    if (!fd.valid() || ::fstat(fd.get(), &from) != 0 || !S_ISREG(from.st_mode)) {
      *error = fd.valid() ? EINVAL : errno;
      return false;
    }
    // The owner first: a change of owner may clear the set-id bits.
    if ((from.st_uid != st.st_uid || from.st_gid != st.st_gid) &&
        ::fchown(fd.get(), st.st_uid, st.st_gid) != 0) {
      *error = errno;
      return false;
    }
    if (::fchmod(fd.get(), st.st_mode & 07777) != 0 || ::fsync(fd.get()) != 0) {
      *error = errno;
      return false;
    }
  }
  if (::rename(host_from.c_str(), target.c_str()) != 0) {
    *error = errno;
    return false;
  }
  // The rename itself is durable only once the folder is flushed.
  FileDescriptor folder(::open(HostFolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid()) ::fsync(folder.get());
  return true;
}

std::unique_ptr<HostFile> AppendHostFile(const std::string& host_path, struct stat* st,
                                         int* error) {
  if (host_path.empty() || host_path.back() == '/') {
    *error = EISDIR;
    return nullptr;
  }
  // O_NONBLOCK so that a pipe nobody reads fails (ENXIO) instead of waiting;
  // the writes then block as usual.
  FileDescriptor fd(
      ::open(host_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666));
  if (!fd.valid() || ::fstat(fd.get(), st) != 0) {
    *error = errno;
    return nullptr;
  }
  if (S_ISDIR(st->st_mode)) {
    *error = EISDIR;
    return nullptr;
  }
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    *error = errno;
    return nullptr;
  }
  return std::make_unique<PosixFile>(std::move(fd));
}
