#include "engine/PhpIni.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "engine/Phases.h"
#include "formlib/FileUtil.h"
#include "install/PackageDefinition.h"

namespace {

const char kAnchor[] = "extension=php_zip.dll";
const char kCrLf[] = "\r\n";

// Where a block goes in the joined text `t` whose first anchor stands at
// `anchor`, or at its end when there is none.
size_t InsertionPoint(const std::string& t, size_t anchor) {
  if (anchor == std::string::npos) return t.size();
  // Every line of the joined text ends with CR LF.
  const size_t line_end = t.find(kCrLf, anchor + sizeof kAnchor - 1);
  if (line_end == std::string::npos) return t.size();
  const size_t next_line = line_end + 2;
  // After the empty line that follows the anchor's line; when the anchor ends
  // its line this is the anchor's position plus 25, where the block has
  // always gone.
  if (t.compare(next_line, 2, kCrLf) == 0) return next_line + 2;
  return next_line;
}

std::string Block(const std::string& comment, const std::string& line) {
  return "\r\n\r\n" + comment + "\r\n" + line + "\r\n";
}

bool HoldsLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

// Finds which of many texts occur in the texts scanned so far, in time
// linear in the patterns and the scanned bytes (Aho and Corasick's
// automaton). A pattern found stays found.
class PatternSet {
 public:
  explicit PatternSet(const std::vector<std::string>& patterns) {
    nodes_.emplace_back();  // the root
    for (const std::string& p : patterns) {
      int32_t node = 0;
      for (const char c : p) {
        int32_t child = edges_.Find(node, static_cast<uint8_t>(c));
        if (child < 0) {
          child = static_cast<int32_t>(nodes_.size());
          nodes_.emplace_back();
          nodes_.back().parent = node;
          nodes_.back().byte = static_cast<uint8_t>(c);
          nodes_.back().depth = nodes_[node].depth + 1;
          edges_.Insert(node, static_cast<uint8_t>(c), child);
        }
        node = child;
      }
      nodes_[node].terminal = true;
      pattern_nodes_.push_back(node);
    }
    Link();
  }

  // Marks every pattern that occurs in `text`.
  void Scan(std::string_view text) {
    int32_t state = 0;
    for (const char c : text) {
      state = Step(state, static_cast<uint8_t>(c));
      // The patterns ending here: the state's own, then those of its
      // output chain. A found pattern has its whole chain found already.
      for (int32_t n = nodes_[state].terminal ? state : nodes_[state].output;
           n >= 0 && !nodes_[n].found; n = nodes_[n].output)
        nodes_[n].found = true;
    }
  }

  bool Found(size_t pattern) const { return nodes_[pattern_nodes_[pattern]].found; }

 private:
  struct Node {
    int32_t parent = -1;
    int32_t fail = 0;     // the longest proper suffix that is a node
    int32_t output = -1;  // the nearest terminal node along the fail chain
    int32_t depth = 0;
    uint8_t byte = 0;
    bool terminal = false;
    bool found = false;
  };

  // The trie's edges: (node, byte) -> child, open addressing, at most half
  // full.
  class Edges {
   public:
    int32_t Find(int32_t node, uint8_t byte) const {
      const uint64_t key = Key(node, byte);
      for (size_t i = Slot(key);; i = (i + 1) & (keys_.size() - 1)) {
        if (keys_[i] == key) return children_[i];
        if (keys_[i] == 0) return -1;
      }
    }
    void Insert(int32_t node, uint8_t byte, int32_t child) {
      if (2 * (count_ + 1) > keys_.size()) Grow();
      Put(Key(node, byte), child);
      ++count_;
    }

   private:
    // Never 0, which marks a free slot.
    static uint64_t Key(int32_t node, uint8_t byte) {
      return (static_cast<uint64_t>(node) << 8 | byte) + 1;
    }
    size_t Slot(uint64_t key) const {
      return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) & (keys_.size() - 1);
    }
    void Put(uint64_t key, int32_t child) {
      size_t i = Slot(key);
      while (keys_[i] != 0) i = (i + 1) & (keys_.size() - 1);
      keys_[i] = key;
      children_[i] = child;
    }
    void Grow() {
      std::vector<uint64_t> keys(std::max<size_t>(64, 2 * keys_.size()), 0);
      std::vector<int32_t> children(keys.size(), -1);
      keys.swap(keys_);
      children.swap(children_);
      for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i] != 0) Put(keys[i], children[i]);
    }
    std::vector<uint64_t> keys_ = std::vector<uint64_t>(64, 0);
    std::vector<int32_t> children_ = std::vector<int32_t>(64, -1);
    size_t count_ = 0;
  };

  int32_t Step(int32_t state, uint8_t byte) const {
    for (;;) {
      const int32_t child = edges_.Find(state, byte);
      if (child >= 0) return child;
      if (state == 0) return 0;
      state = nodes_[state].fail;
    }
  }

  // The fail and output links, shallower nodes first (sorted by counting).
  void Link() {
    int32_t deepest = 0;
    for (const Node& node : nodes_) deepest = std::max(deepest, node.depth);
    std::vector<size_t> start(static_cast<size_t>(deepest) + 2, 0);
    for (const Node& node : nodes_) ++start[static_cast<size_t>(node.depth) + 1];
    for (size_t d = 1; d < start.size(); ++d) start[d] += start[d - 1];
    std::vector<int32_t> order(nodes_.size());
    for (size_t i = 0; i < nodes_.size(); ++i)
      order[start[static_cast<size_t>(nodes_[i].depth)]++] = static_cast<int32_t>(i);
    for (const int32_t n : order) {
      Node& node = nodes_[n];
      if (node.depth <= 1) {
        node.fail = 0;
      } else {
        node.fail = Step(nodes_[node.parent].fail, node.byte);
      }
      const Node& fail = nodes_[node.fail];
      node.output = n == 0 ? -1 : (fail.terminal && node.fail != 0 ? node.fail : fail.output);
    }
  }

  std::vector<Node> nodes_;
  Edges edges_;
  std::vector<int32_t> pattern_nodes_;
};

