// Direct mode into the test server, walked through the wizard: connection, the
// existing-database dialog with each of its four modes, the rows on the server, and what an
// Abort in the error dialog leaves there.
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QtTest>
#include <fstream>
#include <optional>

#include "e2e/e2e_dbf.h"
#include "gui/gui_dialogs.h"
#include "gui_test_util.h"
#include "odb/odb_connection.h"
#include "odb/odb_login.h"
#include "odb/odb_recordset.h"
#include "odb/odb_test_login.h"
#include "tk/tk_encoding.h"
#include "tk/tk_test_dir.h"

namespace {

const QString k_samples = QStringLiteral(QV_SOURCE_DIR "/samples/shop");

int count_rows(const odb_login& server, const QString& db, const QString& table) {
  odb_login login = server;
  login.database = db.toStdU16String();
  odb_connection c(login);
  const std::u16string n =
      c.scalar(u"SELECT COUNT(*) FROM [dbo].[" + table.toStdU16String() + u"]");
  return QString::fromStdU16String(n).toInt();
}

// The tables of `db` whose names contain `part`, as "schema.name" separated by spaces.
QString tables_like(const odb_login& server, const QString& db, const QString& part) {
  odb_login login = server;
  login.database = db.toStdU16String();
  odb_connection c(login);
  const std::unique_ptr<odb_recordset> names =
      c.query(u"SELECT SCHEMA_NAME(schema_id), name FROM sys.tables WHERE name LIKE N'%" +
              part.toStdU16String() + u"%' ORDER BY name");
  QStringList out;
  for (std::size_t i = 0; i < names->size(); ++i) {
    out << QString::fromStdU16String(names->row(i)[0].to_wstring() + u"." +
                                     names->row(i)[1].to_wstring());
  }
  return out.join(QLatin1Char(' '));
}

// Copies the shared Northwind container into `dir`; false when the shared data is absent.
bool copy_northwind(const QString& dir) {
  const QDir from(QStringLiteral(QV_TESTDATA_DIR "/vfp-northwind"));
  if (!from.exists(QStringLiteral("northwind.dbc"))) return false;
  for (const QString& name : from.entryList(QDir::Files)) {
    const QString to = dir + QLatin1Char('/') + name;
    QFile::remove(to);
    if (!QFile::copy(from.filePath(name), to)) return false;
  }
  return true;
}

// Overwrites record `target` (1-based) of the table at `path` with record 1, so that the
// server's primary key refuses it; empty when the table is too short or cannot be rewritten.
QByteArray duplicate_first_record(const QString& path, int target) {
  QFile f(path);
  if (!f.open(QIODevice::ReadWrite)) return {};
  QByteArray bytes = f.readAll();
  const auto u16 = [&bytes](int at) {
    return int(static_cast<unsigned char>(bytes[at])) |
           int(static_cast<unsigned char>(bytes[at + 1])) << 8;
  };
  if (bytes.size() < 12) return {};
  const int header = u16(8);
  const int record = u16(10);
  const qsizetype to = header + qsizetype(target - 1) * record;
  if (to + record > bytes.size()) return {};
  const QByteArray first = bytes.mid(header, record);
  bytes.replace(to, record, first);
  if (!f.seek(0) || f.write(bytes) != bytes.size()) return {};
  return first;
}

}  // namespace

class server_test : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase();
  void cleanupTestCase();
  void direct_walk_and_each_existing_database_mode();
  void tables_loading_at_once_are_named_while_they_load();
  void abort_in_the_error_dialog_leaves_no_half_table();
  void comma_port_and_a_destination_per_scenario();
  void keyboard_alone_walks_a_direct_load_from_welcome_to_finish();

 private:
  // Walks to the tables page with the server login, the folder `source` and the database
  // `db` (db_ when empty); `mode` answers the existing-database dialog (-1: it must not come
  // up).
  void walk(wizard_under_test& w, int mode, const QString& source = k_samples,
            const QString& db = {});
  void type_encryption(wizard_under_test& w);
  // The connection page filled with the test server's login, at the address `server`.
  void type_login(wizard_under_test& w, const QString& server);
  std::optional<odb_login> login_;
  QString db_;
  QString abort_db_;
  QString keys_db_;
};

