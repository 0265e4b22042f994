#pragma once
// SaveFileAtomically: replaces a host file with new bytes so that a reader
// sees either the old file or the new one, never a part: the bytes go to a
// temporary file in the same folder, which is flushed to disk and renamed
// over the old one. On failure the temporary file is removed and the old
// file is left as it was.
//
// The system calls go through FileCalls so tests can make one of them fail.

#include <sys/types.h>

#include <string>

class FileCalls {
 public:
  FileCalls() = default;
  FileCalls(const FileCalls&) = delete;
  FileCalls& operator=(const FileCalls&) = delete;
  virtual ~FileCalls() = default;
  virtual ssize_t Write(int fd, const void* buffer, size_t count);
  virtual int Fsync(int fd);
  virtual int Rename(const char* from, const char* to);
};

// The real system calls.
FileCalls& SystemFileCalls();

// False on failure, with a message naming the file in `error`. The new file
// keeps the mode of the file it replaces (new files: 0666 less the umask).
bool SaveFileAtomically(const std::string& host_path, const std::string& bytes, std::string* error,
                        FileCalls& calls = SystemFileCalls());
