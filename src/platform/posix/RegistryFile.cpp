#include "platform/posix/RegistryFile.h"

#include <cstdio>

#include "platform/Text.h"

namespace {

const char kHeader[] = "REGEDIT4";
const char kRootName[] = "HKEY_LOCAL_MACHINE";
constexpr size_t kHexLineWidth = 76;

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && AnsiLowerCase(a) == AnsiLowerCase(b);
}

bool HasLineBreak(const std::string& s) {
  return s.find('\n') != std::string::npos || s.find('\r') != std::string::npos;
}

std::vector<std::string> KeyNames(const std::string& path) {
  std::vector<std::string> names;
  std::string name;
  for (char c : path) {
    if (c == '\\') {
      if (!name.empty()) names.push_back(name);
      name.clear();
    } else {
      name.push_back(c);
    }
  }
  if (!name.empty()) names.push_back(name);
  return names;
}

// Reads a quoted text starting at text[*at] == '"'. On success `*at` is just
// after the closing quote.
bool ReadQuoted(const std::string& text, size_t* at, std::string* out) {
  out->clear();
  size_t p = *at + 1;
  while (p < text.size()) {
    const char c = text[p];
    if (c == '"') {
      *at = p + 1;
      return true;
    }
    if (c == '\\' && p + 1 < text.size() && (text[p + 1] == '\\' || text[p + 1] == '"')) {
      out->push_back(text[p + 1]);
      p += 2;
    } else {
      out->push_back(c);
      ++p;
    }
  }
  return false;
}

// A string value written by hand with single backslashes, such as
// "C:\Apache2.2\": its last \" reads as an escaped quote and the text never
// closes. Taken as a backslash followed by the closing quote.
bool ReadQuotedEndingInBackslash(const std::string& data, std::string* out) {
  const std::string rest = TrimRight(data);
  if (rest.size() < 3 || rest[0] != '"' || rest.compare(rest.size() - 2, 2, "\\\"") != 0)
    return false;
  out->clear();
  const std::string inner = rest.substr(1, rest.size() - 2);
  for (size_t p = 0; p < inner.size(); ++p) {
    if (inner[p] == '\\' && p + 1 < inner.size() && (inner[p + 1] == '\\' || inner[p + 1] == '"'))
      ++p;
    out->push_back(inner[p]);
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHexBytes(const std::string& list, std::string* out) {
  out->clear();
  std::string digits;
  auto flush = [&]() {
    if (digits.empty() || digits.size() > 2) return false;
    int v = 0;
    for (char d : digits) v = v * 16 + HexDigit(d);
    out->push_back(static_cast<char>(v));
    digits.clear();
    return true;
  };
  bool any = false;
  for (char c : list) {
    if (c == ' ' || c == '\t') continue;
    if (c == ',') {
      if (!flush()) return false;
      any = false;
      continue;
    }
    if (HexDigit(c) < 0) return false;
    digits.push_back(c);
    any = true;
  }
  if (any && !flush()) return false;
  return true;
}

// Whether a line (its leading blanks removed) can go on a hex list left
// open by a '\': not a blank line, a section or a value, so that a list left
// open at the end of the file takes no line written after it.
bool ContinuesHexList(const std::string& line) {
  return !TrimRight(line).empty() && line[0] != '[' && line[0] != '"' && line[0] != '@';
}

bool ParseUnsignedHex(const std::string& text, uint32_t* value) {
  const std::string t = TrimRight(TrimLeft(text));
  if (t.empty() || t.size() > 8) return false;
  uint32_t v = 0;
  for (char c : t) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    v = v * 16 + static_cast<uint32_t>(d);
  }
  *value = v;
  return true;
}

std::string DwordBytes(uint32_t v) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return bytes;
}

uint32_t DwordValue(const std::string& bytes) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[i]);
  return v;
}