void server_test::initTestCase() {
  login_ = odb_test_login();
  if (!login_) QSKIP("no test server (../shared/babelfish absent and QV_MSSQL_SERVER unset)");
  db_ = QStringLiteral("qvt_gui_%1").arg(QCoreApplication::applicationPid());
  abort_db_ = db_ + QStringLiteral("_abort");
  keys_db_ = db_ + QStringLiteral("_keys");
}

void server_test::cleanupTestCase() {
  if (!login_) return;
  try {
    odb_login admin = *login_;
    admin.database.clear();
    odb_connection c(admin);
    for (const QString& db : {db_, abort_db_, keys_db_}) {
      c.execute(u"IF DB_ID(N'" + db.toStdU16String() + u"') IS NOT NULL DROP DATABASE [" +
                db.toStdU16String() + u"]");
    }
  } catch (const std::exception& e) {
    qWarning("cannot drop the test databases: %s", e.what());
  }
}

void server_test::type_login(wizard_under_test& w, const QString& server) {
  w.type(1014, server);
  if (login_->user.empty()) {
    w.click(1329);
  } else {
    w.click(1330);
    w.type(1012, QString::fromStdU16String(login_->user));
    w.type(1013, QString::fromStdU16String(login_->password));
  }
  type_encryption(w);
}

void server_test::type_encryption(wizard_under_test& w) {
  w.check(1401, login_->tls.encryption == odb_encryption::mandatory);
  w.check(1402, login_->tls.trust_server_cert);
  w.type(1403, QString::fromStdString(login_->tls.ca_file));
}

void server_test::walk(wizard_under_test& w, int mode, const QString& source, const QString& db) {
  QCOMPARE(w.shell->currentId(), int(k_welcome_page));
  w.click(1329);
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_mssql_page));
  type_login(w, QString::fromStdU16String(login_->server));
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_sel_file_page));
  QCOMPARE(w.find<QLabel>(1311)->text(), QStringLiteral("MS &SQL database name:"));
  QVERIFY(!w.find<QPushButton>(1104)->isVisible());
  w.type(1003, source);
  w.type(1004, db.isEmpty() ? db_ : db);
  bool asked = false;
  if (mode >= 0) {
    when_modal([&asked, mode](QWidget* d) {
      auto* dialog = qobject_cast<overwrite_dlg2*>(d);
      if (dialog == nullptr) return false;
      asked = true;
      dialog->findChild<QRadioButton*>(QStringLiteral("id%1").arg(1329 + mode))->click();
      QMetaObject::invokeMethod(dialog->findChild<QPushButton*>(QStringLiteral("id1")), "click",
                                Qt::QueuedConnection);
      return true;
    });
  }
  w.next();
  QCOMPARE(asked, mode >= 0);
  QCOMPARE(w.shell->currentId(), int(k_sel_tables_page));
  if (mode >= 0) QCOMPARE(w.converter->mode(), mode);
}

void server_test::direct_walk_and_each_existing_database_mode() {
  {
    wizard_under_test w;
    walk(w, -1);
    w.click(1102);
    w.next();
    QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_finish_page), 120000);
    const std::vector<std::string> errors = w.shell->collected_errors();
    QVERIFY2(errors.empty(), errors.empty() ? "" : errors.front().c_str());
  }
  QCOMPARE(count_rows(*login_, db_, QStringLiteral("orders")), 13);

  // Cancel in the dialog stays on the page.
  {
    wizard_under_test w;
    w.click(1329);
    w.next();
    type_login(w, QString::fromStdU16String(login_->server));
    w.next();
    w.type(1003, k_samples);
    w.type(1004, db_);
    answer_dialog<overwrite_dlg2>("id2");
    w.next();
    QCOMPARE(w.shell->currentId(), int(k_sel_file_page));
  }

  // Mode by mode, only the orders table: what each leaves on the server.
  const int expected[4] = {13, 13, 13, 26};
  for (int mode = 0; mode < 4; ++mode) {
    wizard_under_test w;
    walk(w, mode);
    w.find<QListWidget>(1317)
        ->findItems(QStringLiteral("orders"), Qt::MatchExactly)
        .front()
        ->setSelected(true);
    w.click(1101);
    continue_quietly(5000);
    w.next();
    QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_finish_page), 120000);
    if (mode == 0) {
      // The whole database was dropped: only orders is there now.
      bool customers_gone = false;
      try {
        count_rows(*login_, db_, QStringLiteral("customers"));
      } catch (const std::exception&) {
        customers_gone = true;
      }
      QVERIFY(customers_gone);
    }
    const int rows = count_rows(*login_, db_, QStringLiteral("orders"));
    if (mode == 3 && rows != expected[3]) {
      // A merge into a table whose keys refuse the same rows again reports them instead.
      QVERIFY(!w.shell->collected_errors().empty());
    } else {
      QCOMPARE(rows, expected[mode]);
    }
  }
}

