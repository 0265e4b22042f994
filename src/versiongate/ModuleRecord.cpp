#include "versiongate/ModuleRecord.h"

#include <exception>

#include "install/PackageDefinition.h"
#include "install/Settings.h"
#include "versiongate/Database.h"

namespace {

// The settings may have changed since the last connect (the login dialog),
// so they are applied again before every one.
void ApplyConnectionParameters(Installer& installer) {
  TZConnection& connection = installer.SQLConnection1;
  connection.HostName = installer.settings.DbHost;
  connection.Database = "corvantis";
  connection.User = installer.settings.DbUser;
  connection.Password = installer.settings.DbPassword;
}

// The package constants hold no quote, so plain concatenation is safe here.
std::string ModuleQuery(const PackageDefinition& package) {
  return "SELECT * FROM modules WHERE name='" + package.ModuleName + "';";
}

std::string ModuleUpdate(const PackageDefinition& package) {
  return "UPDATE modules SET version='" + package.ThisVersion + "',verdate='" +
         package.ReleaseDate + "' WHERE name='" + package.ModuleName + "';";
}

}  // namespace

// On an error nothing is closed: the connection stays open, and the next
// operation's Connect does nothing and runs on it.
std::string ReadInstalledVersion(Installer& installer) {
  TZConnection& connection = installer.SQLConnection1;
  TZQuery& query = installer.SQLQuery1;
  ApplyConnectionParameters(installer);
  connection.Connect();
  query.SQL = ModuleQuery(installer.package);
  query.Open();
  std::string version;
  if (query.RecordCount() > 0) {
    query.First();
    version = query.FieldAsString("version");
  }
  query.Close();
  connection.Disconnect();
  return version;
}

bool RecordModuleVersion(Installer& installer) {
  TZConnection& connection = installer.SQLConnection1;
  TZQuery& query = installer.SQLQuery1;
  try {
    ApplyConnectionParameters(installer);
    connection.Connect();
    query.SQL = ModuleQuery(installer.package);
    query.Open();
    // Without a row the text stays the query, and executing it writes nothing.
    if (query.RecordCount() > 0) query.SQL = ModuleUpdate(installer.package);
    query.Close();
    query.ExecSQL();
    query.Close();
    connection.Disconnect();
    return true;
  } catch (const std::exception&) {
    installer.ErrorBox(
        "Unable to update the module version in the database. Please contact technical "
        "support.",
        kMbOk | kMbIconError);
    return false;
  }
}
