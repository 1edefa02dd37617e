// The wizard walked page by page on the offscreen platform, as a person uses it.
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

#include "e2e/e2e_dbf.h"
#include "gui/gui_dialogs.h"
#include "gui_test_util.h"
#include "odb/odb_login.h"

namespace {

const QString k_samples = QStringLiteral(QV_SOURCE_DIR "/samples/shop");

// quorvik with the same settings store; its exit code.
int quorvik(const QStringList& args, QString* out = nullptr) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(QStringLiteral(QV_QUORVIK_PATH), args);
  p.waitForFinished(120000);
  if (out != nullptr) *out = QString::fromUtf8(p.readAll());
  return p.exitCode();
}

// Welcome -> dump settings -> select databases, in the dump scenario.
void to_sel_file_in_dump_mode(wizard_under_test& w) {
  QCOMPARE(w.shell->currentId(), int(k_welcome_page));
  w.click(1330);
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_dump_page));
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_sel_file_page));
}

// A table of `records` numbered rows with a text column, written as a stream.
void write_big_table(const QString& path, int records) {
  e2e_write_dbf(path.toStdString(), {{"N", 'N', 10}, {"NAME", 'C', 30}}, {});
  QFile f(path);
  QVERIFY(f.open(QIODevice::ReadWrite));
  QByteArray head = f.read(32);
  for (int i = 0; i < 4; ++i) head[4 + i] = static_cast<char>((records >> (8 * i)) & 0xFF);
  f.seek(0);
  f.write(head);
  f.seek(f.size());
  if (f.size() > 0) {
    // Drop a trailing end-of-file mark, if the writer put one, and add the rows.
    f.seek(f.size() - 1);
    if (f.read(1) == QByteArray(1, '\x1a')) f.resize(f.size() - 1);
    f.seek(f.size());
  }
  QByteArray chunk;
  for (int i = 0; i < records; ++i) {
    chunk += ' ';
    chunk += QByteArray::number(i).rightJustified(10, ' ');
    chunk += QByteArray("customer ").append(QByteArray::number(i)).leftJustified(30, ' ');
    if (chunk.size() > (1 << 20)) {
      f.write(chunk);
      chunk.clear();
    }
  }
  chunk += '\x1a';
  f.write(chunk);
}

}  // namespace

class walk_test : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void welcome_page_texts_and_defaults();
  void dump_walk_writes_the_script_quorvik_writes();
  void back_and_next_keep_what_was_typed();
  void select_databases_refusals();
  void folder_without_tables_is_refused();
  void unwritable_script_path_is_refused();
  void existing_script_asks_before_overwriting();
  void no_table_selected_asks();
  void failed_connection_shows_the_server_message();
  void tables_page_moves_and_preselects();
  void error_list_after_a_table_fails();
  void finish_page_accounts_for_each_table();
  void abort_in_the_continue_dialog_stops_the_run();
  void cancel_stops_a_large_conversion_between_records();
  void cancel_on_welcome_with_no_keeps_the_wizard();
  void profile_load_and_save_through_the_file_dialogs();
  void settings_are_remembered_between_runs();
  void progress_arithmetic();
  void quick_launch_runs_a_profile_at_once();
  void finish_page_lists_twenty_of_twenty_five_errors();
  void keyboard_mnemonics_choose_and_move();
  void every_page_reads_in_order_and_its_mnemonics_differ();
  void enter_connects_and_the_field_gets_the_keyboard_back();
  void connection_page_encryption_fields();
};

void walk_test::welcome_page_texts_and_defaults() {
  wizard_under_test w;
  QCOMPARE(w.shell->currentId(), int(k_welcome_page));
  QCOMPARE(w.shell->windowTitle(), QStringLiteral("Talvex 2.3"));
  QCOMPARE(w.find<QLabel>(1337)->text(),
           QStringLiteral("DBase/FoxPro to Microsoft SQL\nConversion Wizard"));
  QCOMPARE(w.find<QPushButton>(1115)->text(), QStringLiteral("&Load Settings..."));
  // No stored settings: the direct scenario.
  QVERIFY(w.find<QRadioButton>(1329)->isChecked());
  QVERIFY(!w.shell->button(QWizard::BackButton)->isVisible());
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_mssql_page));
  QCOMPARE(w.shell->currentPage()->title(), QStringLiteral("Step 1 of 4"));
  QCOMPARE(w.shell->currentPage()->subTitle(), QStringLiteral("Connect to MS SQL server"));
  // Windows authentication by default: login and password disabled.
  QVERIFY(w.find<QRadioButton>(1329)->isChecked());
  QVERIFY(!w.find<QLineEdit>(1012)->isEnabled());
  QVERIFY(!w.find<QLineEdit>(1013)->isEnabled());
  QVERIFY(w.find<QCheckBox>(1202)->isChecked());
  w.click(1330);
  QVERIFY(w.find<QLineEdit>(1012)->isEnabled());
  QCOMPARE(w.find<QLineEdit>(1013)->echoMode(), QLineEdit::Password);
}