void server_test::tables_loading_at_once_are_named_while_they_load() {
  const tk_test_dir src;
  constexpr int k_records = 40000;
  std::vector<e2e_row> rows;
  for (int i = 0; i < k_records; ++i) rows.push_back({false, {"row" + std::to_string(i)}});
  for (const char* name : {"one", "two", "three"}) {
    e2e_write_dbf(src.path() + "/" + name + ".dbf", {{"NAME", 'C', 10}}, rows);
  }
  const QString db = db_ + QStringLiteral("_jobs");
  wizard_under_test w;
  walk(w, -1, QString::fromStdString(src.path()), db);
  w.click(1102);
  w.converter->jobs = 3;
  w.next();
  auto* status = w.shell->page(k_progress_page)->findChild<QLabel*>(QStringLiteral("id1323"));
  QTRY_VERIFY_WITH_TIMEOUT(status->text().startsWith(QStringLiteral("Processing tables '")), 60000);
  QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_finish_page), 180000);
  const std::vector<std::string> errors = w.shell->collected_errors();
  QVERIFY2(errors.empty(), errors.empty() ? "" : errors.front().c_str());
  for (const char* table : {"one", "two", "three"}) {
    QCOMPARE(count_rows(*login_, db, QString::fromLatin1(table)), k_records);
  }
  odb_login admin = *login_;
  admin.database.clear();
  odb_connection(admin).execute(u"DROP DATABASE [" + db.toStdU16String() + u"]");
}

void server_test::abort_in_the_error_dialog_leaves_no_half_table() {
  QTemporaryDir src;
  if (!copy_northwind(src.path())) QSKIP("the shared Northwind container is absent");
  // Record 1500 repeats record 1's key: the second statement of rows fails in the middle of
  // the load, and the server refuses that row when they go one by one.
  const QString details = src.filePath(QStringLiteral("orderdetails.dbf"));
  QVERIFY(!duplicate_first_record(details, 1500).isEmpty());
  {
    wizard_under_test w;
    walk(w, -1, src.path(), abort_db_);
    const QList<QListWidgetItem*> items =
        w.find<QListWidget>(1317)->findItems(QStringLiteral("orderdetails"), Qt::MatchFixedString);
    QCOMPARE(items.size(), 1);
    items.front()->setSelected(true);
    w.click(1101);
    // The shared container lacks one of its tables, which is reported first: Continue there,
    // Abort at the refused record.
    QString seen;
    QPointer<QWidget> answered;
    when_modal([&seen, &answered](QWidget* d) {
      auto* c = qobject_cast<dlg_error_continue*>(d);
      if (c == nullptr || c == answered) return false;
      answered = c;
      seen = c->findChild<QLabel*>(QStringLiteral("id1320"))->text();
      const bool refused = seen.contains(QStringLiteral("1500"));
      QMetaObject::invokeMethod(
          c->findChild<QPushButton*>(refused ? QStringLiteral("id1") : QStringLiteral("id2")),
          "click", Qt::QueuedConnection);
      return refused;
    });
    w.next();
    QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_finish_page), 120000);
    QVERIFY2(seen.contains(QStringLiteral("1500")), qPrintable(seen));
  }
  // Neither the table nor its load table stayed behind.
  QCOMPARE(tables_like(*login_, abort_db_, QStringLiteral("orderdetails")), QString());
  QCOMPARE(tables_like(*login_, abort_db_, QStringLiteral("~quorvik~")), QString());

  // With the table mended, a run that loads only what is missing loads it whole.
  QVERIFY(copy_northwind(src.path()));
  QProcess quorvik;
  QStringList args{QStringLiteral("--src=") + src.path(), QStringLiteral("--dest=") + abort_db_,
                   QStringLiteral("--mssqlh=") + QString::fromStdU16String(login_->server),
                   QStringLiteral("--mode=2"), QStringLiteral("--as_dbo")};
  if (!login_->user.empty()) {
    args << QStringLiteral("--mssqlu=") + QString::fromStdU16String(login_->user)
         << QStringLiteral("--mssqlp=") + QString::fromStdU16String(login_->password);
  }
  for (const std::string& arg : odb_test_tls_args(*login_)) args << QString::fromStdString(arg);
  quorvik.setProcessChannelMode(QProcess::MergedChannels);
  quorvik.start(QStringLiteral(QV_QUORVIK_PATH), args);
  QVERIFY(quorvik.waitForFinished(300000));
  const QString out = QString::fromUtf8(quorvik.readAll());
  QVERIFY2(quorvik.exitCode() == 0, qPrintable(out));
  QVERIFY2(out.contains(QStringLiteral("tables failed: 0, ")), qPrintable(out));
  QCOMPARE(count_rows(*login_, abort_db_, QStringLiteral("orderdetails")), 2155);
  QCOMPARE(tables_like(*login_, abort_db_, QStringLiteral("~quorvik~")), QString());
}

