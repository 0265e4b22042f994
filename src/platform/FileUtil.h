#pragma once
// Composite file operations, written once on top of the host's primitives:
// text files as lists of lines (the form library's TStringList load and
// save), whole-file reads, and a folder made with its parents.

#include <string>
#include <vector>

#include "platform/Host.h"

// The file's bytes. Raises FileFault "Cannot open file %s" when it cannot be
// opened or read.
std::string LoadFile(Host& host, const std::string& path);

// The bytes split into lines at CR LF, a lone CR and a lone LF; a NUL byte
// ends the content. A final line break adds no empty line.
std::vector<std::string> SplitLines(const std::string& text);
// Every line followed by CR LF, the last one included.
std::string JoinLines(const std::vector<std::string>& lines);

// LoadFile then SplitLines.
std::vector<std::string> LoadLines(Host& host, const std::string& path);

// Replaces the file's content with `bytes`: written to a temporary file in
// the same folder, then renamed over the original, so a failure leaves the
// old file whole. Raises FileFault "Cannot create file %s" on failure.
void SaveFileReplacing(Host& host, const std::string& path, const std::string& bytes);
// SaveFileReplacing of JoinLines.
void SaveLines(Host& host, const std::string& path, const std::vector<std::string>& lines);

// The folder and its missing parents (the form library's ForceDirectories).
// An empty path raises FileFault "Unable to create directory". A path
// shorter than three characters or an existing folder counts as done.
bool ForceDirectories(Host& host, const std::string& dir);
