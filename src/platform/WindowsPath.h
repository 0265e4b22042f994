#pragma once
// Windows path names as text: no file system is asked.

#include <optional>
#include <string>

// The full form of a name that starts with a drive ("c:/Web//a/..",
// "C:\\Web\\"): the drive letter in capitals, '\\' between the folders,
// "." and ".." resolved (".." stops at the drive), no '\\' at the end but
// after the drive. nullopt when the name does not start with a drive letter,
// a colon and a separator.
std::optional<std::string> CanonicalWindowsPath(const std::string& name);