void server_test::comma_port_and_a_destination_per_scenario() {
  const QString server = QString::fromStdU16String(login_->server);
  const qsizetype colon = server.lastIndexOf(QLatin1Char(':'));
  if (colon < 0) QSKIP("the test server is named without a port");
  // SQL Server's tools write host,port: the page says so, and the wizard connects with it.
  const QString comma = server.left(colon) + QLatin1Char(',') + server.mid(colon + 1);
  wizard_under_test w;
  w.click(1329);
  w.next();
  const QString forms =
      w.shell->currentPage()->findChild<QLabel*>(QStringLiteral("host_forms"))->text();
  for (const char* form : {"host:port", "host,port", "host\\instance", "freetds.conf"}) {
    QVERIFY2(forms.contains(QLatin1String(form)), qPrintable(forms));
  }
  const auto connect_page = [&] {
    type_login(w, comma);
    w.next();
  };
  connect_page();
  QCOMPARE(w.shell->currentId(), int(k_sel_file_page));
  QCOMPARE(w.shell->currentPage()->title(), QStringLiteral("Step 2 of 4"));

  // A database name is checked before Next, the reason next to the field.
  auto* reason = w.shell->currentPage()->findChild<QLabel*>(QStringLiteral("dest_reason"));
  w.type(1003, k_samples);
  w.type(1004, QStringLiteral("out/sales.sql"));
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_sel_file_page));
  QVERIFY(reason->isVisible());
  QVERIFY2(reason->text().contains(QStringLiteral("\"/\"")), qPrintable(reason->text()));
  w.type(1004, QString(129, QLatin1Char('x')));
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_sel_file_page));
  QVERIFY2(reason->text().contains(QStringLiteral("128")), qPrintable(reason->text()));
  w.type(1004, QString(128, QLatin1Char('x')));
  QVERIFY(!reason->isVisible());  // typing clears the reason

  // Each scenario keeps its own destination.
  w.type(1004, db_ + QStringLiteral("_x"));
  w.back();
  w.back();
  w.click(1330);
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_dump_page));
  QCOMPARE(w.shell->currentPage()->title(), QStringLiteral("Step 1 of 4"));
  w.next();
  QCOMPARE(w.shell->currentPage()->title(), QStringLiteral("Step 2 of 4"));
  QCOMPARE(w.find<QLineEdit>(1004)->text(), QString());
  // A script path is no database name: the dump scenario takes it.
  QTemporaryDir out;
  const QString script = out.filePath(QStringLiteral("sales.sql"));
  w.type(1004, script);
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_sel_tables_page));
  QCOMPARE(w.shell->currentPage()->title(), QStringLiteral("Step 3 of 4"));
  w.back();
  w.back();
  w.back();
  w.click(1329);
  w.next();
  connect_page();
  QCOMPARE(w.shell->currentId(), int(k_sel_file_page));
  QCOMPARE(w.find<QLineEdit>(1004)->text(), db_ + QStringLiteral("_x"));
  w.back();
  w.back();
  w.click(1330);
  w.next();
  w.next();
  QCOMPARE(w.find<QLineEdit>(1004)->text(), script);
  QCOMPARE(w.converter->dest_database, (db_ + QStringLiteral("_x")).toStdU16String());
  QCOMPARE(w.converter->dest_script, script.toStdU16String());
}