// The lines added one at a time, as the text was once handled: the whole
// text searched, the block inserted, the text split into lines again.
PhpIniText AddOneByOne(std::string text, const std::vector<std::string>& extension_lines,
                       const std::string& comment, std::vector<bool>* added) {
  for (size_t i = 0; i < extension_lines.size(); ++i) {
    const std::string& line = extension_lines[i];
    if (text.find(line) != std::string::npos) continue;
    if (added != nullptr) (*added)[i] = true;
    text.insert(InsertionPoint(text, text.find(kAnchor)), Block(comment, line));
    text = JoinedLines(text);
  }
  PhpIniText result;
  result.at = text.size();
  result.text = std::move(text);
  return result;
}

}  // namespace

std::string PhpIniText::Joined() const {
  std::string joined;
  joined.reserve(text.size() + blocks.size());
  joined.append(text, 0, at).append(blocks).append(text, at, std::string::npos);
  return joined;
}

PhpIniText AddExtensionLines(std::string text, const std::vector<std::string>& extension_lines,
                             const std::string& product_title, std::vector<bool>* added) {
  if (added != nullptr) added->assign(extension_lines.size(), false);
  const std::string comment = "; " + product_title + " extensions";
  const auto awkward = [](const std::string& s) {
    return HoldsLineBreak(s) || s.find('\0') != std::string::npos;
  };
  if (awkward(comment) || std::any_of(extension_lines.begin(), extension_lines.end(), awkward))
    return AddOneByOne(std::move(text), extension_lines, comment, added);

  // A line is present when the text holds it: as read, or in a block added
  // before it. A block starts and ends with a line break and stands where a
  // line starts, so it adds no occurrence across its edges.
  PatternSet present(extension_lines);
  present.Scan(text);
  bool comment_scanned = false;

  // Until a block is inserted after the first anchor, the place of the next
  // block depends on the text: without an anchor it is the end, and a block
  // may bring one. Once a block went in after the anchor, the place is fixed:
  // the text before it no longer changes, and every later block goes there,
  // in front of the earlier ones.
  size_t anchor = text.find(kAnchor);
  size_t fixed = std::string::npos;
  std::vector<const std::string*> stacked;
  for (size_t i = 0; i < extension_lines.size(); ++i) {
    const std::string& line = extension_lines[i];
    if (line.empty() || present.Found(i)) continue;
    if (added != nullptr) (*added)[i] = true;
    if (!comment_scanned) {
      present.Scan(comment);
      comment_scanned = true;
    }
    present.Scan(line);
    if (fixed != std::string::npos) {
      stacked.push_back(&line);
      continue;
    }
    const size_t at = InsertionPoint(text, anchor);
    text.insert(at, Block(comment, line));
    if (anchor != std::string::npos)
      fixed = InsertionPoint(text, anchor);
    else
      anchor = text.find(kAnchor, at);
  }
  PhpIniText result;
  result.at = fixed == std::string::npos ? text.size() : fixed;
  for (auto it = stacked.rbegin(); it != stacked.rend(); ++it)
    result.blocks += Block(comment, **it);
  result.text = std::move(text);
  return result;
}

void UpdatePhpIni(Installer& installer, InstallContext& context) {
  Host& host = installer.host();
  const std::string path = context.PhpFolder + "\\php.ini";
  // The file is held about once: its bytes go as soon as they are joined.
  std::string joined = JoinedLines(LoadFile(host, path, kMaxLineListFile));
  std::vector<bool> added;
  const PhpIniText ini = AddExtensionLines(std::move(joined), context.ExtensionLines,
                                           installer.package.ProductTitle, &added);
  const std::string_view text = ini.text;
  SaveFileReplacing(host, path, {text.substr(0, ini.at), ini.blocks, text.substr(ini.at)});
  ReportExtensionLines(installer.app.plan(), path, context.ExtensionLines, added, false);
}

void ReportExtensionLines(RunPlan& plan, const std::string& path,
                          const std::vector<std::string>& lines, const std::vector<bool>& added,
                          bool planned) {
  for (size_t i = 0; i < lines.size() && i < added.size(); ++i) {
    if (lines[i].empty()) continue;
    plan.Report(path + ": " + lines[i] +
                (added[i] ? (planned ? " would be added" : " added") : " already present"));
  }
}
