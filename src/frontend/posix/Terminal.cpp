#include "frontend/posix/Terminal.h"

#include <langinfo.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <iostream>
#include <istream>
#include <ostream>

#include "frontend/posix/TerminalMode.h"
#include "frontend/posix/TextLayout.h"
#include "platform/Host.h"
#include "platform/WindowsPath.h"

namespace {

constexpr size_t kWidth = 76;      // word-wrapped text
constexpr size_t kLineWidth = 79;  // a line drawn in place must not wrap
constexpr int kEndOfText = 0x04;   // Ctrl-D
constexpr int kBackspace = 0x08;
constexpr int kDelete = 0x7F;  // what the Backspace key sends on most terminals
constexpr int kEscape = 0x1B;  // starts the sequence a cursor or function key sends

char LowerKey(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBelow(const Control* c, const Control* root) {
  for (const Control* p = c; p != nullptr; p = p->parent)
    if (p == root) return true;
  return false;
}

int GroupDepth(const Control* c) {
  int depth = 0;
  for (const Control* p = c->parent; p != nullptr; p = p->parent)
    if (p->kind == ControlKind::kGroupBox) ++depth;
  return depth;
}

bool Pressable(const Control& c) {
  return c.enabled && c.Showing() &&
         (c.kind == ControlKind::kButton || (c.kind == ControlKind::kLabel && c.link));
}

const Control* DefaultButton(const Form& form) {
  for (const Control* c : form.controls())
    if (c->kind == ControlKind::kButton && c->default_button && c->Showing()) return c;
  return nullptr;
}

// After an Escape: a key that sends a sequence (an arrow, Delete, Home, F1)
// is one key, and none of the line editor's, so the whole sequence is read
// and dropped. False when the input ends in it.
bool DropKeySequence(std::istream& in) {
  constexpr int kEof = std::char_traits<char>::eof();
  const int kind = in.get();
  if (kind == kEof) return false;
  if (kind == '[') {
    int b = in.get();
    while (b != kEof && !(b >= 0x40 && b <= 0x7E)) b = in.get();  // up to the final byte
    return b != kEof;
  }
  if (kind == 'O') return in.get() != kEof;
  return true;
}

struct BoxButton {
  char key;
  const char* label;
  int id;
};

std::vector<BoxButton> BoxButtons(unsigned flags) {
  switch (flags & kMbButtonMask) {
    case 1:
      return {{'o', "OK", kIdOk}, {'c', "Cancel", kIdCancel}};
    case 2:
      return {{'a', "Abort", 3}, {'r', "Retry", 4}, {'i', "Ignore", 5}};
    case 3:
      return {{'y', "Yes", kIdYes}, {'n', "No", kIdNo}, {'c', "Cancel", kIdCancel}};
    case 4:
      return {{'y', "Yes", kIdYes}, {'n', "No", kIdNo}};
    case 5:
      return {{'r', "Retry", 4}, {'c', "Cancel", kIdCancel}};
    default:
      return {{'o', "OK", kIdOk}};
  }
}

}  // namespace

Terminal::Terminal(std::istream& in, std::ostream& out, bool is_terminal)
    : Terminal(in, out, is_terminal, is_terminal) {}

Terminal::Terminal(std::istream& in, std::ostream& out, bool input_is_terminal,
                   bool output_is_terminal)
    : in_(in),
      out_(out),
      input_is_terminal_(input_is_terminal),
      output_is_terminal_(output_is_terminal) {}

void Terminal::AttachForm(Form&) {}

void Terminal::DisplayForm(Form& form, bool) {
  stack_.erase(std::remove(stack_.begin(), stack_.end(), &form), stack_.end());
  stack_.push_back(&form);
}

void Terminal::HideForm(Form& form) {
  EndOpenLine();
  stack_.erase(std::remove(stack_.begin(), stack_.end(), &form), stack_.end());
}

void Terminal::BringToFront(Form& form) {
  if (std::find(stack_.begin(), stack_.end(), &form) != stack_.end()) DisplayForm(form, false);
}

void Terminal::EndOpenLine() {
  if (line_open_) out_ << '\n';
  line_open_ = false;
  out_.flush();
}

bool Terminal::ReadLine(std::string* line, bool secret) {
  out_.flush();
  if (input_ended_) return false;
  bool got = false;
  {
    TerminalMode quiet(secret && input_is_terminal_, ECHO);
    got = static_cast<bool>(std::getline(in_, *line));
  }
  if (!got) {
    input_ended_ = true;
    out_ << '\n';
    return false;
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  if (secret && input_is_terminal_) {
    out_ << '\n';  // the user's Enter was not echoed either
  } else if (!input_is_terminal_) {
    // Answers read from a file or pipe show in the transcript.
    out_ << (secret ? std::string(line->size(), '*') : *line) << '\n';
  }
  return true;
}

void Terminal::PrintBody(const Form& form, const Control* root) {
  bool first = true;
  for (const Control* c : form.controls()) {
    if (!c->Showing() || (root != nullptr && !IsBelow(c, root))) continue;
    const std::string indent(2 * GroupDepth(c), ' ');
    const std::vector<std::string> lines = ControlLines(*c, kWidth - indent.size());
    if (lines.empty()) continue;
    if (!first) out_ << '\n';
    first = false;
    for (const std::string& l : lines) out_ << (l.empty() ? std::string() : indent + l) << '\n';
  }
}

void Terminal::DrawProgress(const Form& form) {
  // The bar first: its width is fixed, the status text after it is not.
  std::string line;
  for (const Control* c : form.controls())
    if (c->Showing() && c->kind == ControlKind::kProgressBar)
      line += (line.empty() ? "" : "  ") + ProgressBar(c->position);
  for (const Control* c : form.controls())
    if (c->Showing() && c->kind == ControlKind::kPanel && !c->text.empty())
      line += (line.empty() ? "" : "  ") + c->text;
  if (line.empty()) return;
  if (output_is_terminal_) {
    if (line.size() > kLineWidth) line.resize(kLineWidth);
    std::string shown = line;
    if (line_open_ && progress_line_.size() > line.size())
      shown += std::string(progress_line_.size() - line.size(), ' ');
    out_ << '\r' << shown;
    line_open_ = true;
  } else if (line != progress_line_) {
    out_ << line << '\n';
  }
  progress_line_ = line;
}

void Terminal::Repaint(Form& form, const Control* control) {
  if (control == nullptr || control->kind == ControlKind::kProgressBar) {
    DrawProgress(form);
  } else if (control->kind == ControlKind::kPanel || control->kind == ControlKind::kLabel) {
    EndOpenLine();
    const std::string text =
        control->kind == ControlKind::kLabel ? LabelText(*control) : control->text;
    for (const std::string& l : TextLines(text, control->word_wrap, kWidth)) out_ << l << '\n';
    progress_line_.clear();
  } else if (control->kind == ControlKind::kPage) {
    EndOpenLine();
    out_ << '\n';
    PrintBody(form, control);
    progress_line_.clear();
  }
  out_.flush();
}

void Terminal::PumpEvents() { out_.flush(); }

bool Terminal::NextEvent(UiEvent* event, bool wait) {
  Form* form = TopForm();
  if (!wait) {
    // Keys typed meanwhile act now on a terminal; from a file or a pipe they
    // wait for the next question.
    if (form == nullptr || !input_is_terminal_ || !typed_ahead_) return false;
    return TypedKey(*form, event);
  }
  if (form == nullptr) return false;
  EndOpenLine();
  bool has_edits = false;
  for (const Control* c : form->controls())
    has_edits = has_edits || (c->kind == ControlKind::kEdit && c->Showing() && c->enabled);
  return has_edits ? DialogEvent(*form, event) : WizardEvent(*form, event);
}

bool Terminal::WizardEvent(Form& form, UiEvent* event) {
  out_ << "\n=== " << form.caption << " ===\n\n";
  PrintBody(form, nullptr);
  return ChooseButton(form, false, event);
}

bool Terminal::DialogEvent(Form& form, UiEvent* event) {
  out_ << "\n=== " << form.caption << " ===\n";
  std::vector<Control*> edits;
  for (Control* c : form.controls())
    if (c->kind == ControlKind::kEdit && c->Showing() && c->enabled) edits.push_back(c);
  std::stable_sort(edits.begin(), edits.end(),
                   [](const Control* a, const Control* b) { return a->tab_order < b->tab_order; });
  std::vector<const Control*> groups_shown;
  for (Control* edit : edits) {
    for (const Control* p = edit->parent; p != nullptr; p = p->parent) {
      if (p->kind != ControlKind::kGroupBox || p->text.empty()) continue;
      if (std::find(groups_shown.begin(), groups_shown.end(), p) != groups_shown.end()) continue;
      groups_shown.push_back(p);
      out_ << std::string(2 * GroupDepth(p), ' ') << StripAccelerators(p->text) << '\n';
    }
    std::string label = edit->name;
    for (const Control* c : form.controls())
      if (c->kind == ControlKind::kLabel && c->focus_control == edit)
        label = StripAccelerators(c->text);
    const bool secret = edit->password_char != 0;
    const std::string shown =
        secret ? std::string(edit->text.size(), edit->password_char) : edit->text;
    const std::string indent(2 * GroupDepth(edit), ' ');
    if (input_is_terminal_) {
      out_ << indent << label << ' ';
      if (!EditField(edit)) return false;
      continue;
    }
    out_ << indent << label << " [" << shown << "] ";
    std::string line;
    if (!ReadLine(&line, secret)) return false;
    if (!line.empty()) edit->text = line;
  }
  return ChooseButton(form, true, event);
}

Terminal::Keys Terminal::KeysOf(Form& form, bool dialog) const {
  Keys k;
  for (Control* c : form.controls())
    if (c->kind == ControlKind::kButton && c->key != 0 && Pressable(*c)) k.pressable.push_back(c);
  for (Control* c : form.controls())
    if (c->kind == ControlKind::kLabel && c->key != 0 && Pressable(*c)) k.pressable.push_back(c);
  const Control* default_button = DefaultButton(form);
  if (default_button != nullptr && default_button->enabled)
    k.enter = const_cast<Control*>(default_button);

  std::vector<std::string> entries;
  for (const Control* c : k.pressable)
    entries.push_back(std::string("[") + c->key + "] " + StripAccelerators(c->text));
  entries.push_back(dialog ? "[q] Close" : "[q] Close window");
  if (k.enter != nullptr) entries.push_back("(Enter: " + StripAccelerators(k.enter->text) + ")");
  // Entries are never cut: a line breaks between them.
  size_t line_start = 0;
  for (const std::string& entry : entries) {
    if (k.line.size() > line_start && k.line.size() - line_start + 2 + entry.size() > kWidth) {
      k.line += '\n';
      line_start = k.line.size();
    } else if (k.line.size() > line_start) {
      k.line += "  ";
    }
    k.line += entry;
  }
  return k;
}

bool Terminal::Answer(Form& form, const Keys& keys, const std::string& answer, UiEvent* event) {
  event->form = &form;
  if (answer.empty()) {
    event->control = keys.enter;
    return keys.enter != nullptr;
  }
  if (answer.size() != 1) return false;
  const char key = LowerKey(answer[0]);
  if (key == 'q') {
    event->control = nullptr;
    return true;
  }
  for (Control* c : keys.pressable) {
    if (LowerKey(c->key) == key) {
      event->control = c;
      return true;
    }
  }
  return false;
}

bool Terminal::ChooseButton(Form& form, bool dialog, UiEvent* event) {
  const Keys keys = KeysOf(form, dialog);
  for (;;) {
    out_ << '\n' << keys.line << "\n> ";
    std::string line;
    if (!ReadLine(&line)) return false;
    const std::string answer = Trim(line);
    if (Answer(form, keys, answer, event)) return true;
    if (answer.empty()) {
      out_ << "Enter does nothing here: type one of the keys in brackets.\n";
      continue;
    }
    out_ << "No button has the key \"" << answer << "\": type one of the keys in brackets"
         << (keys.enter != nullptr ? ", or Enter alone." : ".") << '\n';
  }
}

bool Terminal::TypedKey(Form& form, UiEvent* event) {
  const Keys keys = KeysOf(form, false);
  while (!input_ended_ && typed_ahead_()) {
    std::string line;
    if (!ReadLine(&line)) return false;
    // The Enter typed ended the line drawn in place.
    line_open_ = false;
    progress_line_.clear();
    const std::string answer = Trim(line);
    if (Answer(form, keys, answer, event)) return true;
    if (!answer.empty()) {
      std::string line_of_keys = keys.line;
      std::replace(line_of_keys.begin(), line_of_keys.end(), '\n', ' ');
      out_ << "\"" << answer << "\" does nothing now; these keys act: " << line_of_keys << '\n';
    }
  }
  return false;
}

int Terminal::ShowMessageBox(const Form*, const std::string& text, const std::string& caption,
                             unsigned flags) {
  EndOpenLine();
  const std::vector<BoxButton> buttons = BoxButtons(flags);
  size_t default_index = (flags >> 8) & 0x0F;
  if (default_index >= buttons.size()) default_index = 0;

  out_ << "\n--- " << caption << " ---\n";
  for (const std::string& l : TextLines(text, true, kWidth)) out_ << l << '\n';
  std::string choices;
  if (buttons.size() == 1) {
    choices = std::string("[Enter] ") + buttons[0].label;
  } else {
    for (const BoxButton& b : buttons) choices += std::string("[") + b.key + "] " + b.label + "  ";
    choices += std::string(" (Enter: ") + buttons[default_index].label + ")";
  }
  for (;;) {
    out_ << choices << "\n> ";
    std::string line;
    if (!ReadLine(&line)) {
      // The end of input presses the default button, as Enter would. A box
      // asked again after that gets no answer: a retry question repeated
      // with nobody there would otherwise go round for ever.
      const std::string asked = caption + '\n' + text + '\n' + std::to_string(flags);
      if (std::find(asked_at_end_.begin(), asked_at_end_.end(), asked) != asked_at_end_.end())
        return 0;
      asked_at_end_.push_back(asked);
      out_ << "(end of input: " << buttons[default_index].label << ")\n";
      return buttons[default_index].id;
    }
    const std::string answer = Trim(line);
    if (answer.empty()) return buttons[default_index].id;
    if (answer.size() == 1)
      for (const BoxButton& b : buttons)
        if (LowerKey(answer[0]) == b.key) return b.id;
    out_ << "Type one of the keys in brackets, or Enter alone.\n";
  }
}

size_t Terminal::CharacterCount(const std::string& text) const {
  if (!utf8_) return text.size();
  size_t count = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  return count;
}

bool Terminal::EditField(Control* edit) {
  const char mask = edit->password_char;
  auto shown = [this, mask](const std::string& text) {
    return mask != 0 ? std::string(CharacterCount(text), mask) : text;
  };
  std::string text = edit->text;
  out_ << shown(text);
  out_.flush();
  if (input_ended_) return false;
  TerminalMode keys(true, ICANON | ECHO);
  constexpr int kEof = std::char_traits<char>::eof();
  auto ended = [this] {
    input_ended_ = true;
    out_ << '\n';
    return false;
  };
  for (;;) {
    const int c = in_.get();
    if (c == kEof || c == kEndOfText) return ended();
    if (c == '\r' || c == '\n') {
      out_ << '\n';
      edit->text = text;
      return true;
    }
    if (c == kEscape) {
      if (!DropKeySequence(in_)) return ended();
      continue;
    }
    if (c == kBackspace || c == kDelete) {
      if (!text.empty()) {
        // One character: in UTF-8 its continuation bytes go with it.
        size_t start = text.size() - 1;
        if (utf8_)
          while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
        text.erase(start);
        out_ << "\b \b";
      }
    } else if (static_cast<unsigned char>(c) >= ' ') {
      text.push_back(static_cast<char>(c));
      // A character shows once, at its first byte.
      const bool continuation = utf8_ && (static_cast<unsigned char>(c) & 0xC0) == 0x80;
      if (mask != 0 && !continuation)
        out_ << mask;
      else if (mask == 0)
        out_ << static_cast<char>(c);
    }
    out_.flush();
  }
}

std::optional<std::string> Terminal::BrowseForFolder(const Form*, const std::string& title) {
  EndOpenLine();
  out_ << '\n' << title << '\n';
  for (;;) {
    out_ << "Folder (Enter alone cancels): ";
    std::string line;
    if (!ReadLine(&line)) return std::nullopt;
    const std::string typed = Trim(line);
    if (typed.empty()) return std::nullopt;
    std::string why;
    if (std::optional<std::string> folder = ExistingFolder(typed, &why)) return folder;
    out_ << why << '\n';
  }
}

std::optional<std::string> Terminal::ExistingFolder(const std::string& typed,
                                                    std::string* why) const {
  const std::optional<std::string> full = CanonicalWindowsPath(
      typed[0] == '/' && host_ != nullptr ? host_->FromNativePath(typed) : typed);
  if (!full) {
    *why = "\"" + typed +
           "\" is not a full folder name: type one with its drive, such as C:\\Intranet, or a "
           "path of this computer, such as /srv/www.";
    return std::nullopt;
  }
  const std::string& folder = *full;
  const uint32_t attributes =
      host_ != nullptr ? host_->FileAttributes(folder) : kInvalidFileAttributes;
  if (attributes == kInvalidFileAttributes) {
    *why = folder + " does not exist: type a folder that exists.";
    return std::nullopt;
  }
  if ((attributes & kAttributeDirectory) == 0) {
    *why = folder + " is not a folder: type a folder that exists.";
    return std::nullopt;
  }
  return folder;
}

void Terminal::OpenWebAddress(const std::string& url) {
  EndOpenLine();
  out_ << "Open " << url << " in a web browser.\n";
  out_.flush();
}

namespace {

// Whether the user's locale (LC_ALL, LC_CTYPE, LANG) has the UTF-8
// character set. The program's own locale is left as it was.
bool LocaleIsUtf8() {
  const char* current = std::setlocale(LC_CTYPE, nullptr);
  const std::string saved = current != nullptr ? current : "C";
  if (std::setlocale(LC_CTYPE, "") == nullptr) return false;
  const std::string codeset = ::nl_langinfo(CODESET);
  std::setlocale(LC_CTYPE, saved.c_str());
  return codeset == "UTF-8";
}

// The program's own terminal: the standard input and output, shared with
// the programs the installer starts, before which the run ends a progress
// line drawn in place (EndOpenLine).
class ConsoleTerminal final : public Terminal {
 public:
  explicit ConsoleTerminal(Host& host)
      : Terminal(std::cin, std::cout, ::isatty(STDIN_FILENO) == 1, ::isatty(STDOUT_FILENO) == 1) {
    SetHost(&host);
    SetUtf8(LocaleIsUtf8());
    if (::isatty(STDIN_FILENO) == 1) {
      // A whole line typed ahead is waiting: the terminal's line discipline
      // makes standard input readable only then.
      SetTypedAhead([] {
        pollfd input = {STDIN_FILENO, POLLIN, 0};
        return ::poll(&input, 1, 0) > 0;
      });
    }
  }
};

}  // namespace

std::unique_ptr<Ui> CreateUi(Host& host) { return std::make_unique<ConsoleTerminal>(host); }
