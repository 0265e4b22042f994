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

// The opening both operations share: the settings applied, the connect
// logged (never the password), the connection made and the module's row
// queried, each step in the log. Raises what the database raises.
TZQuery& OpenModuleQuery(Installer& installer) {
  TZConnection& connection = installer.SQLConnection1;
  TZQuery& query = installer.SQLQuery1;
  RunLog& log = installer.app.log();
  ApplyConnectionParameters(installer);
  log.Write("database: host " + connection.HostName + ", database " + connection.Database +
            ", user " + connection.User);
  connection.Connect();
  query.SQL = ModuleQuery(installer.package);
  log.Write("SQL: " + query.SQL);
  query.Open();
  return query;
}

}  // namespace

std::string ModuleUpdate(const PackageDefinition& package) {
  return "UPDATE modules SET version='" + package.ThisVersion + "',verdate='" +
         package.ReleaseDate + "' WHERE name='" + package.ModuleName + "';";
}

// On an error nothing is closed: the connection stays open, and the next
// operation's Connect does nothing and runs on it.
std::string ReadInstalledVersion(Installer& installer) {
  RunLog& log = installer.app.log();
  try {
    TZQuery& query = OpenModuleQuery(installer);
    std::string version;
    if (query.RecordCount() > 0) {
      query.First();
      version = query.FieldAsString("version");
    }
    log.Write("SQL result: " + std::to_string(query.RecordCount()) + " row(s), version '" +
              version + "'");
    query.Close();
    installer.SQLConnection1.Disconnect();
    return version;
  } catch (const std::exception& e) {
    log.Write(std::string("database error: ") + e.what());
    throw;
  }
}

bool RecordModuleVersion(Installer& installer) {
  RunLog& log = installer.app.log();
  try {
    TZQuery& query = OpenModuleQuery(installer);
    log.Write("SQL result: " + std::to_string(query.RecordCount()) + " row(s)");
    // Without a row the text stays the query, and executing it writes nothing.
    if (query.RecordCount() > 0) query.SQL = ModuleUpdate(installer.package);
    query.Close();
    log.Write("SQL: " + query.SQL);
    query.ExecSQL();
    log.Write("SQL done");
    query.Close();
    installer.SQLConnection1.Disconnect();
    return true;
  } catch (const std::exception& e) {
    log.Write(std::string("database error: ") + e.what());
    installer.ErrorBox(
        "Unable to update the module version in the database. Please contact technical "
        "support.",
        kMbOk | kMbIconError);
    return false;
  }
}
