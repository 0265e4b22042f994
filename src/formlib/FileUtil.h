#pragma once
// Composite file operations, written once on top of the host's primitives:
// text files as lists of lines (the form library's TStringList load and
// save), whole-file reads, and a folder made with its parents.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Host.h"

// The file's bytes. Raises FileFault "Cannot open file %s" when it cannot be
// opened or read, is no regular file, or holds more than `max_size` bytes.
std::string LoadFile(Host& host, const std::string& path, size_t max_size = SIZE_MAX);

// The largest text file read as a list of lines: far above any real
// configuration file, low enough that a runaway one cannot exhaust memory.
constexpr size_t kMaxLineListFile = 64u << 20;

// The bytes split into lines at CR LF, a lone CR and a lone LF; a NUL byte
// ends the content. A final line break adds no empty line.
std::vector<std::string> SplitLines(const std::string& text);
// Every line followed by CR LF, the last one included.
std::string JoinLines(const std::vector<std::string>& lines);
// JoinLines of SplitLines, in one pass without a list.
std::string JoinedLines(const std::string& text);

// LoadFile of at most kMaxLineListFile bytes, then SplitLines.
std::vector<std::string> LoadLines(Host& host, const std::string& path);

// Replaces the file's content with `bytes`, the text made of `pieces` one
// after the other. The file keeps its identity (attributes and security, or
// mode and owner; a link stays a link, and the file it names is written).
// The bytes go to a new file of a fresh name beside it, which then replaces
// it in one step, so a failure leaves the old file whole; where no new file
// can be made there, or a replace cannot keep the identity, the file is
// overwritten in place. A read-only file, a folder or a device is left
// untouched. Raises FileFault "Cannot create file %s" on failure.
void SaveFileReplacing(Host& host, const std::string& path, const std::string& bytes);
void SaveFileReplacing(Host& host, const std::string& path,
                       const std::vector<std::string_view>& pieces);
// SaveFileReplacing of JoinLines.
void SaveLines(Host& host, const std::string& path, const std::vector<std::string>& lines);

// The folder and its missing parents (the form library's ForceDirectories).
// An empty path raises FileFault "Unable to create directory". A path
// shorter than three characters or an existing folder counts as done.
bool ForceDirectories(Host& host, const std::string& dir);
