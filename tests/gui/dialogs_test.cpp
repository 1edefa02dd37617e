// The wizard's dialogs, the shell's boxes and Help, each driven as a person would.
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QSet>
#include <QUrlQuery>
#include <QtTest>

#include "gui/gui_dialogs.h"
#include "gui/gui_util.h"
#include "gui_test_util.h"
#include "tk/tk_exception.h"

// Receives the URLs the wizard asks the desktop to open, so no browser or mail program starts.
class url_catcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public Q_SLOTS:
  void open(const QUrl& url) { urls << url; }
};

class dialogs_test : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase();
  void cleanupTestCase();
  void internal_error_copies_to_the_clipboard();
  void internal_error_sends_a_bug_report_by_mail();
  void continue_dialog_results_and_escape();
  void do_not_show_again_makes_the_handler_quiet();
  void level_one_error_shows_the_error_box_and_ends_the_run();
  void existing_database_dialog_modes_and_reset();
  void connecting_dialog_is_closed_by_the_worker_only();
  void save_dialog_appends_the_extension();
  void folder_browser_fills_the_source();
  void dump_browse_uses_the_sql_filter();
  void help_opens_the_manual();
  void help_without_a_browser_shows_the_path();
  void help_without_a_manual_says_so();
  void twenty_errors_are_collected_at_most();
  void dump_settings_page_enables_create_database_with_create_table();

 private:
  url_catcher catcher_;
};

void dialogs_test::initTestCase() {
  QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher_, "open");
  QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher_, "open");
}

void dialogs_test::cleanupTestCase() {
  QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void dialogs_test::internal_error_copies_to_the_clipboard() {
  dlg_error_ex dialog(QStringLiteral("Assertion in tk_singl.h:21"));
  QCOMPARE(dialog.windowTitle(), QStringLiteral("Error"));
  auto* send = dialog.findChild<QPushButton*>(QStringLiteral("id1112"));
  QVERIFY(send->isDefault());
  QCOMPARE(send->text(), QStringLiteral("Send bug"));
  QApplication::clipboard()->clear();
  QTimer::singleShot(50, &dialog, [&] {
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("id1108")), Qt::LeftButton);
  });
  QCOMPARE(dialog.exec(), int(QDialog::Accepted));
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Assertion in tk_singl.h:21"));
}

void dialogs_test::internal_error_sends_a_bug_report_by_mail() {
  wizard_under_test w;
  catcher_.urls.clear();
  dlg_error_ex dialog(QStringLiteral("broken & bent: 100%"), w.shell.get());
  QCOMPARE(dialog.windowTitle(), QStringLiteral("Talvex 2.3 Error"));
  QTimer::singleShot(50, &dialog, [&] {
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("id1112")), Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("id1")), Qt::LeftButton);
  });
  dialog.exec();
  QCOMPARE(catcher_.urls.size(), 1);
  const QUrl url = catcher_.urls.front();
  QCOMPARE(url.scheme(), QStringLiteral("mailto"));
  QCOMPARE(url.path(), QStringLiteral("support@orvanel.example"));
  const QUrlQuery query(url);
  QVERIFY(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded)
              .startsWith(QStringLiteral("Bug report on Talvex 2.3 ")));
  QCOMPARE(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
           QStringLiteral("broken & bent: 100%"));
}

void dialogs_test::continue_dialog_results_and_escape() {
  {
    dlg_error_continue dialog(QStringLiteral("orders, record #12: Invalid value."));
    auto* go_on = dialog.findChild<QPushButton*>(QStringLiteral("id2"));
    QVERIFY(go_on->isDefault());
    QCOMPARE(go_on->text(), QStringLiteral("Continue"));
    QCOMPARE(dialog.findChild<QCheckBox*>(QStringLiteral("id1222"))->text(),
             QStringLiteral("&Do not show this dialog box again"));
    QTimer::singleShot(50, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
    QCOMPARE(dialog.exec(), dlg_error_continue::k_continue);
  }
  {
    dlg_error_continue dialog(QStringLiteral("x"));
    QTimer::singleShot(50, &dialog, [&] {
      QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("id1")), Qt::LeftButton);
    });
    QCOMPARE(dialog.exec(), dlg_error_continue::k_abort);
    QVERIFY(!dialog.do_not_show_again());
  }
}

void dialogs_test::do_not_show_again_makes_the_handler_quiet() {
  wizard_under_test w;
  answer_dialog<dlg_error_continue>("id2", [](dlg_error_continue* d) {
    d->findChild<QCheckBox*>(QStringLiteral("id1222"))->click();
  });
  w.handler->handle(tk_exception("first", 0), false);
  QVERIFY(w.handler->quiet());
  // Quiet: the next one is collected without a dialog.
  w.handler->handle(tk_exception("second", 0), false);
  const auto errors = w.shell->collected_errors();
  QCOMPARE(errors.size(), std::size_t(2));
  QCOMPARE(errors[1], std::string("second"));
}