// The section header's key names, or nullopt for a section to be skipped
// (a deletion "[-...]", or another hive).
std::optional<std::vector<std::string>> SectionKey(const std::string& header) {
  if (!header.empty() && header[0] == '-') return std::nullopt;
  std::vector<std::string> names = KeyNames(header);
  if (!names.empty() && SameName(names[0], kRootName))
    names.erase(names.begin());
  else if (!names.empty() && AsciiLowerCase(names[0]).compare(0, 5, "hkey_") == 0)
    return std::nullopt;
  return names;
}

// A section whose first key name reads back as a deletion or another hive
// when it opens the header ("[-x]", "[HKEY_x]").
bool NeedsRootName(const std::vector<std::string>& key) {
  return !key.empty() && !key[0].empty() &&
         (key[0][0] == '-' || AsciiLowerCase(key[0]).compare(0, 5, "hkey_") == 0);
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

std::string HexList(const std::string& lead, const std::string& bytes, const std::string& eol) {
  std::string out = lead;
  size_t line_start = 0;
  char hex[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(bytes[i]));
    out += hex;
    if (i + 1 == bytes.size()) break;
    out += ',';
    if (out.size() - line_start >= kHexLineWidth) {
      out += "\\" + eol + "  ";
      line_start = out.size() - 2;
    }
  }
  return out;
}

std::string TypedHexLead(uint32_t type) {
  if (type == kRegBinary) return "hex:";
  char lead[24];
  std::snprintf(lead, sizeof lead, "hex(%x):", static_cast<unsigned>(type));
  return lead;
}

// The value's lines, each but the last followed by `eol`.
std::string ValueLine(const RegistryValue& value, const std::string& eol) {
  const std::string name = value.name.empty() ? "@" : Quote(value.name);
  const std::string lead = name + "=";
  switch (value.type) {
    case kRegSz:
      // A line break or a zero byte cannot stand in a quoted text: the
      // same bytes as a hex list of type 1, which reads back as REG_SZ.
      if (HasLineBreak(value.data) || value.data.find('\0') != std::string::npos)
        return HexList(lead + TypedHexLead(kRegSz), value.data + std::string(1, '\0'), eol);
      return lead + Quote(value.data);
    case kRegExpandSz:
      return HexList(lead + TypedHexLead(kRegExpandSz), value.data + std::string(1, '\0'), eol);
    case kRegDword:
      if (value.data.size() == 4) {
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x",
                      static_cast<unsigned>(DwordValue(value.data)));
        return lead + text;
      }
      return HexList(lead + TypedHexLead(kRegDword), value.data, eol);
    default:
      return HexList(lead + TypedHexLead(value.type), value.data, eol);
  }
}

// The section header's text for a key: every '\' doubled, as Wine writes.
std::string SectionHeader(const std::vector<std::string>& key) {
  std::string out = "[";
  // Such a key came from a header that named the root first; so does its
  // header again, or the key and its values would be lost on the next read.
  if (NeedsRootName(key)) out += std::string(kRootName) + "\\\\";
  for (size_t i = 0; i < key.size(); ++i) {
    if (i > 0) out += "\\\\";
    out += key[i];
  }
  return out + "]";
}

}  // namespace

// A line of the text: its bytes run from `begin` to `end` (a CR before its
// LF, or before the end of the text, left out); the next line starts at
// `next`.
struct RegistryFile::Line {
  size_t begin, end, next;
};

namespace {

// The lines between the LFs; text after the last LF is a line too.
template <typename LineT>
std::vector<LineT> SplitLines(const std::string& text) {
  std::vector<LineT> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    const size_t next = end == std::string::npos ? text.size() + 1 : end + 1;
    if (end == std::string::npos) end = text.size();
    size_t content_end = end;
    if (content_end > start && text[content_end - 1] == '\r') --content_end;
    lines.push_back({start, content_end, std::min(next, text.size())});
    start = next;
  }
  return lines;
}

