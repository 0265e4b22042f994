#pragma once
// TDBLoginForm1: the modal "DB Login" dialog that asks for the database
// server, user name and password. It never writes the settings itself: the
// version gate fills its edits before showing it and copies them back after
// OK. Created hidden at start-up; the edits keep their text between showings.

#include "formlib/Application.h"
#include "formlib/Forms.h"
#include "install/Settings.h"

class TDBLoginForm1 : public Form {
 public:
  TDBLoginForm1(TApplication& app, const Settings& settings);

  Control GroupBox1;
  Control Label1;
  Control Label2;
  Control Label3;
  Control Server1;
  Control Username1;
  Control Password1;
  Control Ok1;
  Control Cancel1;

  bool Cancelled = false;

  // True only when the dialog was closed with OK. When the dialog is on
  // screen already it is brought to the front and false comes back at once.
  bool ShowLogin();

  void FormShow();
  void Ok1Click();
  void Cancel1Click();

  void DoShow() override { FormShow(); }
  void Click(Control& control) override;

 private:
  TApplication& app_;
  const Settings& settings_;
};
