#include "frontend/posix/TextLayout.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int kProgressCells = 30;

// Appends `line` cut at blanks to fit `width`; a word longer than the width
// is left whole.
void AppendWrapped(std::string line, size_t width, std::vector<std::string>* lines) {
  while (line.size() > width) {
    size_t cut = line.rfind(' ', width);
    if (cut == std::string::npos || cut == 0) cut = line.find(' ', width);
    if (cut == std::string::npos) break;
    size_t keep = cut;
    while (keep > 0 && line[keep - 1] == ' ') --keep;
    lines->push_back(line.substr(0, keep));
    size_t next = cut;
    while (next < line.size() && line[next] == ' ') ++next;
    line = line.substr(next);
  }
  lines->push_back(line);
}

}  // namespace

std::string StripAccelerators(const std::string& caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] != '&') {
      out.push_back(caption[i]);
    } else if (i + 1 < caption.size() && caption[i + 1] == '&') {
      out.push_back('&');
      ++i;
    }
  }
  return out;
}

std::string LabelText(const Control& label) {
  return label.focus_control != nullptr ? StripAccelerators(label.text) : label.text;
}

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
  return s.substr(a, b - a);
}

std::vector<std::string> TextLines(const std::string& text, bool wrap, size_t width) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    std::string line =
        text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (wrap)
      AppendWrapped(std::move(line), width, &lines);
    else
      lines.push_back(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  // Blank lines around a text are layout of the window, not content.
  while (!lines.empty() && Trim(lines.back()).empty()) lines.pop_back();
  while (!lines.empty() && Trim(lines.front()).empty()) lines.erase(lines.begin());
  return lines;
}

std::string ProgressBar(int position) {
  const int p = std::clamp(position, 0, 100);
  const int filled = p * kProgressCells / 100;
  std::string bar =
      "[" + std::string(filled, '#') + std::string(kProgressCells - filled, '-') + "]";
  std::string percent = std::to_string(p) + "%";
  return bar + " " + std::string(4 - percent.size(), ' ') + percent;
}

std::vector<std::string> ControlLines(const Control& c, size_t width) {
  switch (c.kind) {
    case ControlKind::kLabel:
      if (c.link) return {};
      return TextLines(LabelText(c), c.word_wrap, width);
    case ControlKind::kMemo: {
      std::vector<std::string> lines;
      for (const std::string& l : c.lines) {
        if (l.empty()) lines.push_back(l);  // the memo's own blank lines stay
        for (std::string& part : TextLines(l, c.word_wrap, width)) lines.push_back(part);
      }
      return lines;
    }
    case ControlKind::kPanel:
      return TextLines(c.text, false, width);
    case ControlKind::kGroupBox:
      return TextLines(StripAccelerators(c.text), false, width);
    case ControlKind::kProgressBar:
      return {ProgressBar(c.position)};
    default:
      return {};
  }
}