void walk_test::dump_walk_writes_the_script_quorvik_writes() {
  QTemporaryDir out;
  const QString script = out.filePath(QStringLiteral("wizard.sql"));
  const QString expected = out.filePath(QStringLiteral("quorvik.sql"));
  wizard_under_test w;
  to_sel_file_in_dump_mode(w);
  // Dump settings defaults were: CREATE TABLE and comments, no CREATE DATABASE.
  QCOMPARE(w.shell->currentPage()->title(), QStringLiteral("Step 2 of 4"));
  QCOMPARE(w.find<QLabel>(1311)->text(), QStringLiteral("Destination T-SQL scri&pt path:"));
  QVERIFY(w.find<QPushButton>(1104)->isVisible());
  w.type(1003, k_samples);
  w.type(1004, script);
  w.check(1204, true);  // logical values 'as is', as quorvik does by default
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_sel_tables_page));
  auto* available = w.find<QListWidget>(1317);
  QCOMPARE(available->count(), 3);
  w.click(1102);  // Add all
  QCOMPARE(w.find<QListWidget>(1318)->count(), 3);
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_progress_page));
  QVERIFY(!w.shell->button(QWizard::NextButton)->isVisible());
  QVERIFY(!w.shell->button(QWizard::BackButton)->isVisible());
  QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_finish_page), 60000);
  QCOMPARE(w.find<QLabel>(1314)->text(),
           QStringLiteral("Wizard has converted your DBF file into\nMS SQL database "
                          "successfully.\n\nClick 'Finish' to exit the wizard."));
  QVERIFY(!w.find<QPlainTextEdit>(1016)->isVisible());
  QVERIFY(w.shell->button(QWizard::FinishButton)->isVisible());
  QTest::mouseClick(w.shell->button(QWizard::FinishButton), Qt::LeftButton);
  QVERIFY(!w.shell->isVisible());
  w.end();  // the settings store now holds the dump options the wizard used

  QString log;
  QCOMPARE(quorvik({QStringLiteral("--src=") + k_samples, QStringLiteral("--dest=") + expected,
                    QStringLiteral("--dump")},
                   &log),
           0);
  // The same script, but for the file name in its header comment.
  QByteArray mine = read_all(script);
  QVERIFY(mine.contains("INSERT INTO"));
  mine.replace(script.toUtf8(), expected.toUtf8());
  QCOMPARE(mine, read_all(expected));
}

void walk_test::back_and_next_keep_what_was_typed() {
  wizard_under_test w;
  // Direct: the connection settings survive Back and Next.
  w.next();
  w.type(1014, QStringLiteral("db.example:1433"));
  w.click(1330);
  w.type(1012, QStringLiteral("sa"));
  w.type(1013, QStringLiteral("s3cret"));
  w.check(1202, false);
  w.back();
  QCOMPARE(w.shell->currentId(), int(k_welcome_page));
  // The dump scenario, with options typed on the next pages.
  w.click(1330);
  w.next();
  w.check(1205, false);
  w.next();
  w.type(1003, QStringLiteral("/some/folder"));
  w.type(1004, QStringLiteral("/some/out.sql"));
  w.check(1228, true);
  w.check(1202, true);
  auto* encoding = w.find<QComboBox>(1302);
  encoding->setCurrentIndex(encoding->findData(0x65));
  w.back();
  QCOMPARE(w.shell->currentId(), int(k_dump_page));
  QVERIFY(!w.find<QCheckBox>(1205)->isChecked());
  w.back();
  // Back to the direct scenario: everything typed is there.
  w.click(1329);
  w.next();
  QCOMPARE(w.find<QLineEdit>(1014)->text(), QStringLiteral("db.example:1433"));
  QVERIFY(w.find<QRadioButton>(1330)->isChecked());
  QCOMPARE(w.find<QLineEdit>(1012)->text(), QStringLiteral("sa"));
  QCOMPARE(w.find<QLineEdit>(1013)->text(), QStringLiteral("s3cret"));
  QVERIFY(!w.find<QCheckBox>(1202)->isChecked());
  w.back();
  w.click(1330);
  w.next();
  QVERIFY(!w.find<QCheckBox>(1205)->isChecked());
  w.next();
  QCOMPARE(w.find<QLineEdit>(1003)->text(), QStringLiteral("/some/folder"));
  QCOMPARE(w.find<QLineEdit>(1004)->text(), QStringLiteral("/some/out.sql"));
  QVERIFY(w.find<QCheckBox>(1228)->isChecked());
  QVERIFY(w.find<QCheckBox>(1202)->isChecked());
  QCOMPARE(w.find<QComboBox>(1302)->currentData().toInt(), 0x65);
  QCOMPARE(w.converter->code_page, 0x65);
  // The list names each code page by its number first.
  QCOMPARE(w.find<QComboBox>(1302)->currentText(), QStringLiteral("866 - Russian MS-DOS"));
  QCOMPARE(encoding->itemText(encoding->findData(0xC9)), QStringLiteral("1251 - Russian Windows"));
  QCOMPARE(encoding->itemText(encoding->findData(0x26)), QStringLiteral("866 DOS Russian"));
  QCOMPARE(encoding->itemText(encoding->findData(0x00)), QStringLiteral("Default"));
}

