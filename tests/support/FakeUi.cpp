#include "support/FakeUi.h"

#include <gtest/gtest.h>

void FakeUi::AttachForm(Form& form) {
  ui_log.push_back("attach " + form.name);
  if (on_attach) on_attach(form);
}

void FakeUi::DisplayForm(Form& form, bool modal) {
  ui_log.push_back("display " + form.name);
  if (!modal) return;
  if (on_modal) {
    on_modal(form);
  } else {
    ADD_FAILURE() << "unexpected dialog " << form.caption;
    form.Close();
  }
}

void FakeUi::HideForm(Form& form) { ui_log.push_back("hide " + form.name); }

void FakeUi::BringToFront(Form& form) { ui_log.push_back("front " + form.name); }

void FakeUi::Repaint(Form& form, const Control* control) {
  const std::string name = control == nullptr ? form.name : control->name;
  ui_log.push_back("repaint " + name);
  repaints.emplace_back(name, control == nullptr ? std::string() : control->text);
}

bool FakeUi::NextEvent(UiEvent* event, bool wait) {
  (void)wait;
  if (events.empty()) return false;
  *event = events.front();
  events.pop_front();
  return true;
}

void FakeUi::ExpectBox(const std::string& text, const std::string& caption, unsigned flags,
                       int answer, std::function<void()> then) {
  script_.push_back({{text, caption, flags, answer}, std::move(then)});
}

namespace {

// The answer to a box nobody scripted: the one that stops, so that a loop
// asking again ends instead of running the test forever.
int StoppingAnswer(unsigned flags) { return (flags & kMbButtonMask) == kMbYesNo ? kIdNo : kIdOk; }

}  // namespace

int FakeUi::ShowMessageBox(const Form* owner, const std::string& text, const std::string& caption,
                           unsigned flags) {
  boxes.push_back({text, caption, flags, StoppingAnswer(flags)});
  last_box_owner = owner;
  if (script_.empty()) {
    ADD_FAILURE() << "unexpected box [" << caption << "] " << text;
    return boxes.back().answer;
  }
  ScriptedBox next = std::move(script_.front());
  script_.pop_front();
  EXPECT_EQ(next.box.text, text);
  EXPECT_EQ(next.box.caption, caption);
  EXPECT_EQ(next.box.flags, flags) << text;
  if (next.box.text != text) return boxes.back().answer;  // out of step: stop here
  boxes.back().answer = next.box.answer;
  if (next.then) next.then();
  return next.box.answer;
}

std::optional<std::string> FakeUi::BrowseForFolder(const Form*, const std::string& title) {
  browse_titles.push_back(title);
  if (browse_answers.empty()) {
    ADD_FAILURE() << "unexpected folder browser";
    return std::nullopt;
  }
  std::optional<std::string> answer = browse_answers.front();
  browse_answers.pop_front();
  return answer;
}

FakeUi::~FakeUi() {
  for (const ScriptedBox& box : script_) ADD_FAILURE() << "box not shown: " << box.box.text;
}