void dialogs_test::level_one_error_shows_the_error_box_and_ends_the_run() {
  wizard_under_test w;
  QString text;
  answer_box(QMessageBox::Ok, &text);
  bool ended = false;
  try {
    w.handler->set_context("orders");
    w.handler->handle(tk_exception("Disk full\nreally", 1), false);
  } catch (const tk_final_exception&) {
    ended = true;
  }
  w.handler->set_context({});
  QVERIFY(ended);
  QCOMPARE(text, QStringLiteral("orders: Disk full really"));
}

void dialogs_test::existing_database_dialog_modes_and_reset() {
  const auto option = [](overwrite_dlg2& d, int mode) {
    return d.findChild<QRadioButton*>(QStringLiteral("id%1").arg(1329 + mode));
  };
  // OK at once takes the preselected choice, which drops nothing: skip existing tables.
  {
    overwrite_dlg2 dialog(QStringLiteral("The destination database already exists."));
    QTimer::singleShot(50, &dialog, [&] {
      QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("id1")), Qt::LeftButton);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(dialog.option(), 2);
  }
  for (int mode = 0; mode < 4; ++mode) {
    overwrite_dlg2 dialog(QStringLiteral("The destination database already exists."));
    QTimer::singleShot(50, &dialog, [&] {
      // Each opening starts with "Skip existing tables", never a choice that drops data.
      QVERIFY(option(dialog, 2)->isChecked());
      QVERIFY(!option(dialog, 0)->isChecked());
      QVERIFY(!option(dialog, 1)->isChecked());
      option(dialog, mode)->click();
      QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("id1")), Qt::LeftButton);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(dialog.option(), mode);
    // Opened again after a destructive pick: the safe choice again; Cancel.
    QTimer::singleShot(50, &dialog, [&] {
      QVERIFY(option(dialog, 2)->isChecked());
      QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("id2")), Qt::LeftButton);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
  }
  overwrite_dlg2 dialog(QStringLiteral("x"));
  QStringList texts;
  QStringList effects;
  for (int i = 0; i < 4; ++i) {
    texts << option(dialog, i)->text();
    effects << dialog.findChild<QLabel*>(QStringLiteral("effect%1").arg(1329 + i))->text();
  }
  QCOMPARE(texts, (QStringList{QStringLiteral("&Overwrite the entire database"),
                               QStringLiteral("Overwrite existing &tables only"),
                               QStringLiteral("&Skip existing tables"), QStringLiteral("&Merge")}));
  // Each choice says what it does, in its own words: what is dropped, and what stays.
  QVERIFY(effects[0].contains(QStringLiteral("Drops the database")));
  QVERIFY(effects[1].contains(QStringLiteral("other tables stay")));
  QVERIFY(effects[2].contains(QStringLiteral("existing ones stay")));
  QVERIFY(effects[3].contains(QStringLiteral("nothing is dropped")));
  QCOMPARE(QSet<QString>(effects.begin(), effects.end()).size(), 4);
}

void dialogs_test::connecting_dialog_is_closed_by_the_worker_only() {
  connecting_dialog dialog;
  QTimer::singleShot(50, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
  std::thread worker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    dialog.close_from_worker();
  });
  QElapsedTimer clock;
  clock.start();
  QCOMPARE(dialog.exec(), int(QDialog::Accepted));
  QVERIFY(clock.elapsed() >= 250);
  worker.join();
}

void dialogs_test::save_dialog_appends_the_extension() {
  QCOMPARE(with_extension(QStringLiteral("/tmp/a"), QStringLiteral("talvex")),
           QStringLiteral("/tmp/a.talvex"));
  QCOMPARE(with_extension(QStringLiteral("/tmp/a.talvex"), QStringLiteral("talvex")),
           QStringLiteral("/tmp/a.talvex"));
  QCOMPARE(with_extension(QStringLiteral("/tmp/a.sql"), QStringLiteral(".talvex")),
           QStringLiteral("/tmp/a.sql.talvex"));
  QTemporaryDir dir;
  QString path;
  answer_file_dialog(dir.filePath(QStringLiteral("prof")));
  QVERIFY(save_file_dialog(nullptr, QStringLiteral("Save"),
                           profile_filter(QStringLiteral("talvex")), QStringLiteral("talvex"),
                           path));
  QCOMPARE(path, dir.filePath(QStringLiteral("prof.talvex")));
}

void dialogs_test::folder_browser_fills_the_source() {
  QTemporaryDir dir;
  wizard_under_test w;
  w.click(1330);
  w.next();
  w.next();
  QString title;
  answer_file_dialog(dir.path(), &title);
  w.click(1107);
  QCOMPARE(title, QStringLiteral("Select DBF database folder"));
  QCOMPARE(w.find<QLineEdit>(1003)->text(), dir.path());
}