// The type of a "hex:" or "hex(N):" lead (`kind` is what stands between
// "hex" and ':'); false when it is neither.
bool HexType(const std::string& kind, uint32_t* type) {
  if (kind.empty()) {
    *type = kRegBinary;
    return true;
  }
  return kind.size() >= 3 && kind.front() == '(' && kind.back() == ')' &&
         ParseUnsignedHex(kind.substr(1, kind.size() - 2), type);
}

}  // namespace

std::optional<RegistryFile> RegistryFile::Parse(const std::string& text, std::string* error) {
  RegistryFile file;
  file.text_ = text;
  if (!file.Read(error)) return std::nullopt;
  return file;
}

bool RegistryFile::Read(std::string* error) {
  sections_.clear();
  nodes_.assign(1, KeyNode());
  has_header_ = false;
  const std::vector<Line> lines = SplitLines<Line>(text_);
  auto line_text = [&](size_t i) {
    return text_.substr(lines[i].begin, lines[i].end - lines[i].begin);
  };
  size_t i = 0;
  while (i < lines.size() && TrimRight(line_text(i)).empty()) ++i;
  if (i == lines.size()) return true;
  std::string first = TrimRight(line_text(i));
  if (first.compare(0, 3, "\xEF\xBB\xBF") == 0) first.erase(0, 3);
  if (first != kHeader) {
    if (error != nullptr) *error = "not a REGEDIT4 file";
    return false;
  }
  has_header_ = true;
  line_end_ = text_.compare(lines[i].end, 2, "\r\n") == 0 ? "\r\n" : "\n";
  size_t current = kNoSection;  // the node of the key the lines belong to
  for (++i; i < lines.size(); ++i) {
    const std::string line = TrimLeft(line_text(i));
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      const size_t close = line.rfind(']');
      current = kNoSection;
      if (close == std::string::npos) continue;
      const std::optional<std::vector<std::string>> key = SectionKey(line.substr(1, close - 1));
      if (!key) continue;
      current = SectionFor(*key);
      RegistrySection& section = sections_[nodes_[current].section];
      section.last_line = {lines[i].begin, lines[i].end, lines[i].next};
      if (section.headers++ == 0) section.header = section.last_line;
    } else if (current != kNoSection) {
      ReadSectionLine(lines, &i, current);
    }
  }
  return true;
}

void RegistryFile::ReadSectionLine(const std::vector<Line>& lines, size_t* i, size_t key) {
  const size_t first_line = *i;
  const std::string line = TrimLeft(text_.substr(lines[*i].begin, lines[*i].end - lines[*i].begin));
  RegistryValue value;
  size_t at = 0;
  bool understood = line[0] == '@';
  if (understood) at = 1;
  if (line[0] == '"') understood = ReadQuoted(line, &at, &value.name);
  if (understood) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    understood = at < line.size() && line[at] == '=';
  }
  if (understood) {
    ++at;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    ReadValueData(lines, i, key, std::move(value), line.substr(at));
  }
  // Every line of a section, understood or not, is its last line so far.
  sections_[nodes_[key].section].last_line = {lines[first_line].begin, lines[*i].end,
                                              lines[*i].next};
}

