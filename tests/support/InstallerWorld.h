#pragma once
// A complete installer on the fake host and front-end, for tests of the
// phases: the application, the settings, a recording progress display, the database
// components, the login dialog and the Installer that joins them.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "formlib/Application.h"
#include "install/Installer.h"
#include "install/PackageDefinition.h"
#include "install/Settings.h"
#include "support/FakeHost.h"
#include "support/FakeUi.h"
#include "versiongate/Database.h"
#include "versiongate/Dblogin.h"

// Records what the install shows, in order: "status: ...", "text: ...",
// "progress: N".
class RecordingUi : public InstallUi {
 public:
  void ShowStatus(const std::string& text) override {
    status = text;
    log.push_back("status: " + text);
  }
  void ShowProgress(int percent) override { log.push_back("progress: " + std::to_string(percent)); }
  void SetStatusText(const std::string& text) override {
    status = text;
    log.push_back("text: " + text);
  }
  std::string DestinationFolder() const override { return destination; }
  const Form* Owner() const override { return &owner; }

  // The entries of `log` that start with `prefix`, without it.
  std::vector<std::string> Only(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& line : log)
      if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line.substr(prefix.size()));
    return out;
  }

  struct OwnerForm : Form {
    OwnerForm() : Form("Form1", 484, 284) {}
    void Click(Control&) override {}
  } owner;
  std::string destination = "C:\\Intranet";
  std::string status;
  std::vector<std::string> log;
};

// HostT is FakeHost or a test's own FakeHost with some calls changed.
template <class HostT>
struct InstallerWorldOn {
  HostT host;
  FakeUi screen;
  TApplication app{host, screen};
  Settings settings;
  RecordingUi ui;
  TZConnection connection{host};
  TZQuery query{connection};
  TDBLoginForm1 login{app, settings};
  Installer installer{app, ThePackage(), settings, ui, connection, query, login};

  // The user's part while the login dialog is on screen.
  void WhenLoginShown(std::function<void()> user) {
    screen.on_modal = [this, user](Form& form) {
      ASSERT_EQ(&login, &form);
      ++login_showings;
      user();
    };
  }
  int login_showings = 0;
};

using InstallerWorld = InstallerWorldOn<FakeHost>;
