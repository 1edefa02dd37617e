// Every page and dialog rendered at 1024x768 into build/screenshots/ (PNG), with a check that
// no label, button or check box shows less than its whole text. Runs under Xvfb (xcb), and
// again at a 200% scale factor on the offscreen platform.
#include <QAbstractButton>
#include <QDir>
#include <QListWidget>
#include <QtTest>

#include "e2e/e2e_dbf.h"
#include "gui/gui_dialogs.h"
#include "gui_test_util.h"

namespace {

QString suffix() {
  const QByteArray scale = qgetenv("QT_SCALE_FACTOR");
  return scale.isEmpty() ? QString() : QStringLiteral("@") + QString::fromUtf8(scale) + 'x';
}

// The texts of `window` that do not fit the room they were given.
QStringList cut_texts(QWidget* window) {
  QStringList cut;
  for (QLabel* label : window->findChildren<QLabel*>()) {
    if (!label->isVisibleTo(window) || label->text().isEmpty() || label->pixmap().isNull() == false)
      continue;
    const QSize room = label->contentsRect().size();
    if (label->wordWrap()) {
      if (label->heightForWidth(label->width()) > label->height()) cut << label->text();
    } else if (label->sizeHint().width() > label->width() + 1 ||
               label->fontMetrics().height() > room.height() + 1) {
      cut << label->text();
    }
  }
  for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
    if (!b->isVisibleTo(window) || b->text().isEmpty()) continue;
    if (b->sizeHint().width() > b->width() + 1) cut << b->text();
  }
  return cut;
}

void shoot(QWidget* window, const QString& name) {
  QApplication::processEvents();
  QDir().mkpath(QStringLiteral(QV_SCREENSHOT_DIR));
  const QString path = QStringLiteral(QV_SCREENSHOT_DIR "/") + name + suffix() + ".png";
  QVERIFY2(window->grab().save(path), qPrintable(path));
  const QStringList cut = cut_texts(window);
  QVERIFY2(cut.isEmpty(), qPrintable(name + QStringLiteral(": cut off: ") + cut.join(" | ")));
}

void shoot_dialog(QDialog* dialog, const QString& name) {
  dialog->show();
  QVERIFY(QTest::qWaitForWindowExposed(dialog));
  shoot(dialog, name);
  dialog->hide();
}

}  // namespace

class screenshot_test : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void every_page_at_1024x768();
  void every_dialog();
  void the_check_sees_a_cut_text();
};

void screenshot_test::every_page_at_1024x768() {
  QTemporaryDir src;
  QTemporaryDir out;
  {
    std::vector<e2e_row> rows(300000);
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i].values = {std::to_string(i)};
    e2e_write_dbf((src.path() + QStringLiteral("/big.dbf")).toStdString(), {{"N", 'N', 10}}, rows);
    // A broken table, so that the finish page shows a failed table beside a good one.
    QFile bad(src.filePath(QStringLiteral("bad.dbf")));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(40, '\x03'));
  }
  wizard_under_test w(false, false);
  w.shell->resize(1024, 768);
  w.shell->show();
  QVERIFY(QTest::qWaitForWindowExposed(w.shell.get()));
  shoot(w.shell.get(), QStringLiteral("1-welcome"));
  w.next();
  shoot(w.shell.get(), QStringLiteral("2-connect"));
  w.back();
  w.click(1330);
  w.next();
  shoot(w.shell.get(), QStringLiteral("3-dump-settings"));
  w.next();
  w.type(1003, src.path());
  w.type(1004, out.filePath(QStringLiteral("shot.sql")));
  shoot(w.shell.get(), QStringLiteral("4-select-databases"));
  w.next();
  shoot(w.shell.get(), QStringLiteral("5-select-tables"));
  w.click(1102);
  continue_quietly();
  w.next();
  QTRY_VERIFY_WITH_TIMEOUT(w.converter->records_done > 0, 30000);
  shoot(w.shell.get(), QStringLiteral("6-progress"));
  QTRY_COMPARE_WITH_TIMEOUT(w.shell->currentId(), int(k_finish_page), 120000);
  shoot(w.shell.get(), QStringLiteral("7-finish"));
}

void screenshot_test::every_dialog() {
  wizard_under_test w;
  {
    dlg_error_ex d(QStringLiteral("Internal error: assertion failed in tk_singl.h, line 21"),
                   w.shell.get());
    shoot_dialog(&d, QStringLiteral("d-internal-error"));
  }
  {
    dlg_error_continue d(QStringLiteral("orders, record #12: Literal value could not be converted "
                                        "to the correct type."),
                         w.shell.get());
    shoot_dialog(&d, QStringLiteral("d-continue"));
  }
  {
    overwrite_dlg2 d(QStringLiteral("The destination database already exists. Select one of the\n"
                                    "options below. Click 'Help' button for more information."),
                     w.shell.get());
    shoot_dialog(&d, QStringLiteral("d-existing-database"));
  }
  {
    connecting_dialog d(w.shell.get());
    shoot_dialog(&d, QStringLiteral("d-connecting"));
  }
}

void screenshot_test::the_check_sees_a_cut_text() {
  QWidget window;
  auto* label = new QLabel(QStringLiteral("A label far too long for its room"), &window);
  label->setGeometry(0, 0, 40, 30);
  auto* button = new QPushButton(QStringLiteral("A button far too long"), &window);
  button->setGeometry(0, 40, 30, 30);
  window.resize(200, 100);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QCOMPARE(cut_texts(&window), (QStringList{label->text(), button->text()}));
}

QTEST_MAIN(screenshot_test)
#include "screenshot_test.moc"
