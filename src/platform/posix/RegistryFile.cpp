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

// True when `key` begins with every name of `start`.
bool StartsWithKey(const std::vector<std::string>& key, const std::vector<std::string>& start) {
  if (key.size() < start.size()) return false;
  for (size_t i = 0; i < start.size(); ++i)
    if (!SameName(key[i], start[i])) return false;
  return true;
}

bool SameKey(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  return a.size() == b.size() && StartsWithKey(a, b);
}

std::string TrimLeft(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return s.substr(i);
}

std::string TrimRight(const std::string& s) {
  size_t n = s.size();
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t')) --n;
  return s.substr(0, n);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
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

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

std::string HexList(const std::string& lead, const std::string& bytes) {
  std::string out = lead;
  size_t line_start = 0;
  char hex[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(bytes[i]));
    out += hex;
    if (i + 1 == bytes.size()) break;
    out += ',';
    if (out.size() - line_start >= kHexLineWidth) {
      out += "\\\n  ";
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

std::string ValueLine(const RegistryValue& value) {
  const std::string name = value.name.empty() ? "@" : Quote(value.name);
  const std::string lead = name + "=";
  switch (value.type) {
    case kRegSz:
      // A line break or a zero byte cannot stand in a quoted text: the
      // same bytes as a hex list of type 1, which reads back as REG_SZ.
      if (HasLineBreak(value.data) || value.data.find('\0') != std::string::npos)
        return HexList(lead + TypedHexLead(kRegSz), value.data + std::string(1, '\0'));
      return lead + Quote(value.data);
    case kRegExpandSz:
      return HexList(lead + TypedHexLead(kRegExpandSz), value.data + std::string(1, '\0'));
    case kRegDword:
      if (value.data.size() == 4) {
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x",
                      static_cast<unsigned>(DwordValue(value.data)));
        return lead + text;
      }
      return HexList(lead + TypedHexLead(kRegDword), value.data);
    default:
      return HexList(lead + TypedHexLead(value.type), value.data);
  }
}

void PutValue(RegistrySection& section, RegistryValue value) {
  for (RegistryValue& v : section.values) {
    if (SameName(v.name, value.name)) {
      v.type = value.type;
      v.data = std::move(value.data);
      return;
    }
  }
  section.values.push_back(std::move(value));
}

void RemoveValue(RegistrySection& section, const std::string& name) {
  for (auto it = section.values.begin(); it != section.values.end(); ++it) {
    if (SameName(it->name, name)) {
      section.values.erase(it);
      return;
    }
  }
}

}  // namespace

std::optional<RegistryFile> RegistryFile::Parse(const std::string& text, std::string* error) {
  RegistryFile file;
  std::vector<std::string> lines = Lines(text);
  size_t i = 0;
  while (i < lines.size() && TrimRight(lines[i]).empty()) ++i;
  if (i == lines.size()) return file;
  std::string first = TrimRight(lines[i]);
  if (first.compare(0, 3, "\xEF\xBB\xBF") == 0) first.erase(0, 3);
  if (first != kHeader) {
    if (error != nullptr) *error = "not a REGEDIT4 file";
    return std::nullopt;
  }
  RegistrySection* current = nullptr;
  for (++i; i < lines.size(); ++i) {
    const std::string line = TrimLeft(lines[i]);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      const size_t close = line.rfind(']');
      current = nullptr;
      if (close == std::string::npos) continue;
      const std::optional<std::vector<std::string>> key = SectionKey(line.substr(1, close - 1));
      if (key) current = &file.SectionFor(*key);
      continue;
    }
    if (current == nullptr) continue;

    RegistryValue value;
    size_t at = 0;
    if (line[0] == '@') {
      at = 1;
    } else if (line[0] == '"') {
      if (!ReadQuoted(line, &at, &value.name)) continue;
    } else {
      continue;
    }
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    if (at >= line.size() || line[at] != '=') continue;
    ++at;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    const std::string data = line.substr(at);

    if (!data.empty() && data[0] == '"') {
      size_t end = 0;
      if (ReadQuoted(data, &end, &value.data) && TrimRight(data.substr(end)).empty()) {
        value.type = kRegSz;
      } else if (!ReadQuotedEndingInBackslash(data, &value.data)) {
        continue;
      }
      PutValue(*current, std::move(value));
    } else if (data == "-") {
      RemoveValue(*current, value.name);
    } else if (data.compare(0, 6, "dword:") == 0) {
      uint32_t v = 0;
      if (!ParseUnsignedHex(data.substr(6), &v)) continue;
      value.type = kRegDword;
      value.data = DwordBytes(v);
      PutValue(*current, std::move(value));
    } else if (data.compare(0, 3, "hex") == 0) {
      const size_t colon = data.find(':');
      if (colon == std::string::npos) continue;
      const std::string kind = data.substr(3, colon - 3);
      if (kind.empty()) {
        value.type = kRegBinary;
      } else if (kind.size() >= 3 && kind.front() == '(' && kind.back() == ')') {
        if (!ParseUnsignedHex(kind.substr(1, kind.size() - 2), &value.type)) continue;
      } else {
        continue;
      }
      std::string list = TrimRight(data.substr(colon + 1));
      while (!list.empty() && list.back() == '\\' && i + 1 < lines.size()) {
        list.pop_back();
        list += TrimRight(TrimLeft(lines[++i]));
      }
      if (!ParseHexBytes(list, &value.data)) continue;
      if ((value.type == kRegSz || value.type == kRegExpandSz) && !value.data.empty() &&
          value.data.back() == '\0')
        value.data.pop_back();
      PutValue(*current, std::move(value));
    }
  }
  return file;
}