bool RegistryFile::ReadValueData(const std::vector<Line>& lines, size_t* i, size_t key,
                                 RegistryValue value, const std::string& data) {
  const size_t first_line = *i;
  const auto put = [&]() {
    value.lines = {lines[first_line].begin, lines[*i].end, lines[*i].next};
    PutValue(key, std::move(value));
    return true;
  };
  if (!data.empty() && data[0] == '"') {
    size_t end = 0;
    if (ReadQuoted(data, &end, &value.data) && TrimRight(data.substr(end)).empty()) return put();
    return ReadQuotedEndingInBackslash(data, &value.data) && put();
  }
  if (data == "-") {
    KeyNode& node = nodes_[key];
    std::vector<RegistryValue>& values = sections_[node.section].values;
    const auto found = node.value_index.find(AnsiLowerCase(value.name));
    if (found == node.value_index.end()) return true;
    const size_t index = found->second;
    values.erase(values.begin() + static_cast<std::ptrdiff_t>(index));
    node.value_index.erase(found);
    for (auto& entry : node.value_index)
      if (entry.second > index) --entry.second;
    return true;
  }
  if (data.compare(0, 6, "dword:") == 0) {
    uint32_t v = 0;
    if (!ParseUnsignedHex(data.substr(6), &v)) return false;
    value.type = kRegDword;
    value.data = DwordBytes(v);
    return put();
  }
  const size_t colon = data.find(':');
  if (data.compare(0, 3, "hex") != 0 || colon == std::string::npos ||
      !HexType(data.substr(3, colon - 3), &value.type))
    return false;
  std::string list = TrimRight(data.substr(colon + 1));
  const auto line_text = [&](size_t n) {
    return TrimLeft(text_.substr(lines[n].begin, lines[n].end - lines[n].begin));
  };
  while (!list.empty() && list.back() == '\\' && *i + 1 < lines.size() &&
         ContinuesHexList(line_text(*i + 1))) {
    list.pop_back();
    list += TrimRight(line_text(++*i));
  }
  if (!ParseHexBytes(list, &value.data)) return false;
  if ((value.type == kRegSz || value.type == kRegExpandSz) && !value.data.empty() &&
      value.data.back() == '\0')
    value.data.pop_back();
  return put();
}

void RegistryFile::Edit(size_t from, size_t to, const std::string& bytes) {
  text_.replace(from, to - from, bytes);
  // The edited text reads as before but for the edit: it was read once.
  Read(nullptr);
}

size_t RegistryFile::FindNode(const std::vector<std::string>& key) const {
  size_t node = 0;
  for (const std::string& name : key) {
    const auto found = nodes_[node].by_name.find(AnsiLowerCase(name));
    if (found == nodes_[node].by_name.end()) return kNoSection;
    node = found->second;
  }
  return node;
}

const RegistrySection* RegistryFile::FindSection(const std::vector<std::string>& key) const {
  const size_t node = FindNode(key);
  if (node == kNoSection || nodes_[node].section == kNoSection) return nullptr;
  return &sections_[nodes_[node].section];
}

std::vector<std::string> RegistryFile::Spelled(const std::vector<std::string>& key) const {
  std::vector<std::string> spelled = key;
  size_t node = 0;
  for (std::string& name : spelled) {
    const auto found = nodes_[node].by_name.find(AnsiLowerCase(name));
    if (found == nodes_[node].by_name.end()) break;
    node = found->second;
    name = nodes_[node].name;
  }
  return spelled;
}

size_t RegistryFile::SectionFor(const std::vector<std::string>& key) {
  size_t node = 0;
  std::vector<std::string> spelled;
  for (const std::string& name : key) {
    const std::string lower = AnsiLowerCase(name);
    auto found = nodes_[node].by_name.find(lower);
    if (found == nodes_[node].by_name.end()) {
      const size_t added = nodes_.size();
      nodes_.emplace_back();
      nodes_.back().name = name;
      nodes_[node].subkeys.push_back(added);
      found = nodes_[node].by_name.emplace(lower, added).first;
    }
    node = found->second;
    spelled.push_back(nodes_[node].name);
  }
  if (nodes_[node].section == kNoSection) {
    nodes_[node].section = sections_.size();
    sections_.emplace_back();
    sections_.back().key = std::move(spelled);
  }
  return node;
}

void RegistryFile::PutValue(size_t key, RegistryValue value) {
  KeyNode& node = nodes_[key];
  std::vector<RegistryValue>& values = sections_[node.section].values;
  const auto [found, added] = node.value_index.emplace(AnsiLowerCase(value.name), values.size());
  if (added) {
    values.push_back(std::move(value));
    return;
  }
  RegistryValue& v = values[found->second];
  v.type = value.type;
  v.data = std::move(value.data);
  v.lines = value.lines;
}

bool RegistryFile::KeyExists(const std::string& key) const {
  return FindNode(KeyNames(key)) != kNoSection;
}

