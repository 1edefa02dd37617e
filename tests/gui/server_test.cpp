// Direct mode into the test server, walked through the wizard: connection, the
// existing-database dialog with each of its four modes, and the rows on the server.
#include <QFile>
#include <QListWidget>
#include <QtTest>
#include <fstream>
#include <optional>

#include "gui/gui_dialogs.h"
#include "gui_test_util.h"
#include "odb/odb_connection.h"
#include "odb/odb_login.h"
#include "odb/odb_test_login.h"
#include "tk/tk_encoding.h"

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

}  // namespace

class server_test : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase();
  void cleanupTestCase();
  void direct_walk_and_each_existing_database_mode();

 private:
  // Walks to the tables page with the server login and `db`; `mode` answers the
  // existing-database dialog (-1: it must not come up).
  void walk(wizard_under_test& w, int mode);
  void type_encryption(wizard_under_test& w);
  std::optional<odb_login> login_;
  QString db_;
};

void server_test::initTestCase() {
  login_ = odb_test_login();
  if (!login_) QSKIP("no test server (../shared/babelfish absent and QV_MSSQL_SERVER unset)");
  db_ = QStringLiteral("qvt_gui_%1").arg(QCoreApplication::applicationPid());
}

void server_test::cleanupTestCase() {
  if (!login_) return;
  try {
    odb_login admin = *login_;
    admin.database.clear();
    odb_connection c(admin);
    c.execute(u"IF DB_ID(N'" + db_.toStdU16String() + u"') IS NOT NULL DROP DATABASE [" +
              db_.toStdU16String() + u"]");
  } catch (const std::exception& e) {
    qWarning("cannot drop %s: %s", qPrintable(db_), e.what());
  }
}

void server_test::type_encryption(wizard_under_test& w) {
  w.check(1401, login_->tls.encryption == odb_encryption::mandatory);
  w.check(1402, login_->tls.trust_server_cert);
  w.type(1403, QString::fromStdString(login_->tls.ca_file));
}

void server_test::walk(wizard_under_test& w, int mode) {
  QCOMPARE(w.shell->currentId(), int(k_welcome_page));
  w.click(1329);
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_mssql_page));
  w.type(1014, QString::fromStdU16String(login_->server));
  if (login_->user.empty()) {
    w.click(1329);
  } else {
    w.click(1330);
    w.type(1012, QString::fromStdU16String(login_->user));
    w.type(1013, QString::fromStdU16String(login_->password));
  }
  type_encryption(w);
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_sel_file_page));
  QCOMPARE(w.find<QLabel>(1311)->text(), QStringLiteral("MS &SQL database name:"));
  QVERIFY(!w.find<QPushButton>(1104)->isVisible());
  w.type(1003, k_samples);
  w.type(1004, db_);
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
    w.type(1014, QString::fromStdU16String(login_->server));
    if (!login_->user.empty()) {
      w.click(1330);
      w.type(1012, QString::fromStdU16String(login_->user));
      w.type(1013, QString::fromStdU16String(login_->password));
    }
    type_encryption(w);
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

QTEST_MAIN(server_test)
#include "server_test.moc"