void walk_test::select_databases_refusals() {
  QTemporaryDir dir;
  wizard_under_test w;
  to_sel_file_in_dump_mode(w);
  QString text;
  QString caption;
  w.type(1003, QString());
  w.type(1004, QString());
  answer_box(QMessageBox::Ok, &text, &caption);
  w.next();
  QCOMPARE(text, QStringLiteral("You should enter path to DBF database"));
  QCOMPARE(caption, QStringLiteral("Talvex 2.3 Message"));
  QCOMPARE(w.shell->currentId(), int(k_sel_file_page));

  w.type(1003, k_samples);
  answer_box(QMessageBox::Ok, &text);
  w.next();
  QCOMPARE(text, QStringLiteral("You should enter T-SQL script file name"));

  w.type(1003, dir.filePath(QStringLiteral("missing")));
  w.type(1004, dir.filePath(QStringLiteral("out.sql")));
  answer_box(QMessageBox::Ok, &text, &caption);
  w.next();
  QCOMPARE(text,
           QStringLiteral(
               "Path to DBF database does not exist.\nPlease verify the correct path was given."));
  QCOMPARE(caption, QStringLiteral("Talvex 2.3 Error"));

  w.type(1003, k_samples + QStringLiteral("/orders.dbf"));
  answer_box(QMessageBox::Ok, &text);
  w.next();
  QCOMPARE(text, QStringLiteral("You should enter path to DBF database, not a file name"));
  QCOMPARE(w.shell->currentId(), int(k_sel_file_page));
}

void walk_test::folder_without_tables_is_refused() {
  QTemporaryDir empty;
  QTemporaryDir out;
  wizard_under_test w;
  to_sel_file_in_dump_mode(w);
  w.type(1003, empty.path());
  w.type(1004, out.filePath(QStringLiteral("out.sql")));
  QString text;
  answer_box(QMessageBox::Ok, &text);
  w.next();
  QCOMPARE(text, QStringLiteral(
                     "The folder holds no DBF tables.\nPlease verify the correct path was given."));
  QCOMPARE(w.shell->currentId(), int(k_sel_file_page));
}

void walk_test::unwritable_script_path_is_refused() {
  QTemporaryDir out;
  wizard_under_test w;
  to_sel_file_in_dump_mode(w);
  w.type(1003, k_samples);
  QString text;
  w.type(1004, out.filePath(QStringLiteral("no/such/folder/out.sql")));
  answer_box(QMessageBox::Ok, &text);
  w.next();
  QCOMPARE(text,
           QStringLiteral(
               "Destination path does not exist.\nPlease verify the correct path was given."));
  QCOMPARE(w.shell->currentId(), int(k_sel_file_page));
  w.type(1004, out.path());
  answer_box(QMessageBox::Ok, &text);
  w.next();
  QCOMPARE(text, QStringLiteral("Destination name should specify a file, not folder."));
  QCOMPARE(w.shell->currentId(), int(k_sel_file_page));
  // What was typed is still there.
  QCOMPARE(w.find<QLineEdit>(1003)->text(), k_samples);
}

void walk_test::existing_script_asks_before_overwriting() {
  QTemporaryDir out;
  const QString script = out.filePath(QStringLiteral("old.sql"));
  {
    QFile f(script);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("old");
  }
  wizard_under_test w;
  to_sel_file_in_dump_mode(w);
  w.type(1003, k_samples);
  w.type(1004, script);
  QString text;
  answer_box(QMessageBox::No, &text);
  w.next();
  QCOMPARE(text, QStringLiteral("Destination file already exists. Overwrite?"));
  QCOMPARE(w.shell->currentId(), int(k_sel_file_page));
  QCOMPARE(read_all(script), QByteArray("old"));
  answer_box(QMessageBox::Yes);
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_sel_tables_page));
  // The run replaces the old script with the new one.
  w.click(1102);
  w.next();
  QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_finish_page), 60000);
  const QByteArray written = read_all(script);
  QVERIFY(written.contains("INSERT INTO [dbo].[orders]"));
  QVERIFY(!written.startsWith("old"));
}

void walk_test::no_table_selected_asks() {
  QTemporaryDir out;
  wizard_under_test w;
  to_sel_file_in_dump_mode(w);
  w.type(1003, k_samples);
  w.type(1004, out.filePath(QStringLiteral("none.sql")));
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_sel_tables_page));
  QString text;
  QString detail;
  when_modal([&](QWidget* d) {
    auto* box = qobject_cast<QMessageBox*>(d);
    if (box == nullptr) return false;
    text = box->text();
    detail = box->informativeText();
    QMetaObject::invokeMethod(box->button(QMessageBox::No), "click", Qt::QueuedConnection);
    return true;
  });
  w.next();
  QCOMPARE(text, QStringLiteral("There are no tables selected. Continue anyway?"));
  // It says what Yes would convert.
  QCOMPARE(detail, QStringLiteral("Continuing converts no table: the script %1 gets no table.")
                       .arg(out.filePath(QStringLiteral("none.sql"))));
  QCOMPARE(w.shell->currentId(), int(k_sel_tables_page));
  // Yes runs over zero tables and ends on the finish page.
  answer_box(QMessageBox::Yes);
  w.next();
  QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_finish_page), 30000);
  QVERIFY(w.converter->table_list.empty());
  QVERIFY(!read_all(out.filePath(QStringLiteral("none.sql"))).contains("CREATE TABLE"));
}

void walk_test::failed_connection_shows_the_server_message() {
  wizard_under_test w;
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_mssql_page));
  // Nothing listens on port 1 of this machine.
  w.type(1014, QStringLiteral("127.0.0.1:1"));
  w.click(1330);
  w.type(1012, QStringLiteral("nobody"));
  w.type(1013, QStringLiteral("wrong"));
  bool saw_connecting = false;
  when_modal(
      [&](QWidget* d) {
        if (qobject_cast<connecting_dialog*>(d) == nullptr) return false;
        saw_connecting = true;
        return true;
      },
      5000);
  QString text;
  QString caption;
  answer_box(QMessageBox::Ok, &text, &caption);
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_mssql_page));
  QCOMPARE(caption, QStringLiteral("Talvex 2.3 Error"));
  QVERIFY2(!text.isEmpty(), qPrintable(text));
  // The client library's own words about the server it could not reach.
  QVERIFY2(text.contains(QStringLiteral("127.0.0.1")) ||
               text.contains(QStringLiteral("connect"), Qt::CaseInsensitive),
           qPrintable(text));
  Q_UNUSED(saw_connecting);
}