void dialogs_test::dump_browse_uses_the_sql_filter() {
  QTemporaryDir dir;
  wizard_under_test w;
  w.click(1330);
  w.next();
  w.next();
  QString title;
  QStringList filters;
  answer_file_dialog(dir.filePath(QStringLiteral("out")), &title, &filters);
  w.click(1104);
  QCOMPARE(title, QStringLiteral("Select File"));
  QCOMPARE(filters, (QStringList{QStringLiteral("T-SQL Script Files (.sql) (*.sql)"),
                                 QStringLiteral("All Files (*.*) (*)")}));
  QCOMPARE(w.find<QLineEdit>(1004)->text(), dir.filePath(QStringLiteral("out.sql")));
}

void dialogs_test::help_opens_the_manual() {
  QTemporaryDir dir;
  const QString manual = dir.filePath(QStringLiteral("talvex.html"));
  QFile f(manual);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write("<html></html>");
  f.close();
  wizard_under_test w;
  w.shell->help_candidates = {dir.filePath(QStringLiteral("none.html")), manual};
  catcher_.urls.clear();
  QTest::mouseClick(w.shell->button(QWizard::HelpButton), Qt::LeftButton);
  QCOMPARE(catcher_.urls, (QList<QUrl>{QUrl::fromLocalFile(manual)}));
  // The build tree's manual is found as it is.
  QVERIFY(QFile::exists(QStringLiteral(QV_SOURCE_DIR "/docs/talvex.html")));
}

void dialogs_test::help_without_a_browser_shows_the_path() {
  QTemporaryDir dir;
  const QString manual = dir.filePath(QStringLiteral("talvex.html"));
  QFile f(manual);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.close();
  wizard_under_test w;
  w.shell->help_candidates = {manual};
  // With no handler for files, the offscreen desktop opens nothing, as one without a browser.
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
  QString text;
  Qt::TextInteractionFlags flags;
  when_modal([&](QWidget* d) {
    auto* box = qobject_cast<QMessageBox*>(d);
    if (box == nullptr) return false;
    text = box->text();
    flags = box->textInteractionFlags();
    QMetaObject::invokeMethod(box->findChild<QPushButton*>(QStringLiteral("copy_path")), "click",
                              Qt::QueuedConnection);
    return true;
  });
  QGuiApplication::clipboard()->clear();
  QTest::mouseClick(w.shell->button(QWizard::HelpButton), Qt::LeftButton);
  QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher_, "open");
  QVERIFY2(text.contains(QStringLiteral("no program that opens web pages")), qPrintable(text));
  QVERIFY(text.contains(
      QStringLiteral("<a href=\"%1\">%2</a>").arg(QUrl::fromLocalFile(manual).toString(), manual)));
  QVERIFY(flags & Qt::LinksAccessibleByMouse);
  QCOMPARE(QGuiApplication::clipboard()->text(), manual);
}

void dialogs_test::help_without_a_manual_says_so() {
  wizard_under_test w;
  w.shell->help_candidates = {QStringLiteral("/nonexistent/talvex.html")};
  catcher_.urls.clear();
  QString text;
  answer_box(QMessageBox::Ok, &text);
  QTest::mouseClick(w.shell->button(QWizard::HelpButton), Qt::LeftButton);
  QCOMPARE(text, QStringLiteral("Help file does not exist. Reinstall the program."));
  QVERIFY(catcher_.urls.isEmpty());
}

void dialogs_test::twenty_errors_are_collected_at_most() {
  wizard_under_test w;
  w.handler->set_quiet(true);
  for (int i = 0; i < 25; ++i) {
    w.handler->handle(tk_exception("error " + std::to_string(i), 0), false);
  }
  QCOMPARE(w.shell->collected_errors().size(), std::size_t(20));
  QCOMPARE(w.shell->collected_errors().back(), std::string("error 19"));
}

void dialogs_test::dump_settings_page_enables_create_database_with_create_table() {
  wizard_under_test w;
  w.click(1330);
  w.next();
  // The script scenario has four steps too: these settings, databases, tables, progress.
  QCOMPARE(w.shell->currentPage()->title(), QStringLiteral("Step 1 of 4"));
  QCOMPARE(w.shell->currentPage()->subTitle(), QStringLiteral("MS SQL script file settings"));
  QVERIFY(w.find<QCheckBox>(1203)->isEnabled());
  w.check(1204, false);
  QVERIFY(!w.find<QCheckBox>(1203)->isEnabled());
  w.check(1204, true);
  w.check(1203, true);
  w.next();
  QVERIFY(w.converter->dump_options.b_create_db);
  QVERIFY(!w.converter->dump_options.b_unicode);
}

QTEST_MAIN(dialogs_test)
#include "dialogs_test.moc"
