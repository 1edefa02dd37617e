// What the wizard remembers between runs: the password in the secret store only, and only
// when asked; nothing at all after Cancel; an old password value dropped from the file; and the
// tables chosen in each source folder.
#include <QDir>
#include <QListWidget>
#include <QtTest>
#include <map>

#include "gui_test_util.h"
#include "tk/tk_secret_store.h"
#include "tk/tk_serializer.h"

namespace {

const QString k_samples = QStringLiteral(QV_SOURCE_DIR "/samples/shop");

// A secret store in memory; `answers` false plays a desktop where no store answers.
class fake_secret_store : public tk_secret_store {
 public:
  bool answers = true;
  std::map<std::u16string, std::u16string> kept;
  int writes = 0;

  secret read(const std::u16string& key) override {
    if (!answers) return {};
    const auto it = kept.find(key);
    if (it == kept.end()) return {status::not_found, {}};
    return {status::ok, it->second};
  }
  status write(const std::u16string& key, const std::u16string& value) override {
    ++writes;
    if (!answers) return status::unavailable;
    kept[key] = value;
    return status::ok;
  }
  status remove(const std::u16string& key) override {
    if (!answers) return status::unavailable;
    return kept.erase(key) > 0 ? status::ok : status::not_found;
  }
};

QString settings_file() {
  return QString::fromStdString(tk_serializer::store_path());
}

void write_settings(const QByteArray& text) {
  QDir().mkpath(QFileInfo(settings_file()).absolutePath());
  QFile f(settings_file());
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(text);
}

// A wizard on the settings of the current XDG_CONFIG_HOME, which the test chose.
struct wizard_on_settings {
  gui_error_handler handler;
  talvex_converter converter;
  wizard_shell shell;
  explicit wizard_on_settings(tk_secret_store* secrets) : converter(false, secrets) {
    tk_interrupt_signal.store(0);
    shell.resize(800, 600);
    shell.show();
    (void)QTest::qWaitForWindowExposed(&shell);
  }
  ~wizard_on_settings() { drop_pending_answers(); }
  template <class W = QWidget>
  W* find(const QString& name) {
    return shell.currentPage()->findChild<W*>(name);
  }
  template <class W = QWidget>
  W* find(int id) {
    return find<W>(QStringLiteral("id%1").arg(id));
  }
  void next() { QTest::mouseClick(shell.button(QWizard::NextButton), Qt::LeftButton); }
  void back() { QTest::mouseClick(shell.button(QWizard::BackButton), Qt::LeftButton); }
  void tick(QAbstractButton* b) {
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
  }
  void type(int id, const QString& text) {
    auto* e = find<QLineEdit>(id);
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    QTest::keyClicks(e, text);
  }
  // From the welcome page through a script run over no tables to Finish.
  void finish_through_a_script_run(const QString& script) {
    QCOMPARE(shell.currentId(), int(k_welcome_page));
    tick(find<QRadioButton>(1330));
    next();
    next();
    type(1003, k_samples);
    type(1004, script);
    next();
    QCOMPARE(shell.currentId(), int(k_sel_tables_page));
    answer_box(QMessageBox::Yes);
    next();
    QTRY_COMPARE_WITH_TIMEOUT(shell.currentId(), int(k_finish_page), 30000);
    QTest::mouseClick(shell.button(QWizard::FinishButton), Qt::LeftButton);
  }
  // From the welcome page to the Connect page, whichever scenario was remembered.
  void to_connect_page() {
    QCOMPARE(shell.currentId(), int(k_welcome_page));
    tick(find<QRadioButton>(1329));
    next();
    QCOMPARE(shell.currentId(), int(k_mssql_page));
  }
  // The Connect page, SQL Server authentication, with a login and password typed.
  void type_login(const QString& user, const QString& password) {
    to_connect_page();
    tick(find<QRadioButton>(1330));
    type(1012, user);
    type(1013, password);
  }
};

}  // namespace

class settings_test : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init();
  void remembered_password_goes_to_the_secret_store_only();
  void password_is_not_remembered_unless_asked();
  void no_secret_store_keeps_nothing_and_says_so();
  void cancel_leaves_the_settings_file_unchanged();
  void old_password_value_is_removed_on_save();
  void tables_chosen_in_a_folder_come_back_with_it();

 private:
  std::unique_ptr<QTemporaryDir> config_;
  std::unique_ptr<QTemporaryDir> out_;
};

