#pragma once
// FakeUi: a scripted front-end for tests of the core.
//
// Message boxes follow a script: a box the script does not expect, or one
// whose text, caption or flags differ, fails the running test; a box nobody
// scripted, or one out of step with the script, is answered No (OK when it
// has no No button), so a loop that asks again stops. The folder
// browser takes its answers from a queue, modal dialogs are played by a
// callback, user actions are queued, and what the core shows is logged.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "formlib/Forms.h"
#include "formlib/Ui.h"

class FakeUi : public Ui {
 public:
  FakeUi() = default;
  ~FakeUi() override;  // fails the test when scripted boxes were not shown

  struct Box {
    std::string text;
    std::string caption;
    unsigned flags;
    int answer;
  };
  // Scripts the next box: it must show this text, caption and flags; the
  // answer is returned. `then` runs before the answer is returned.
  void ExpectBox(const std::string& text, const std::string& caption, unsigned flags, int answer,
                 std::function<void()> then = nullptr);
  std::vector<Box> boxes;  // every box shown, in order
  const Form* last_box_owner = nullptr;

  std::deque<std::optional<std::string>> browse_answers;  // nullopt: cancelled
  std::vector<std::string> browse_titles;
  std::vector<std::string> web_addresses;
  std::vector<std::string> titles;

  // Queued user actions for NextEvent.
  void QueueClick(Form& form, Control& control) { events.push_back({&form, &control}); }
  void QueueCloseBox(Form& form) { events.push_back({&form, nullptr}); }
  std::deque<UiEvent> events;
  // Runs when a form is displayed modally: plays the user's part in it.
  std::function<void(Form&)> on_modal;
  // Runs when a form is attached (a test may raise a fault there).
  std::function<void(Form&)> on_attach;
  // "title <text>", "attach <form>", "repaint <control>" / "repaint <form>",
  // "pump", "display <form>", "hide <form>".
  std::vector<std::string> ui_log;
  // The text of each control at the time it was repainted, in order.
  std::vector<std::pair<std::string, std::string>> repaints;

  // Ui.
  void SetApplicationTitle(const std::string& title) override {
    titles.push_back(title);
    ui_log.push_back("title " + title);
  }
  void AttachForm(Form& form) override;
  void DisplayForm(Form& form, bool modal) override;
  void HideForm(Form& form) override;
  void BringToFront(Form& form) override;
  void Repaint(Form& form, const Control* control) override;
  void PumpEvents() override { ui_log.push_back("pump"); }
  bool NextEvent(UiEvent* event, bool wait) override;
  int ShowMessageBox(const Form* owner, const std::string& text, const std::string& caption,
                     unsigned flags) override;
  std::optional<std::string> BrowseForFolder(const Form* owner, const std::string& title) override;
  void OpenWebAddress(const std::string& url) override { web_addresses.push_back(url); }
  void EndOpenLine() override { ++open_lines_ended; }
  int open_lines_ended = 0;

 private:
  struct ScriptedBox {
    Box box;
    std::function<void()> then;
  };
  std::deque<ScriptedBox> script_;
};