void server_test::keyboard_alone_walks_a_direct_load_from_welcome_to_finish() {
  wizard_under_test w;
  w.shell->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(w.shell.get()));
  const auto type_here = [](const QString& text) {
    QTest::keyClicks(QApplication::focusWidget(), text);
  };
  // Welcome: the direct scenario, Enter for Next.
  press(w.shell.get(), Qt::Key_M, Qt::AltModifier);
  QTRY_VERIFY(w.find<QRadioButton>(1329)->isChecked());
  press(w.shell.get(), Qt::Key_Return);
  QTRY_COMPARE(w.shell->currentId(), int(k_mssql_page));
  // The connection page, each field reached by its label's letter.
  press(w.shell.get(), Qt::Key_S, Qt::AltModifier);
  QTRY_COMPARE(QApplication::focusWidget(), w.find<QWidget>(1014));
  type_here(QString::fromStdU16String(login_->server));
  if (!login_->user.empty()) {
    press(w.shell.get(), Qt::Key_Q, Qt::AltModifier);
    QTRY_VERIFY(w.find<QRadioButton>(1330)->isChecked());
    press(w.shell.get(), Qt::Key_L, Qt::AltModifier);
    QTRY_COMPARE(QApplication::focusWidget(), w.find<QWidget>(1012));
    type_here(QString::fromStdU16String(login_->user));
    press(w.shell.get(), Qt::Key_P, Qt::AltModifier);
    QTRY_COMPARE(QApplication::focusWidget(), w.find<QWidget>(1013));
    type_here(QString::fromStdU16String(login_->password));
  }
  if (login_->tls.encryption != odb_encryption::mandatory) {
    press(w.shell.get(), Qt::Key_E, Qt::AltModifier);
    QTRY_VERIFY(!w.find<QCheckBox>(1401)->isChecked());
  }
  if (login_->tls.trust_server_cert) {
    press(w.shell.get(), Qt::Key_T, Qt::AltModifier);
    QTRY_VERIFY(w.find<QCheckBox>(1402)->isChecked());
  }
  if (!login_->tls.ca_file.empty()) {
    press(w.shell.get(), Qt::Key_A, Qt::AltModifier);
    type_here(QString::fromStdString(login_->tls.ca_file));
  }
  press(w.shell.get(), Qt::Key_Return);
  QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_sel_file_page), 30000);
  // The folder and the database, then the tables, all of them.
  press(w.shell.get(), Qt::Key_F, Qt::AltModifier);
  QTRY_COMPARE(QApplication::focusWidget(), w.find<QWidget>(1003));
  type_here(k_samples);
  press(w.shell.get(), Qt::Key_S, Qt::AltModifier);
  QTRY_COMPARE(QApplication::focusWidget(), w.find<QWidget>(1004));
  type_here(keys_db_);
  press(w.shell.get(), Qt::Key_Return);
  QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_sel_tables_page), 30000);
  press(w.shell.get(), Qt::Key_L, Qt::AltModifier);
  QTRY_COMPARE(w.find<QListWidget>(1318)->count(), 3);
  press(w.shell.get(), Qt::Key_N, Qt::AltModifier);
  QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_finish_page), 120000);
  const std::vector<std::string> errors = w.shell->collected_errors();
  QVERIFY2(errors.empty(), errors.empty() ? "" : errors.front().c_str());
  // Enter on the finish page is Finish.
  QTRY_VERIFY(QApplication::focusWidget() != nullptr);
  press(w.shell.get(), Qt::Key_Return);
  QTRY_VERIFY(!w.shell->isVisible());
  QCOMPARE(w.shell->result(), int(QDialog::Accepted));
  QCOMPARE(count_rows(*login_, keys_db_, QStringLiteral("orders")), 13);
}

QTEST_MAIN(server_test)
#include "server_test.moc"
