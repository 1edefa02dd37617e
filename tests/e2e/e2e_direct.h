// Direct runs of quorvik in end-to-end tests: the program into the test server with a load
// path forced, the database it created dropped afterwards whatever happened, and what tests
// read back from such a database or load into one.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/cli_run.h"
#include "e2e/script_batches.h"
#include "odb/odb_connection.h"
#include "odb/odb_exception.h"
#include "odb/odb_login.h"
#include "odb/odb_meta_data.h"
#include "odb/odb_recordset.h"
#include "odb/odb_test_login.h"
#include "tk/tk_encoding.h"

// Drops the database the program under test created, whatever happened.
class dropped_database {
 public:
  dropped_database(const odb_login& login, std::u16string name)
      : login_(login), name_(std::move(name)) {
    login_.database.clear();
  }
  ~dropped_database() {
    try {
      odb_connection(login_).execute(u"IF DB_ID(N'" + name_ + u"') IS NOT NULL DROP DATABASE [" +
                                     name_ + u"]");
    } catch (const odb_exception& e) {
      ADD_FAILURE() << "cannot drop " << tk_to_utf8_lossy(name_) << ": " << e.what();
    }
  }
  dropped_database(const dropped_database&) = delete;
  dropped_database& operator=(const dropped_database&) = delete;

 private:
  odb_login login_;
  std::u16string name_;
};

// Runs quorvik into the server with the load path forced.
inline cli_result quorvik_direct(const odb_login& login, const std::vector<std::string>& args,
                                 const char* load_path) {
  ::setenv("QUORVIK_LOAD_PATH", load_path, 1);
  std::vector<std::string> all = args;
  all.push_back("--mssqlh=" + tk_to_utf8_lossy(login.server));
  all.push_back("--mssqlu=" + tk_to_utf8_lossy(login.user));
  all.push_back("--mssqlp=" + tk_to_utf8_lossy(login.password));
  for (std::string& arg : odb_test_tls_args(login)) all.push_back(std::move(arg));
  cli_result result = quorvik(all);
  ::unsetenv("QUORVIK_LOAD_PATH");
  return result;
}

// The table with its schema, which a direct run chooses by the login.
inline std::string qualified(odb_connection& connection, const std::string& table) {
  for (const odb_table_meta& meta : odb_read_tables(connection)) {
    if (tk_to_utf8_lossy(meta.name) == table)
      return "[" + tk_to_utf8_lossy(meta.schema) + "].[" + table + "]";
  }
  ADD_FAILURE() << "no table " << table;
  return "[" + table + "]";
}

// The tables of the database whose names hold `part`, and their rows, as "name=rows ...".
inline std::string tables_like(const odb_login& login, const std::string& db,
                               const std::u16string& part) {
  odb_login in_db = login;
  in_db.database = tk_from_utf8_lossy(db);
  odb_connection c(in_db);
  std::string out;
  const std::unique_ptr<odb_recordset> names =
      c.query(u"SELECT SCHEMA_NAME(schema_id), name FROM sys.tables WHERE name LIKE N'%" + part +
              u"%' ORDER BY name");
  for (std::size_t i = 0; i < names->size(); ++i) {
    const std::u16string schema = names->row(i)[0].to_wstring();
    const std::u16string name = names->row(i)[1].to_wstring();
    out +=
        (out.empty() ? "" : " ") + tk_to_utf8_lossy(name) + "=" +
        tk_to_utf8_lossy(c.scalar(u"SELECT COUNT_BIG(*) FROM [" + schema + u"].[" + name + u"]"));
  }
  return out;
}

// Runs every batch of a script, each of which must succeed.
inline void load_script(odb_connection& connection, const std::string& script) {
  for (const std::string& batch : script_batches(script))
    ASSERT_NO_THROW(connection.execute_utf8(batch)) << batch.substr(0, 400);
}

// Converts `src` into a fresh database through bulk copy and through INSERT statements, and
// hands each database to `check`.
template <class Check>
void for_each_direct_load(const odb_login& login, const std::string& src, const std::string& tag,
                          Check&& check) {
  for (const char* load_path : {"bulk", "insert"}) {
    SCOPED_TRACE(load_path);
    const std::u16string name =
        tk_from_utf8_lossy(tag + "_" + std::to_string(::getpid()) + "_" + load_path);
    const dropped_database guard(login, name);
    const cli_result run =
        quorvik_direct(login, {"--src=" + src, "--dest=" + tk_to_utf8_lossy(name)}, load_path);
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    odb_login direct = login;
    direct.database = name;
    odb_connection connection(direct);
    check(connection, std::string(load_path));
  }
}
