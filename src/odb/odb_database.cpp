// A server database over one owned connection.
#include "odb/odb_database.h"

#include "odb/odb_connection.h"
#include "odb/odb_exception.h"
#include "tk/tk_log.h"

odb_database::odb_database(std::u16string name, std::unique_ptr<odb_connection> connection,
                           int mode)
    : udb_database(std::move(name), 2, false), connection_(std::move(connection)), mode_(mode) {
  TK_LOG(2, "odb_database::ctor");
}

odb_database::~odb_database() = default;

int odb_database::query(const std::u16string& sql) {
  TK_WLOG(2, "odb_database::query(%s)", sql);
  connection_->execute(sql);
  return 0;
}

bool odb_database::test_query(const std::u16string& sql) {
  TK_WLOG(2, "odb_database::test_query(%s)", sql);
  try {
    connection_->execute(sql);
  } catch (const odb_exception&) {
    TK_LOG(2, "Query failed");
    return false;
  }
  TK_LOG(2, "Query succeeded");
  return true;
}
