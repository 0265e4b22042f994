#include <gtest/gtest.h>

#include "formlib/Application.h"
#include "platform/Fault.h"
#include "support/FakeHost.h"
#include "support/FakeUi.h"

namespace {

TEST(ApplicationTest, ExceptionTextGetsAFullStopAfterCharactersSortingAfterIt) {
  struct Case {
    std::string message;
    std::string shown;
  };
  const Case cases[] = {
      {"Cannot open file C:\\x", "Cannot open file C:\\x."},
      {"Already ends.", "Already ends."},
      {"Ends in a bang!", "Ends in a bang!"},
      {"Ends in a dash -", "Ends in a dash -"},
      {"Ends in a slash /", "Ends in a slash /."},
      {"Ends in a digit 5", "Ends in a digit 5."},
      {"Ends in a quote '", "Ends in a quote '"},
      {"Ends high \xe9", "Ends high \xe9."},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(TApplication::ExceptionText(c.message), c.shown);
  }
}

class ThrowingForm : public Form {
 public:
  ThrowingForm() : Form("Form1", 100, 100), Button("Button", ControlKind::kButton, nullptr, {}) {
    Add(Button);
  }
  void Click(Control&) override {
    ++clicks;
    throw Fault("Cannot open file C:\\a.ini");
  }
  Control Button;
  int clicks = 0;
};

TEST(ApplicationTest, AFaultInAHandlerIsShownAndTheLoopGoesOn) {
  FakeHost host;
  FakeUi screen;
  TApplication app(host, screen);
  ThrowingForm form;
  app.CreateForm(form);
  app.SetTitle("Installing...");
  screen.QueueClick(form, form.Button);
  screen.QueueClick(form, form.Button);
  screen.ExpectBox("Cannot open file C:\\a.ini.", "Installing...", kMbOk | kMbIconError, kIdOk);
  screen.ExpectBox("Cannot open file C:\\a.ini.", "Installing...", kMbOk | kMbIconError, kIdOk);
  app.Run(form);  // the end of input closes the form
  EXPECT_EQ(form.clicks, 2);
  EXPECT_EQ(screen.last_box_owner, &form);
}

TEST(ApplicationTest, DisabledOrHiddenControlsGetNoClicks) {
  FakeHost host;
  FakeUi screen;
  TApplication app(host, screen);
  ThrowingForm form;
  app.CreateForm(form);
  form.Button.enabled = false;
  screen.QueueClick(form, form.Button);
  app.Run(form);
  form.Button.enabled = true;
  form.Button.visible = false;
  screen.QueueClick(form, form.Button);
  form.ResetClose();
  app.Run(form);
  EXPECT_EQ(form.clicks, 0);
}

}  // namespace