std::string RegistryFile::Write() const {
  std::string out = std::string(kHeader) + "\n";
  for (const RegistrySection& section : sections_) {
    out += "\n[";
    for (size_t i = 0; i < section.key.size(); ++i) {
      if (i > 0) out += "\\\\";
      out += section.key[i];
    }
    out += "]\n";
    for (const RegistryValue& value : section.values) out += ValueLine(value) + "\n";
  }
  return out;
}

RegistrySection* RegistryFile::FindSection(const std::vector<std::string>& key) {
  for (RegistrySection& s : sections_)
    if (SameKey(s.key, key)) return &s;
  return nullptr;
}

const RegistrySection* RegistryFile::FindSection(const std::vector<std::string>& key) const {
  for (const RegistrySection& s : sections_)
    if (SameKey(s.key, key)) return &s;
  return nullptr;
}

RegistrySection& RegistryFile::SectionFor(const std::vector<std::string>& key) {
  if (RegistrySection* s = FindSection(key)) return *s;
  RegistrySection section;
  section.key = key;
  // Names of keys that exist already keep their spelling.
  for (size_t depth = 0; depth < key.size(); ++depth) {
    for (const RegistrySection& s : sections_) {
      if (s.key.size() > depth && StartsWithKey(s.key, {key.begin(), key.begin() + depth + 1})) {
        section.key[depth] = s.key[depth];
        break;
      }
    }
  }
  sections_.push_back(std::move(section));
  return sections_.back();
}

bool RegistryFile::KeyExists(const std::string& key) const {
  const std::vector<std::string> names = KeyNames(key);
  if (names.empty()) return true;
  for (const RegistrySection& s : sections_)
    if (StartsWithKey(s.key, names)) return true;
  return false;
}

std::vector<std::string> RegistryFile::SubKeys(const std::string& key) const {
  const std::vector<std::string> names = KeyNames(key);
  std::vector<std::string> subkeys;
  for (const RegistrySection& s : sections_) {
    if (s.key.size() <= names.size() || !StartsWithKey(s.key, names)) continue;
    const std::string& name = s.key[names.size()];
    bool seen = false;
    for (const std::string& k : subkeys) seen = seen || SameName(k, name);
    if (!seen) subkeys.push_back(name);
  }
  return subkeys;
}

const RegistryValue* RegistryFile::FindValue(const std::string& key,
                                             const std::string& name) const {
  const RegistrySection* section = FindSection(KeyNames(key));
  if (section == nullptr) return nullptr;
  for (const RegistryValue& v : section->values)
    if (SameName(v.name, name)) return &v;
  return nullptr;
}

bool RegistryFile::AddKey(const std::string& key) {
  const std::vector<std::string> names = KeyNames(key);
  for (const std::string& name : names)
    if (HasLineBreak(name)) return false;
  // Such a first name would read back as another hive or a deletion.
  if (!names.empty() &&
      (names[0][0] == '-' || AsciiLowerCase(names[0]).compare(0, 5, "hkey_") == 0))
    return false;
  SectionFor(names);
  return true;
}

bool RegistryFile::SetValue(const std::string& key, const std::string& name, uint32_t type,
                            const std::string& data) {
  if (HasLineBreak(name) || !AddKey(key)) return false;
  RegistryValue value;
  value.name = name;
  value.type = type;
  value.data = data;
  PutValue(*FindSection(KeyNames(key)), std::move(value));
  return true;
}
