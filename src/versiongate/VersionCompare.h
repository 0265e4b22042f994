#pragma once

#include <string>

// Orders two dotted versions of up to four integer components: -1, 0 or 1.
// A component that is not a valid integer raises ConvertFault
// "'%s' is not a valid integer value".
int CompareVersions(std::string a, std::string b);