void settings_test::init() {
  config_ = std::make_unique<QTemporaryDir>();
  out_ = std::make_unique<QTemporaryDir>();
  qputenv("XDG_CONFIG_HOME", config_->path().toUtf8());
}

void settings_test::remembered_password_goes_to_the_secret_store_only() {
  const QString password = QStringLiteral("Pa55=w\\rd!");
  fake_secret_store secrets;
  {
    wizard_on_settings w(&secrets);
    w.type_login(QStringLiteral("loader"), password);
    auto* remember = w.find<QCheckBox>(QStringLiteral("remember_pswd"));
    QVERIFY(remember != nullptr);
    QVERIFY(!remember->isChecked());  // off unless the user ticks it
    QVERIFY(remember->isEnabled());
    QVERIFY(!w.find<QLabel>(QStringLiteral("secret_note"))->isVisible());
    w.tick(remember);
    QVERIFY(remember->isChecked());
    w.back();
    w.finish_through_a_script_run(out_->filePath(QStringLiteral("a.sql")));
  }
  const QByteArray file = read_all(settings_file());
  QVERIFY2(file.contains("user=sz:loader"), file.constData());
  QVERIFY2(file.contains("remember_pswd=dword:1"), file.constData());
  // Not the password, in any spelling the file could hold it.
  QVERIFY2(!file.contains("pswd=sz"), file.constData());
  QVERIFY(!file.contains("Pa55"));
  QCOMPARE(secrets.kept.size(), std::size_t(1));
  QCOMPARE(QString::fromStdU16String(secrets.kept.begin()->second), password);
  QVERIFY(
      QString::fromStdU16String(secrets.kept.begin()->first).contains(QStringLiteral("loader")));

  // The next wizard fills the password in from the store; unticking forgets it there.
  {
    wizard_on_settings w(&secrets);
    w.to_connect_page();
    QCOMPARE(w.find<QLineEdit>(1013)->text(), password);
    auto* remember = w.find<QCheckBox>(QStringLiteral("remember_pswd"));
    QVERIFY(remember->isChecked());
    w.tick(remember);
    w.back();
    w.finish_through_a_script_run(out_->filePath(QStringLiteral("b.sql")));
  }
  QVERIFY(secrets.kept.empty());
  QVERIFY(read_all(settings_file()).contains("remember_pswd=dword:0"));
}

void settings_test::password_is_not_remembered_unless_asked() {
  fake_secret_store secrets;
  {
    wizard_on_settings w(&secrets);
    w.type_login(QStringLiteral("loader"), QStringLiteral("Secret_1"));
    w.back();
    w.finish_through_a_script_run(out_->filePath(QStringLiteral("c.sql")));
  }
  QCOMPARE(secrets.writes, 0);
  QVERIFY(secrets.kept.empty());
  QVERIFY(!read_all(settings_file()).contains("Secret_1"));
  wizard_on_settings w(&secrets);
  w.to_connect_page();
  QCOMPARE(w.find<QLineEdit>(1012)->text(), QStringLiteral("loader"));
  QVERIFY(w.find<QLineEdit>(1013)->text().isEmpty());
}

void settings_test::no_secret_store_keeps_nothing_and_says_so() {
  fake_secret_store secrets;
  secrets.answers = false;
  {
    wizard_on_settings w(&secrets);
    w.type_login(QStringLiteral("loader"), QStringLiteral("Secret_2"));
    auto* remember = w.find<QCheckBox>(QStringLiteral("remember_pswd"));
    QVERIFY(!remember->isEnabled());
    QVERIFY(!remember->isChecked());
    auto* note = w.find<QLabel>(QStringLiteral("secret_note"));
    QVERIFY(note->isVisible());
    QVERIFY2(note->text().contains(QStringLiteral("not remembered")), qPrintable(note->text()));
    w.back();
    w.finish_through_a_script_run(out_->filePath(QStringLiteral("d.sql")));
  }
  QVERIFY(secrets.kept.empty());
  const QByteArray file = read_all(settings_file());
  QVERIFY(!file.contains("Secret_2"));
  QVERIFY(file.contains("remember_pswd=dword:0"));
}