std::vector<std::string> RegistryFile::SubKeys(const std::string& key) const {
  std::vector<std::string> subkeys;
  const size_t node = FindNode(KeyNames(key));
  if (node == kNoSection) return subkeys;
  for (size_t subkey : nodes_[node].subkeys) subkeys.push_back(nodes_[subkey].name);
  return subkeys;
}

const RegistryValue* RegistryFile::FindValue(const std::string& key,
                                             const std::string& name) const {
  const size_t node = FindNode(KeyNames(key));
  if (node == kNoSection || nodes_[node].section == kNoSection) return nullptr;
  const auto found = nodes_[node].value_index.find(AnsiLowerCase(name));
  if (found == nodes_[node].value_index.end()) return nullptr;
  return &sections_[nodes_[node].section].values[found->second];
}

bool RegistryFile::AddKey(const std::string& key) {
  const std::vector<std::string> names = KeyNames(key);
  for (const std::string& name : names)
    if (HasLineBreak(name)) return false;
  // A path that starts with a hive name or a deletion is a caller's mistake.
  if (NeedsRootName(names)) return false;
  if (FindSection(names) != nullptr) return true;
  // Blank lines only: the file starts anew.
  if (!has_header_) Edit(0, text_.size(), std::string(kHeader) + line_end_);
  std::string added;
  if (!text_.empty() && text_.back() != '\n') added += line_end_;
  added += line_end_ + SectionHeader(Spelled(names)) + line_end_;
  Edit(text_.size(), text_.size(), added);
  return true;
}

bool RegistryFile::DeleteValue(const std::string& key, const std::string& name) {
  // Each edit reads the file again: an earlier definition of the value, if
  // any, is the one found next.
  bool found = false;
  for (;;) {
    const RegistrySection* section = FindSection(KeyNames(key));
    if (section == nullptr) return found;
    const RegistryValue* existing = nullptr;
    for (const RegistryValue& value : section->values)
      if (SameName(value.name, name)) existing = &value;
    if (existing == nullptr) return found;
    const RegistrySpan span = existing->lines;
    Edit(span.begin, span.next, std::string());
    found = true;
  }
}

bool RegistryFile::DeleteEmptyKey(const std::string& key) {
  const size_t node = FindNode(KeyNames(key));
  if (node == kNoSection || node == 0 || !nodes_[node].subkeys.empty() ||
      nodes_[node].section == kNoSection)
    return false;
  const RegistrySection& section = sections_[nodes_[node].section];
  if (!section.values.empty() || section.headers != 1 ||
      section.last_line.begin != section.header.begin)
    return false;
  size_t from = section.header.begin;
  // The line before the header, when it is blank.
  if (from > 0 && text_[from - 1] == '\n') {
    size_t blank = from - 1;
    if (blank > 0 && text_[blank - 1] == '\r') --blank;
    if (blank > 0 && text_[blank - 1] == '\n') from = blank;
  }
  Edit(from, section.header.next, std::string());
  return true;
}

bool RegistryFile::SetValue(const std::string& key, const std::string& name, uint32_t type,
                            const std::string& data) {
  if (HasLineBreak(name) || !AddKey(key)) return false;
  const RegistrySection* section = FindSection(KeyNames(key));
  RegistryValue value;
  value.name = name;
  value.type = type;
  value.data = data;
  for (const RegistryValue& existing : section->values) {
    if (!SameName(existing.name, name)) continue;
    // In the place of its lines, their last line end kept, and its name
    // spelled as before.
    value.name = existing.name;
    const RegistrySpan span = existing.lines;
    Edit(span.begin, span.end, ValueLine(value, line_end_));
    return true;
  }
  // After the last line of the key's last section.
  const RegistrySpan last = section->last_line;
  std::string added;
  if (last.next == 0 || text_[last.next - 1] != '\n') added += line_end_;  // it had no LF
  added += ValueLine(value, line_end_) + line_end_;
  Edit(last.next, last.next, added);
  return true;
}
