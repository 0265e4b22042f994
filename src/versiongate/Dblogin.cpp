#include "versiongate/Dblogin.h"

TDBLoginForm1::TDBLoginForm1(TApplication& app, const Settings& settings)
    : Form("DBLoginForm1", 230, 160),
      GroupBox1("GroupBox1", ControlKind::kGroupBox, nullptr, {10, 10, 210, 105}),
      Label1("Label1", ControlKind::kLabel, &GroupBox1, {10, 25, 34, 13}),
      Label2("Label2", ControlKind::kLabel, &GroupBox1, {10, 50, 51, 13}),
      Label3("Label3", ControlKind::kLabel, &GroupBox1, {10, 75, 49, 13}),
      Server1("Server1", ControlKind::kEdit, &GroupBox1, {70, 20, 125, 21}),
      Username1("Username1", ControlKind::kEdit, &GroupBox1, {70, 45, 125, 21}),
      Password1("Password1", ControlKind::kEdit, &GroupBox1, {70, 70, 125, 21}),
      Ok1("Ok1", ControlKind::kButton, nullptr, {30, 125, 75, 25}),
      Cancel1("Cancel1", ControlKind::kButton, nullptr, {120, 125, 75, 25}),
      app_(app),
      settings_(settings) {
  caption = "DB Login";
  GroupBox1.text = "Database";
  Label1.text = "Server:";
  Label2.text = "Username:";
  Label3.text = "Password:";
  Label1.focus_control = &Server1;
  Label2.focus_control = &Username1;
  Label3.focus_control = &Password1;
  Server1.tab_order = 0;
  Username1.tab_order = 1;
  Password1.tab_order = 2;
  Password1.password_char = '*';
  Ok1.text = "&OK";
  Ok1.default_button = true;
  Ok1.tab_order = 1;
  Ok1.key = 'o';
  Cancel1.text = "&Cancel";
  Cancel1.cancel_button = true;
  Cancel1.tab_order = 2;
  Cancel1.key = 'c';
  for (Control* c :
       {&GroupBox1, &Label1, &Label2, &Label3, &Server1, &Username1, &Password1, &Ok1, &Cancel1})
    Add(*c);
  app_.CreateForm(*this);
}

bool TDBLoginForm1::ShowLogin() {
  if (displayed) {
    app_.ui().BringToFront(*this);
    return false;
  }
  Cancelled = false;
  app_.ShowModal(*this);
  // The modal result is not looked at: Cancelled alone decides.
  return !Cancelled;
}

void TDBLoginForm1::FormShow() {
  Cancelled = true;
  Username1.text = settings_.DbUser;
  Server1.text = settings_.DbHost;
}

void TDBLoginForm1::Ok1Click() {
  Cancelled = false;
  Close();
}

void TDBLoginForm1::Cancel1Click() {
  Cancelled = true;
  Close();
}

void TDBLoginForm1::Click(Control& control) {
  if (&control == &Ok1) Ok1Click();
  if (&control == &Cancel1) Cancel1Click();
}