void settings_test::cancel_leaves_the_settings_file_unchanged() {
  const QByteArray before =
      "# Talvex settings (Software\\Orvanel\\Talvex)\ndirect=dword:0\nsrc=sz:/before/folder\n";
  write_settings(before);
  fake_secret_store secrets;
  {
    wizard_on_settings w(&secrets);
    // Change what the pages hold: scenario, connection, folder, then Cancel.
    w.type_login(QStringLiteral("other"), QStringLiteral("Secret_3"));
    w.tick(w.find<QCheckBox>(QStringLiteral("remember_pswd")));
    w.back();
    w.tick(w.find<QRadioButton>(1330));
    w.next();
    w.next();
    QCOMPARE(w.find<QLineEdit>(1003)->text(), QStringLiteral("/before/folder"));
    w.type(1003, QStringLiteral("/after/folder"));
    answer_box(QMessageBox::Yes);
    QTest::mouseClick(w.shell.button(QWizard::CancelButton), Qt::LeftButton);
    QVERIFY(!w.shell.isVisible());
  }
  QCOMPARE(read_all(settings_file()), before);
  QCOMPARE(secrets.writes, 0);
}

void settings_test::old_password_value_is_removed_on_save() {
  write_settings(
      "# Talvex settings (Software\\Orvanel\\Talvex)\npswd=sz:Old_Secret\nuser=sz:loader\n");
  fake_secret_store secrets;
  {
    wizard_on_settings w(&secrets);
    w.finish_through_a_script_run(out_->filePath(QStringLiteral("e.sql")));
  }
  const QByteArray file = read_all(settings_file());
  QVERIFY2(!file.contains("pswd=sz"), file.constData());
  QVERIFY(!file.contains("Old_Secret"));
  QVERIFY(file.contains("user=sz:loader"));
  // Not remembered unless asked: the old value does not move into the store either.
  QVERIFY(secrets.kept.empty());
}

void settings_test::tables_chosen_in_a_folder_come_back_with_it() {
  // A second folder holding tables of the same names.
  const QString copy = out_->filePath(QStringLiteral("copy"));
  QVERIFY(QDir().mkpath(copy));
  for (const QString& f : QDir(k_samples).entryList(QDir::Files)) {
    QVERIFY(QFile::copy(k_samples + '/' + f, copy + '/' + f));
  }
  const auto to_tables = [](wizard_on_settings& w, const QString& folder) {
    w.type(1003, folder);
    w.next();
    QCOMPARE(w.shell.currentId(), int(k_sel_tables_page));
  };
  const auto selected = [](wizard_on_settings& w) {
    QStringList names;
    auto* list = w.find<QListWidget>(1318);
    for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
    return names;
  };
  const auto add = [](wizard_on_settings& w, const QString& table) {
    const QList<QListWidgetItem*> found =
        w.find<QListWidget>(1317)->findItems(table, Qt::MatchExactly);
    QVERIFY(!found.isEmpty());
    found.front()->setSelected(true);
    QTest::mouseClick(w.find<QPushButton>(1101), Qt::LeftButton);
  };
  {
    wizard_on_settings w(nullptr);
    w.tick(w.find<QRadioButton>(1330));
    w.next();
    w.next();
    w.type(1004, out_->filePath(QStringLiteral("t.sql")));
    to_tables(w, k_samples);
    add(w, QStringLiteral("orders"));
    w.next();
    QTRY_COMPARE_WITH_TIMEOUT(w.shell.currentId(), int(k_finish_page), 30000);
    QTest::mouseClick(w.shell.button(QWizard::FinishButton), Qt::LeftButton);
  }
  // The next run offers the folder's choice again.
  wizard_on_settings w(nullptr);
  w.next();
  w.next();
  QCOMPARE(w.find<QLineEdit>(1003)->text(), k_samples);
  w.type(1004, out_->filePath(QStringLiteral("u.sql")));  // no question about an old script
  to_tables(w, k_samples);
  QCOMPARE(selected(w), QStringList{QStringLiteral("orders")});
  // Another folder starts with its own choice, none, though it holds the same names.
  w.back();
  to_tables(w, copy);
  QCOMPARE(selected(w), QStringList{});
  add(w, QStringLiteral("customers"));
  w.back();
  to_tables(w, k_samples);
  QCOMPARE(selected(w), QStringList{QStringLiteral("orders")});
  w.back();
  to_tables(w, copy + '/');
  QCOMPARE(selected(w), QStringList{QStringLiteral("customers")});
}

QTEST_MAIN(settings_test)
#include "settings_test.moc"