void walk_test::tables_page_moves_and_preselects() {
  QTemporaryDir out;
  wizard_under_test w;
  // A profile's table, and one that is not in the folder, are preselected / ignored.
  w.converter->src = k_samples.toStdU16String();
  w.converter->name_map.emplace_back(u"orders", u"");
  w.converter->name_map.emplace_back(u"missing", u"");
  to_sel_file_in_dump_mode(w);
  w.type(1003, k_samples);
  w.type(1004, out.filePath(QStringLiteral("t.sql")));
  w.next();
  QCOMPARE(w.shell->currentPage()->title(), QStringLiteral("Step 3 of 4"));
  auto* available = w.find<QListWidget>(1317);
  auto* selected = w.find<QListWidget>(1318);
  QCOMPARE(selected->count(), 1);
  QCOMPARE(selected->item(0)->text(), QStringLiteral("orders"));
  QCOMPARE(available->count(), 2);
  QVERIFY(!w.find<QPushButton>(1117)->isVisible());
  QVERIFY(!w.find<QPushButton>(1114)->isVisible());
  available->item(1)->setSelected(true);
  const QString moved = available->item(1)->text();
  w.click(1101);
  QCOMPARE(selected->count(), 2);
  QCOMPARE(selected->item(1)->text(), moved);
  w.click(1110);  // remove all
  QCOMPARE(selected->count(), 0);
  QCOMPARE(available->count(), 3);
  w.click(1102);
  selected->item(0)->setSelected(true);
  w.click(1111);
  QCOMPARE(selected->count(), 2);
  // Back and Next keep the selection, and the indexes choice (on by default) reaches the run.
  auto* indexes = w.shell->currentPage()->findChild<QCheckBox*>(QStringLiteral("indexes"));
  QVERIFY(indexes->isChecked());
  indexes->setChecked(false);
  w.back();
  w.next();
  QCOMPARE(w.find<QListWidget>(1318)->count(), 2);
  QVERIFY(w.converter->skip_idx);
  QVERIFY(!w.shell->currentPage()->findChild<QCheckBox*>(QStringLiteral("indexes"))->isChecked());
}

namespace {

// Writes a good table and a table whose file is broken into `dir`.
void write_good_and_broken(const QString& dir) {
  e2e_write_dbf((dir + QStringLiteral("/good.dbf")).toStdString(), {{"NAME", 'C', 8}},
                {{false, {"one"}}, {false, {"two"}}});
  QFile bad(dir + QStringLiteral("/bad.dbf"));
  QVERIFY(bad.open(QIODevice::WriteOnly));
  bad.write(QByteArray(40, '\x03'));
  bad.close();
}

// The good and broken tables in `dir`, and `w` walked to the tables page of a conversion of
// that folder into the script `script`.
void walk_to_good_and_broken(wizard_under_test& w, const QString& dir, const QString& script) {
  write_good_and_broken(dir);
  to_sel_file_in_dump_mode(w);
  w.type(1003, dir);
  w.type(1004, script);
  w.next();
}

}  // namespace

void walk_test::error_list_after_a_table_fails() {
  QTemporaryDir src;
  QTemporaryDir out;
  wizard_under_test w;
  walk_to_good_and_broken(w, src.path(), out.filePath(QStringLiteral("e.sql")));
  w.click(1102);
  // The failure comes up in the continue dialog (or, for a run-ending failure, the error box).
  QString seen;
  when_modal([&](QWidget* d) {
    if (auto* c = qobject_cast<dlg_error_continue*>(d)) {
      seen = c->findChild<QLabel*>(QStringLiteral("id1320"))->text();
      QMetaObject::invokeMethod(c->findChild<QPushButton*>(QStringLiteral("id2")), "click",
                                Qt::QueuedConnection);
      return true;
    }
    if (auto* box = qobject_cast<QMessageBox*>(d)) {
      seen = box->text();
      QMetaObject::invokeMethod(box->button(QMessageBox::Ok), "click", Qt::QueuedConnection);
      return true;
    }
    return false;
  });
  w.next();
  QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_finish_page), 60000);
  QVERIFY2(seen.startsWith(QStringLiteral("bad")), qPrintable(seen));
  QCOMPARE(w.find<QLabel>(1314)->text(),
           QStringLiteral("There were some errors while converting the database.\nClick 'Finish' "
                          "to exit the wizard."));
  auto* list = w.find<QPlainTextEdit>(1016);
  QVERIFY(list->isVisible());
  QVERIFY(list->isReadOnly());
  QCOMPARE(list->toPlainText(), seen + QStringLiteral("\n\n"));
  // The good table was converted all the same.
  QVERIFY(read_all(out.filePath(QStringLiteral("e.sql"))).contains("INSERT INTO [dbo].[good]"));
}

