#pragma once
// Paths in the core's Windows syntax ('\' and '/' both separate) and the
// one folder climb every floor uses.

#include <string>

class Host;

bool IsSeparator(char c);

// The folder `dir` and each of its missing parents, made top down with
// Host::MakeOneDirectory. Trailing separators, doubled ones too, are not
// part of a name; a path shorter than three characters (a drive, a root)
// or an existing folder counts as done, an empty one as made as well, so
// callers decide about it. A path of thousands of folders costs neither
// the stack nor a copy of itself per level. False when a folder cannot be
// made (a file in the way included).
bool MakeFolderPath(Host& host, const std::string& dir);

// POSIX paths: the folder part of a host path, "." without a '/', "/" for
// a name in the root.
std::string HostFolderOf(const std::string& host_path);
