#include "platform/posix/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/posix/FileDescriptor.h"
#include "platform/posix/OsError.h"
#include "platform/posix/PosixFile.h"

ssize_t FileCalls::Write(int fd, const void* buffer, size_t count) {
  return ::write(fd, buffer, count);
}

int FileCalls::Fsync(int fd) { return ::fsync(fd); }

int FileCalls::Rename(const char* from, const char* to) { return ::rename(from, to); }

FileCalls& SystemFileCalls() {
  static FileCalls calls;
  return calls;
}

namespace {

mode_t NewFileMode() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool SaveFileAtomically(const std::string& host_path, const std::string& bytes, std::string* error,
                        FileCalls& calls) {
  auto fail = [&](const std::string& operation, const std::string& path, int err) {
    if (error != nullptr) *error = OsErrorMessage(operation, path, err);
    return false;
  };

  struct stat old_file;
  const mode_t mode =
      ::stat(host_path.c_str(), &old_file) == 0 ? (old_file.st_mode & 07777) : NewFileMode();

  std::string temp_name = host_path + ".XXXXXX";
  std::vector<char> name_buffer(temp_name.begin(), temp_name.end());
  name_buffer.push_back('\0');
  FileDescriptor temp(::mkostemp(name_buffer.data(), O_CLOEXEC));
  if (!temp.valid()) return fail("cannot create a file beside", host_path, errno);
  temp_name = name_buffer.data();

  // Removes the temporary file unless the rename took it.
  struct TempRemover {
    const std::string& name;
    bool armed = true;
    ~TempRemover() {
      if (armed) ::unlink(name.c_str());
    }
  } remover{temp_name};

  if (::fchmod(temp.get(), mode) != 0) return fail("cannot set the mode of", temp_name, errno);
  size_t at = 0;
  while (at < bytes.size()) {
    const ssize_t n = calls.Write(temp.get(), bytes.data() + at, bytes.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail("cannot write", temp_name, n < 0 ? errno : ENOSPC);
    at += static_cast<size_t>(n);
  }
  if (calls.Fsync(temp.get()) != 0) return fail("cannot flush", temp_name, errno);
  if (temp.Reset() != 0) return fail("cannot write", temp_name, errno);
  if (calls.Rename(temp_name.c_str(), host_path.c_str()) != 0)
    return fail("cannot replace", host_path, errno);
  remover.armed = false;

  // The rename itself is durable only once the folder is flushed.
  FileDescriptor folder(
      ::open(HostFolderOf(host_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid()) calls.Fsync(folder.get());
  return true;
}