void walk_test::finish_page_accounts_for_each_table() {
  QTemporaryDir src;
  QTemporaryDir out;
  write_good_and_broken(src.path());
  // A third table with a deleted record, which the run leaves out.
  e2e_write_dbf((src.path() + QStringLiteral("/three.dbf")).toStdString(), {{"NAME", 'C', 8}},
                {{false, {"a"}}, {true, {"b"}}, {false, {"c"}}});
  const QString script = out.filePath(QStringLiteral("f.sql"));
  wizard_under_test w;
  to_sel_file_in_dump_mode(w);
  w.type(1003, src.path());
  w.type(1004, script);
  w.check(1202, true);  // don't convert deleted records
  w.next();
  w.click(1102);
  continue_quietly();
  w.next();
  QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_finish_page), 60000);
  auto* table = w.shell->currentPage()->findChild<QTableWidget*>(QStringLiteral("run_tables"));
  QVERIFY(table != nullptr && table->isVisible());
  QCOMPARE(table->rowCount(), 3);
  // Row by row: name, result, rows read, written, skipped, failed records, time.
  QMap<QString, QStringList> rows;
  for (int r = 0; r < table->rowCount(); ++r) {
    QStringList cells;
    for (int c = 0; c < table->columnCount(); ++c) cells << table->item(r, c)->text();
    rows[cells[0]] = cells;
  }
  QCOMPARE(rows.keys(),
           (QStringList{QStringLiteral("bad"), QStringLiteral("good"), QStringLiteral("three")}));
  QCOMPARE(rows[QStringLiteral("good")].mid(1, 5),
           (QStringList{QStringLiteral("converted"), QStringLiteral("2"), QStringLiteral("2"),
                        QStringLiteral("0"), QStringLiteral("0")}));
  QCOMPARE(rows[QStringLiteral("three")].mid(1, 5),
           (QStringList{QStringLiteral("converted"), QStringLiteral("3"), QStringLiteral("2"),
                        QStringLiteral("1"), QStringLiteral("0")}));
  QCOMPARE(rows[QStringLiteral("bad")][1], QStringLiteral("FAILED"));
  QVERIFY(rows[QStringLiteral("good")][6].endsWith(QStringLiteral(" s")));
  // The failed table stands out from the good ones: bold, on its own colour.
  QMap<QString, QTableWidgetItem*> first;
  for (int r = 0; r < table->rowCount(); ++r) first[table->item(r, 0)->text()] = table->item(r, 0);
  QVERIFY(first[QStringLiteral("bad")]->font().bold());
  QVERIFY(!first[QStringLiteral("good")]->font().bold());
  QVERIFY(first[QStringLiteral("bad")]->background() !=
          first[QStringLiteral("good")]->background());
  QCOMPARE(first[QStringLiteral("three")]->background(),
           first[QStringLiteral("good")]->background());
  // The totals line carries the console's summary of the same run, and the per-table numbers
  // add up to it.
  const talvex_converter::run_totals& totals = w.converter->totals();
  QCOMPARE(totals.tables_converted, 2);
  QCOMPARE(totals.tables_failed, 1);
  QCOMPARE(totals.rows_written, std::int64_t(4));
  QCOMPARE(totals.rows_skipped, std::int64_t(1));
  const QString summary =
      w.shell->currentPage()->findChild<QLabel*>(QStringLiteral("run_totals"))->text();
  QVERIFY2(summary.startsWith(QStringLiteral("Total time: ")), qPrintable(summary));
  QVERIFY2(summary.contains(QString::fromStdString(talvex_converter::summary_line(totals))),
           qPrintable(summary));
  // Where it went: the script, with a button for its folder.
  QCOMPARE(w.shell->currentPage()->findChild<QLabel*>(QStringLiteral("destination"))->text(),
           QStringLiteral("Destination: script ") + script);
  QVERIFY(
      w.shell->currentPage()->findChild<QPushButton*>(QStringLiteral("open_folder"))->isVisible());
  // And the error list names the failed table.
  QVERIFY(w.find<QPlainTextEdit>(1016)->toPlainText().startsWith(QStringLiteral("bad")));
}

void walk_test::abort_in_the_continue_dialog_stops_the_run() {
  QTemporaryDir src;
  QTemporaryDir out;
  wizard_under_test w;
  walk_to_good_and_broken(w, src.path(), out.filePath(QStringLiteral("a.sql")));
  // bad first, good second: Abort on bad's failure leaves good unconverted.
  auto* available = w.find<QListWidget>(1317);
  available->findItems(QStringLiteral("bad"), Qt::MatchExactly).front()->setSelected(true);
  w.click(1101);
  w.click(1102);
  bool continue_dialog = false;
  when_modal([&](QWidget* d) {
    auto* c = qobject_cast<dlg_error_continue*>(d);
    if (c == nullptr) return false;
    continue_dialog = true;
    QMetaObject::invokeMethod(c->findChild<QPushButton*>(QStringLiteral("id1")), "click",
                              Qt::QueuedConnection);
    return true;
  });
  w.next();
  QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_finish_page), 60000);
  if (!continue_dialog) QSKIP("the broken table's failure is not a level-0 one");
  QVERIFY(!read_all(out.filePath(QStringLiteral("a.sql"))).contains("INSERT INTO [dbo].[good]"));
}

