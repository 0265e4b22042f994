// The unattended front-end: nothing on screen, no input, and every box
// answered at once in the way that stops at the first doubt.
#include <memory>

#include "formlib/Forms.h"
#include "formlib/Ui.h"

namespace {

class UnattendedUi : public Ui {
 public:
  explicit UnattendedUi(Console& console) : console_(console) {}

  void SetApplicationTitle(const std::string&) override {}
  void AttachForm(Form&) override {}
  void DisplayForm(Form&, bool) override {}
  void HideForm(Form&) override {}
  void BringToFront(Form&) override {}
  void Repaint(Form&, const Control*) override {}
  void PumpEvents() override {}
  // No input will ever come: a modal dialog or the wizard that waits for
  // one is closed as by its close box.
  bool NextEvent(UiEvent*, bool) override { return false; }

  int ShowMessageBox(const Form*, const std::string& text, const std::string& caption,
                     unsigned flags) override {
    const bool question = (flags & kMbButtonMask) == kMbYesNo;
    console_.Error(caption + ": " + text + (question ? " [answered No]" : "") + "\n");
    return question ? kIdNo : kIdOk;
  }
  std::optional<std::string> BrowseForFolder(const Form*, const std::string&) override {
    return std::nullopt;
  }
  void OpenWebAddress(const std::string&) override {}

 private:
  Console& console_;
};

}  // namespace

std::unique_ptr<Ui> CreateUnattendedUi(Console& console) {
  return std::make_unique<UnattendedUi>(console);
}
