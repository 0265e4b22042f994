#include <gtest/gtest.h>

#include "formlib/Forms.h"
#include "formlib/Ui.h"
#include "support/RecordingConsole.h"

namespace {

struct PlainForm : Form {
  PlainForm() : Form("Form1", 10, 10) {}
  void Click(Control&) override {}
};

// Each box answers itself (an OK box is acknowledged, a question answered
// No, whatever its default) and goes to standard error only; no input ever
// comes, and the folder browser is never available.
TEST(UnattendedUiTest, BoxesAnswerThemselvesAndNoInputComes) {
  const struct {
    unsigned flags;
    int answer;
    const char* told;
  } cases[] = {
      {kMbOk | kMbIconError, kIdOk, "ERROR: It failed.\nReally.\n"},
      {kMbYesNo | kMbIconQuestion | kMbDefButton2, kIdNo,
       "ERROR: It failed.\nReally. [answered No]\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.told);
    RecordingConsole console;
    const std::unique_ptr<Ui> ui = CreateUnattendedUi(console);
    PlainForm form;
    ui->SetApplicationTitle("Update...");
    ui->AttachForm(form);
    ui->DisplayForm(form, true);
    EXPECT_EQ(ui->ShowMessageBox(&form, "It failed.\nReally.", "ERROR", c.flags), c.answer);
    UiEvent event;
    EXPECT_FALSE(ui->NextEvent(&event, true));
    EXPECT_FALSE(ui->NextEvent(&event, false));
    EXPECT_EQ(ui->BrowseForFolder(&form, "Browse"), std::nullopt);
    ui->OpenWebAddress("https://example.com/");
    EXPECT_EQ(console.error, c.told);
    EXPECT_EQ(console.output, "");
  }
}

}  // namespace