void walk_test::cancel_stops_a_large_conversion_between_records() {
  QTemporaryDir src;
  QTemporaryDir out;
  constexpr int k_records = 3000000;
  write_big_table(src.path() + QStringLiteral("/big.dbf"), k_records);
  const QString script = out.filePath(QStringLiteral("big.sql"));
  wizard_under_test w;
  to_sel_file_in_dump_mode(w);
  w.type(1003, src.path());
  w.type(1004, script);
  w.next();
  w.click(1102);
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_progress_page));
  // The status line names the table while it runs.
  auto* status = w.shell->page(k_progress_page)->findChild<QLabel*>(QStringLiteral("id1323"));
  QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("Processing table 'big'"), 60000);
  QVERIFY(w.converter->records_done < k_records);
  QString text;
  answer_box(QMessageBox::Yes, &text);
  QTest::mouseClick(w.shell->button(QWizard::CancelButton), Qt::LeftButton);
  QCOMPARE(text, QStringLiteral("Are you sure you want to exit the wizard?"));
  QTRY_VERIFY_WITH_TIMEOUT(!w.shell->isVisible(), 60000);
  QVERIFY(w.converter->finished);
  QVERIFY(w.converter->records_done < k_records);
  const std::vector<std::string> errors = w.shell->collected_errors();
  QCOMPARE(errors.size(), std::size_t(1));
  QVERIFY2(QString::fromStdString(errors[0]).contains(QStringLiteral("interrupted")),
           errors[0].c_str());
  const QByteArray written = read_all(script);
  QVERIFY(written.count("INSERT INTO") < k_records);
}

void walk_test::cancel_on_welcome_with_no_keeps_the_wizard() {
  wizard_under_test w;
  QString text;
  QString caption;
  answer_box(QMessageBox::No, &text, &caption);
  QTest::mouseClick(w.shell->button(QWizard::CancelButton), Qt::LeftButton);
  QCOMPARE(text, QStringLiteral("Are you sure you want to exit the wizard?"));
  QCOMPARE(caption, QStringLiteral("Talvex 2.3 Question"));
  QVERIFY(w.shell->isVisible());
  answer_box(QMessageBox::Yes);
  QTest::mouseClick(w.shell->button(QWizard::CancelButton), Qt::LeftButton);
  QVERIFY(!w.shell->isVisible());
}

void walk_test::profile_load_and_save_through_the_file_dialogs() {
  QTemporaryDir dir;
  const QString profile = dir.filePath(QStringLiteral("saved"));
  {
    wizard_under_test w;
    w.converter->name_map.clear();
    to_sel_file_in_dump_mode(w);
    w.type(1003, k_samples);
    w.type(1004, dir.filePath(QStringLiteral("p.sql")));
    w.next();
    w.find<QListWidget>(1317)
        ->findItems(QStringLiteral("products"), Qt::MatchExactly)
        .front()
        ->setSelected(true);
    w.click(1101);
    w.next();
    QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_finish_page), 60000);
    QString title;
    QStringList filters;
    answer_file_dialog(profile, &title, &filters);
    w.click(1116);
    QCOMPARE(filters, (QStringList{QStringLiteral("Profile Files (.talvex) (*.talvex)"),
                                   QStringLiteral("All Files (*.*) (*)")}));
    // The page says where the profile went.
    QCOMPARE(w.shell->currentPage()->findChild<QLabel*>(QStringLiteral("saved_status"))->text(),
             QStringLiteral("Settings saved to ") + profile + QStringLiteral(".talvex"));
  }
  // The name without an extension got ".talvex".
  const QByteArray saved = read_all(profile + QStringLiteral(".talvex"));
  QVERIFY2(saved.contains("direct mode=0"), saved.constData());
  QVERIFY(saved.contains("[Selected Tables]\r\nproducts\r\n"));

  wizard_under_test w;
  QCOMPARE(w.shell->currentId(), int(k_welcome_page));
  QVERIFY(w.find<QRadioButton>(1329)->isChecked());
  QString title;
  answer_file_dialog(profile + QStringLiteral(".talvex"), &title);
  w.click(1115);
  QCOMPARE(title, QStringLiteral("Select Profile File"));
  // The scenario buttons keep their state; the rest comes from the profile.
  QVERIFY(w.find<QRadioButton>(1329)->isChecked());
  QCOMPARE(w.converter->src, k_samples.toStdU16String());
  w.click(1330);
  w.next();
  w.next();
  QCOMPARE(w.find<QLineEdit>(1003)->text(), k_samples);
  answer_box(QMessageBox::Yes);  // the script of the first run is there
  w.next();
  QCOMPARE(w.find<QListWidget>(1318)->count(), 1);
  QCOMPARE(w.find<QListWidget>(1318)->item(0)->text(), QStringLiteral("products"));
}

