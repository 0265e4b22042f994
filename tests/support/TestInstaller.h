#pragma once
// An Installer over the fake host, with the wizard's side played by a
// recorder, for tests of the install phases and the version gate.

#include <string>
#include <vector>

#include "engine/Installer.h"
#include "platform/Application.h"
#include "platform/fake/FakeHost.h"
#include "shell/PackageDefinition.h"
#include "shell/Settings.h"
#include "versiongate/Database.h"
#include "versiongate/Dblogin.h"

// The wizard window that owns the boxes.
class TestWizard : public Form {
 public:
  TestWizard() : Form("Form1", 484, 284) {}
  void Click(Control&) override {}
};

class TestInstallUi : public InstallUi {
 public:
  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
  void ShowProgress(int percent) override { progress.push_back(percent); }
  void SetStatusText(const std::string& text) override { statuses.push_back(text); }
  std::string DestinationFolder() const override { return destination; }
  const Form* Owner() const override { return &wizard; }

  std::string destination = "C:\\Intranet";
  std::vector<std::string> statuses;
  std::vector<int> progress;
  TestWizard wizard;
};

struct TestInstaller {
  FakeHost host;
  TApplication app{host};
  Settings settings;
  TestInstallUi ui;
  TZConnection connection{host};
  TZQuery query{connection};
  TDBLoginForm1 login{app, settings};
  Installer installer{app, ThePackage(), settings, ui, connection, query, login};
};
