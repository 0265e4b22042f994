#pragma once
// The php.ini update as it once ran, one extension line at a time: the whole
// text joined, searched and split again per line. Slow (quadratic), but it
// fixes the bytes the update must give; tests, the fuzz target and the
// benchmark compare with it.

#include <string>
#include <vector>

#include "formlib/FileUtil.h"

inline std::vector<std::string> AddOneAtATime(std::vector<std::string> lines,
                                              const std::vector<std::string>& add,
                                              const std::string& title) {
  for (const std::string& line : add) {
    std::string t = JoinLines(lines);
    if (t.find(line) != std::string::npos) continue;
    size_t at = t.size();
    const size_t anchor = t.find("extension=php_zip.dll");
    if (anchor != std::string::npos) {
      const size_t line_end = t.find("\r\n", anchor + 21);
      if (line_end != std::string::npos)
        at = t.compare(line_end + 2, 2, "\r\n") == 0 ? line_end + 4 : line_end + 2;
    }
    t.insert(at, "\r\n\r\n; " + title + " extensions\r\n" + line + "\r\n");
    lines = SplitLines(t);
  }
  return lines;
}