void walk_test::settings_are_remembered_between_runs() {
  QTemporaryDir config;
  QTemporaryDir out;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  {
    gui_error_handler handler;
    talvex_converter converter(false);
    wizard_shell shell;
    shell.show();
    QVERIFY(QTest::qWaitForWindowExposed(&shell));
    auto* dump = shell.findChild<QRadioButton*>(QStringLiteral("id1330"));
    QTest::mouseClick(dump, Qt::LeftButton, {}, QPoint(4, dump->height() / 2));
    QTest::mouseClick(shell.button(QWizard::NextButton), Qt::LeftButton);
    QTest::mouseClick(shell.button(QWizard::NextButton), Qt::LeftButton);
    auto* src = shell.currentPage()->findChild<QLineEdit*>(QStringLiteral("id1003"));
    QTest::keyClicks(src, k_samples);
    QTest::keyClicks(shell.currentPage()->findChild<QLineEdit*>(QStringLiteral("id1004")),
                     out.filePath(QStringLiteral("r.sql")));
    QTest::mouseClick(shell.button(QWizard::NextButton), Qt::LeftButton);
    answer_box(QMessageBox::Yes);  // no tables: a run over none
    QTest::mouseClick(shell.button(QWizard::NextButton), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(shell.currentId(), int(k_finish_page), 30000);
    // Finish remembers the settings of the run.
    QTest::mouseClick(shell.button(QWizard::FinishButton), Qt::LeftButton);
    drop_pending_answers();
  }
  gui_error_handler handler;
  talvex_converter converter(false);
  wizard_shell shell;
  shell.show();
  QVERIFY(QTest::qWaitForWindowExposed(&shell));
  QVERIFY(shell.findChild<QRadioButton*>(QStringLiteral("id1330"))->isChecked());
  QTest::mouseClick(shell.button(QWizard::NextButton), Qt::LeftButton);
  QTest::mouseClick(shell.button(QWizard::NextButton), Qt::LeftButton);
  QCOMPARE(shell.currentPage()->findChild<QLineEdit*>(QStringLiteral("id1003"))->text(), k_samples);
  QCOMPARE(shell.currentPage()->findChild<QLineEdit*>(QStringLiteral("id1004"))->text(),
           out.filePath(QStringLiteral("r.sql")));
}

void walk_test::progress_arithmetic() {
  QCOMPARE(progress_page::percent(0, 0, 0, 0), 0);
  QCOMPARE(progress_page::percent(2, 4, 50, 200), 56);
  QCOMPARE(progress_page::percent(1, 1, 0, 0), 100);
}

void walk_test::quick_launch_runs_a_profile_at_once() {
  QTemporaryDir dir;
  const QString profile = dir.filePath(QStringLiteral("run.talvex"));
  const QString script = dir.filePath(QStringLiteral("quick.sql"));
  {
    QFile f(profile);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(("[Generic settings]\r\nsrc=" + k_samples.toUtf8() + "\r\ndest=" + script.toUtf8() +
             "\r\n\r\n[MS SQL Server settings]\r\ndirect mode=0\r\n\r\n[Selected Tables]\r\n"
             "orders\r\n\r\n")
                .constData());
  }
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  gui_error_handler handler;
  talvex_converter converter(false);
  QVERIFY(converter.load_profile(profile.toStdString()));
  wizard_shell shell(true);
  QVERIFY(shell.page(k_welcome_page) == nullptr);
  shell.show();
  QVERIFY(QTest::qWaitForWindowExposed(&shell));
  QCOMPARE(shell.currentId(), int(k_progress_page));
  QTRY_COMPARE_WITH_TIMEOUT(shell.currentId(), int(k_finish_page), 60000);
  const QByteArray written = read_all(script);
  QCOMPARE(written.count("INSERT INTO [dbo].[orders]"), qsizetype(13));
  QVERIFY(!written.contains("[customers]"));
}

void walk_test::finish_page_lists_twenty_of_twenty_five_errors() {
  QTemporaryDir src;
  QTemporaryDir out;
  for (int i = 0; i < 25; ++i) {
    QFile bad(src.filePath(QStringLiteral("bad%1.dbf").arg(i, 2, 10, QLatin1Char('0'))));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(40, '\x03'));
  }
  wizard_under_test w;
  to_sel_file_in_dump_mode(w);
  w.type(1003, src.path());
  w.type(1004, out.filePath(QStringLiteral("x.sql")));
  w.next();
  w.click(1102);
  // The first failure: "Do not show this dialog box again", then Continue.
  continue_quietly();
  w.next();
  QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_finish_page), 60000);
  const QString list = w.find<QPlainTextEdit>(1016)->toPlainText();
  QCOMPARE(list.count(QStringLiteral("\n\n")), 20);
  QVERIFY(list.startsWith(QStringLiteral("bad00")));
  QVERIFY(!list.contains(QStringLiteral("bad20")));
}

void walk_test::keyboard_mnemonics_choose_and_move() {
  wizard_under_test w;
  w.shell->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(w.shell.get()));
  w.find<QRadioButton>(1329)->setFocus();
  QVERIFY(w.find<QRadioButton>(1329)->isChecked());
  QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w.shell.get(),
                  Qt::Key_E, Qt::AltModifier);  // &Export into ...
  // A mnemonic clicks the button as an animated click: a moment later.
  QTRY_VERIFY(w.find<QRadioButton>(1330)->isChecked());
  QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w.shell.get(),
                  Qt::Key_N, Qt::AltModifier);  // &Next
  QTRY_COMPARE(w.shell->currentId(), int(k_dump_page));
  QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w.shell.get(),
                  Qt::Key_C, Qt::AltModifier);  // Insert &comments
  QTRY_VERIFY(!w.find<QCheckBox>(1205)->isChecked());
  QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w.shell.get(),
                  Qt::Key_B, Qt::AltModifier);  // &Back
  QTRY_COMPARE(w.shell->currentId(), int(k_welcome_page));
}

