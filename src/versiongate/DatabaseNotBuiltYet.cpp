// Not built yet: the database access over libpq. Every operation fails.
#include "platform/Fault.h"
#include "versiongate/Database.h"

struct TZConnection::Impl {};
struct TZQuery::Impl {};

TZConnection::TZConnection(Host&) : impl_(std::make_unique<Impl>()) {}
TZConnection::~TZConnection() = default;
void TZConnection::Connect() { throw DatabaseFault("The database access is not built yet"); }
void TZConnection::Disconnect() {}
bool TZConnection::Connected() const { return false; }

TZQuery::TZQuery(TZConnection&) : impl_(std::make_unique<Impl>()) {}
TZQuery::~TZQuery() = default;
void TZQuery::Open() { throw DatabaseFault("The database access is not built yet"); }
void TZQuery::Close() {}
void TZQuery::ExecSQL() { throw DatabaseFault("The database access is not built yet"); }
bool TZQuery::Active() const { return false; }
int TZQuery::RecordCount() const { return 0; }
void TZQuery::First() {}
std::string TZQuery::FieldAsString(const std::string&) const { return std::string(); }
