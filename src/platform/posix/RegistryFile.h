#pragma once
// RegistryFile: HKEY_LOCAL_MACHINE as a REGEDIT4 text file, parsed into
// sections, edited and written back. The file's own text is kept: writing
// it back changes only the lines of the values set and adds those of new
// keys and values; every other byte (comments, other hives, deletions,
// lines it does not understand, its line ends) stays as it was.
//
//   REGEDIT4
//
//   [Software\\Corvantis\\v2.1]
//   "InstallDir"="C:\\Intranet"
//   "Build"=dword:0000002a
//   @="the key's default value"
//
// Sections name keys relative to HKEY_LOCAL_MACHINE (a leading
// "HKEY_LOCAL_MACHINE\" is accepted); single or doubled '\' separate the key
// names. Values: "text" (REG_SZ, escapes \\ and \"), dword:, hex: (REG_BINARY),
// hex(N): (type N; REG_EXPAND_SZ is hex(2) and its data ends in a zero that
// is not part of the value). Hex lists may go on over lines ending in '\'.
// ';' and '#' lines are comments; they and lines that are not understood
// are skipped when reading.
//
// Key and value names compare ignoring letter case (code page 1252) and keep
// the case they were first written with. A key exists when a section names
// it or any key below it; subkeys are listed in the order of the file.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// Value types, with the numbers of the Windows API.
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

// Where a section's or a value's lines stand in the file's text: from
// `begin` to `end`, the end of the last line's text before its line end,
// and `next`, where the line after it starts.
struct RegistrySpan {
  size_t begin = 0, end = 0, next = 0;
};

struct RegistryValue {
  std::string name;  // empty: the key's default value ("@")
  uint32_t type = kRegSz;
  std::string data;    // string types without the terminating zero; dword: 4 bytes LE
  RegistrySpan lines;  // of its last definition
};

struct RegistrySection {
  std::vector<std::string> key;  // the key's names from HKEY_LOCAL_MACHINE down
  std::vector<RegistryValue> values;
  RegistrySpan last_line;  // over every section naming the key
  RegistrySpan header;     // the line of the first section naming it
  size_t headers = 0;      // how many sections name it
};

class RegistryFile {
 public:
  // Empty text is an empty registry. Nullopt, with the reason in `error`,
  // when the text does not start with the REGEDIT4 line.
  static std::optional<RegistryFile> Parse(const std::string& text, std::string* error);
  // The whole file: the text read, with the edits made since. New lines end
  // as the file's first line does (LF in a new file); a new key's section
  // comes at the end, after a blank line, a new value after the last line
  // of its key's last section, a changed value in the place of its lines.
  const std::string& Write() const { return text_; }

  // `key` paths name keys below HKEY_LOCAL_MACHINE with '\' between names;
  // empty names (doubled or leading '\') are skipped. "" is the root.
  bool KeyExists(const std::string& key) const;
  // The names of the key's direct subkeys, each once, in file order.
  std::vector<std::string> SubKeys(const std::string& key) const;
  // The value, or null when the key has no section or no such value.
  const RegistryValue* FindValue(const std::string& key, const std::string& name) const;

  // Adds a section for the key when none names it exactly; names that match
  // existing keys take their spelling. False when a name cannot be written
  // (it holds a line break or is a hive name). A file with nothing but
  // blank lines is started anew with the REGEDIT4 line.
  bool AddKey(const std::string& key);
  // Removes every definition of the value, with its lines. False when the
  // key has no such value.
  bool DeleteValue(const std::string& key, const std::string& name);
  // Removes the key's section when nothing else stands in it: it has no
  // values and no subkeys, one section names it and that section holds no
  // line but its header. A blank line before the header goes with it, as
  // AddKey wrote it. False when the key is missing, is the root, or holds
  // anything (a line not understood included).
  bool DeleteEmptyKey(const std::string& key);
  // Sets (adds or replaces) a value, adding the key's section when needed.
  // False when a name cannot be written (a line break in it).
  bool SetValue(const std::string& key, const std::string& name, uint32_t type,
                const std::string& data);

  const std::vector<RegistrySection>& sections() const { return sections_; }

 private:
  // A key of the tree of keys: one for each key a section names and for
  // each key above one, so that a name is found in one hash lookup.
  struct KeyNode {
    std::string name;                                     // as first spelled
    std::vector<size_t> subkeys;                          // nodes, in file order
    std::unordered_map<std::string, size_t> by_name;      // lower-case name -> node
    size_t section = kNoSection;                          // in sections_
    std::unordered_map<std::string, size_t> value_index;  // lower-case name -> value
  };
  static constexpr size_t kNoSection = static_cast<size_t>(-1);

  struct Line;  // a line of the text

  // Reads `text_` into the sections; false when it is no REGEDIT4 text.
  bool Read(std::string* error);
  // Reads the line at `*i` (and the lines a hex list goes on over) into
  // the section of the node `key`; `*i` is left on its last line.
  void ReadSectionLine(const std::vector<Line>& lines, size_t* i, size_t key);
  // Sets or deletes the value whose text after '=' is `data`; false when
  // that text is not understood.
  bool ReadValueData(const std::vector<Line>& lines, size_t* i, size_t key, RegistryValue value,
                     const std::string& data);
  // Replaces text_[from, to) by `bytes` and reads the text again.
  void Edit(size_t from, size_t to, const std::string& bytes);
  // The key's node; kNoSection when no key of that path exists.
  size_t FindNode(const std::vector<std::string>& key) const;
  const RegistrySection* FindSection(const std::vector<std::string>& key) const;
  // The node of the key with a section, both made (and spelled as the
  // existing keys) when missing; reading only.
  size_t SectionFor(const std::vector<std::string>& key);
  // Sets the value in the section of the node `key`.
  void PutValue(size_t key, RegistryValue value);
  // The key's names, each spelled as an existing key spells it.
  std::vector<std::string> Spelled(const std::vector<std::string>& key) const;

  std::string text_;
  std::string line_end_ = "\n";
  bool has_header_ = false;
  std::vector<RegistrySection> sections_;
  std::vector<KeyNode> nodes_ = std::vector<KeyNode>(1);  // nodes_[0]: HKEY_LOCAL_MACHINE
};