void walk_test::every_page_reads_in_order_and_its_mnemonics_differ() {
  QTemporaryDir out;
  wizard_under_test w;
  w.shell->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(w.shell.get()));
  const auto page_is = [&](const QStringList& chain) {
    QCOMPARE(tab_chain(w.shell->currentPage()), chain);
    QCOMPARE(repeated_mnemonics(w.shell.get()), QStringList());
  };
  page_is({"id1115", "id1329", "id1330"});
  w.next();
  page_is({"id1014", "id1329", "id1330", "id1202", "id1401", "id1402", "id1403", "id1404"});
  w.click(1330);
  // Without a secret store "Remember password" is disabled, so Tab passes it by.
  page_is(
      {"id1014", "id1330", "id1012", "id1013", "id1202", "id1401", "id1402", "id1403", "id1404"});
  w.back();
  w.click(1330);
  w.next();
  page_is({"id1203", "id1204", "id1205"});
  w.next();
  page_is({"id1003", "id1107", "id1004", "id1104", "id1228", "id1202", "id1204", "id1302"});
  w.type(1003, k_samples);
  w.type(1004, out.filePath(QStringLiteral("k.sql")));
  w.next();
  page_is({"id1317", "id1101", "id1102", "id1111", "id1110", "id1318", "indexes"});
  w.click(1102);
  w.next();
  QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_finish_page), 60000);
  page_is({"run_tables", "open_folder", "id1116"});
}

void walk_test::enter_connects_and_the_field_gets_the_keyboard_back() {
  wizard_under_test w;
  w.shell->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(w.shell.get()));
  w.next();
  QCOMPARE(w.shell->currentId(), int(k_mssql_page));
  w.type(1014, QStringLiteral("127.0.0.1:1"));  // nothing listens there
  w.click(1330);
  w.type(1012, QStringLiteral("nobody"));
  w.type(1013, QStringLiteral("wrong"));
  auto* password = w.find<QLineEdit>(1013);
  password->setFocus();
  QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(password));
  QString text;
  answer_box(QMessageBox::Ok, &text);
  // Enter in a field is Next: it connects.
  QTest::keyClick(password, Qt::Key_Return);
  QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty(), 30000);
  QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
  QCOMPARE(w.shell->currentId(), int(k_mssql_page));
  // Once the dialogs are gone, the keyboard is where the user left it.
  QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(password));
}

void walk_test::connection_page_encryption_fields() {
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  {
    gui_error_handler handler;
    talvex_converter converter(false);
    wizard_shell shell;
    shell.show();
    QVERIFY(QTest::qWaitForWindowExposed(&shell));
    QTest::mouseClick(shell.button(QWizard::NextButton), Qt::LeftButton);
    QCOMPARE(shell.currentId(), int(k_mssql_page));
    auto* encrypt = shell.currentPage()->findChild<QCheckBox*>(QStringLiteral("id1401"));
    auto* trust = shell.currentPage()->findChild<QCheckBox*>(QStringLiteral("id1402"));
    auto* ca_file = shell.currentPage()->findChild<QLineEdit*>(QStringLiteral("id1403"));
    // Mandatory encryption, the certificate checked against the system's authorities.
    QVERIFY(encrypt->isChecked());
    QVERIFY(!trust->isChecked());
    QVERIFY(ca_file->text().isEmpty());
    QCOMPARE(ca_file->placeholderText(), QStringLiteral("/etc/ssl/certs/ca-certificates.crt"));
    QTest::mouseClick(encrypt, Qt::LeftButton, {}, QPoint(4, encrypt->height() / 2));
    QTest::mouseClick(trust, Qt::LeftButton, {}, QPoint(4, trust->height() / 2));
    QTest::keyClicks(ca_file, QStringLiteral("/some/ca.pem"));
    // Parallel connections start at the machine's default and reach the converter.
    auto* jobs = shell.currentPage()->findChild<QSpinBox*>(QStringLiteral("id1404"));
    QCOMPARE(jobs->value(), talvex_converter::default_jobs());
    jobs->setValue(7);
    QTest::mouseClick(shell.button(QWizard::BackButton), Qt::LeftButton);
    QCOMPARE(converter.jobs, 7);
    const odb_tls& tls = converter.engine().tls();
    QVERIFY(tls.encryption == odb_encryption::optional);
    QVERIFY(tls.trust_server_cert);
    QCOMPARE(QString::fromStdString(tls.ca_file), QStringLiteral("/some/ca.pem"));
    // Back and Next keep them.
    QTest::mouseClick(shell.button(QWizard::NextButton), Qt::LeftButton);
    QVERIFY(!encrypt->isChecked());
    QVERIFY(trust->isChecked());
    QCOMPARE(ca_file->text(), QStringLiteral("/some/ca.pem"));
    QTest::mouseClick(shell.button(QWizard::BackButton), Qt::LeftButton);
    // What a finished run saves.
    QVERIFY(converter.store_settings());
  }
  // The next session of the wizard starts with them.
  gui_error_handler handler;
  talvex_converter converter(false);
  wizard_shell shell;
  shell.show();
  QVERIFY(QTest::qWaitForWindowExposed(&shell));
  QTest::mouseClick(shell.button(QWizard::NextButton), Qt::LeftButton);
  QVERIFY(!shell.currentPage()->findChild<QCheckBox*>(QStringLiteral("id1401"))->isChecked());
  QVERIFY(shell.currentPage()->findChild<QCheckBox*>(QStringLiteral("id1402"))->isChecked());
  QCOMPARE(shell.currentPage()->findChild<QLineEdit*>(QStringLiteral("id1403"))->text(),
           QStringLiteral("/some/ca.pem"));
  QCOMPARE(shell.currentPage()->findChild<QSpinBox*>(QStringLiteral("id1404"))->value(), 7);
}

QTEST_MAIN(walk_test)
#include "walk_test.moc"
