// Helpers for walking the wizard as a person would: a wizard with its converter and error
// handler on a settings store of its own, controls found by their resource ids, and answers to
// the modal boxes and dialogs that come up while a click is being handled.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/talvex_converter.h"
#include "gui/gui_dialogs.h"
#include "gui/wizard_pages.h"
#include "gui/wizard_shell.h"
#include "tk/tk_interrupt.h"

// The answers still waiting for their window; a test's end drops them.
inline QList<QPointer<QTimer>>& pending_answers() {
  static QList<QPointer<QTimer>> timers;
  return timers;
}
inline void drop_pending_answers() {
  for (const QPointer<QTimer>& t : pending_answers()) {
    if (t) {
      t->stop();
      t->deleteLater();
    }
  }
  pending_answers().clear();
}

// A fresh settings store, handler, converter and wizard for one test.
struct wizard_under_test {
  QTemporaryDir config;
  std::unique_ptr<gui_error_handler> handler;
  std::unique_ptr<talvex_converter> converter;
  std::unique_ptr<wizard_shell> shell;

  explicit wizard_under_test(bool quick = false, bool show = true,
                             tk_secret_store* secrets = nullptr) {
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    tk_interrupt_signal.store(0);
    handler = std::make_unique<gui_error_handler>();
    converter = std::make_unique<talvex_converter>(false, secrets);
    shell = std::make_unique<wizard_shell>(quick);
    shell->resize(800, 600);
    if (show) {
      shell->show();
      (void)QTest::qWaitForWindowExposed(shell.get());
    }
  }
  ~wizard_under_test() { end(); }
  // Closes the wizard as the program does at exit (Finish has stored the settings).
  void end() {
    drop_pending_answers();
    shell.reset();
    converter.reset();
    handler.reset();
  }

  template <class W = QWidget>
  W* find(int id) const {
    QWidget* page = shell->currentPage();
    W* w = page != nullptr ? page->findChild<W*>(QStringLiteral("id%1").arg(id)) : nullptr;
    if (w == nullptr) qWarning("control %d not found on page %d", id, shell->currentId());
    return w;
  }
  void next() { QTest::mouseClick(shell->button(QWizard::NextButton), Qt::LeftButton); }
  void back() { QTest::mouseClick(shell->button(QWizard::BackButton), Qt::LeftButton); }
  void click(int id) {
    auto* b = find<QAbstractButton>(id);
    // A radio button or check box takes clicks on its indicator and text only.
    if (qobject_cast<QRadioButton*>(b) != nullptr || qobject_cast<QCheckBox*>(b) != nullptr) {
      QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
    } else {
      QTest::mouseClick(b, Qt::LeftButton);
    }
  }
  void type(int id, const QString& text) {
    QLineEdit* e = find<QLineEdit>(id);
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    QTest::keyClicks(e, text);
  }
  void check(int id, bool on) {
    auto* box = find<QAbstractButton>(id);
    if (box->isChecked() != on)
      QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
  }
};

// The letters after '&' in the visible buttons, buddied labels and group boxes of `window`
// (its pages and its own buttons) that more than one of them uses.
inline QStringList repeated_mnemonics(QWidget* window) {
  QMap<QChar, QStringList> users;
  const auto note = [&](const QString& text, const QString& who) {
    const int at = QString(text).replace(QStringLiteral("&&"), QStringLiteral("__")).indexOf('&');
    if (at >= 0 && at + 1 < text.size()) users[text[at + 1].toLower()] << who;
  };
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(window)) continue;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) note(b->text(), b->text());
    if (auto* l = qobject_cast<QLabel*>(w); l != nullptr && l->buddy() != nullptr) {
      note(l->text(), l->text());
    }
    if (auto* g = qobject_cast<QGroupBox*>(w)) note(g->title(), g->title());
  }
  QStringList repeated;
  for (auto it = users.cbegin(); it != users.cend(); ++it) {
    if (it.value().size() > 1) repeated << it.value().join(QStringLiteral(" / "));
  }
  return repeated;
}

// The object names of the widgets of `page` that Tab visits, in the order it visits them.
inline QStringList tab_chain(QWidget* page) {
  QStringList names;
  QWidget* w = page;
  do {
    w = w->nextInFocusChain();
    if (w != page && page->isAncestorOf(w) && w->isVisibleTo(page) && w->isEnabled() &&
        w->focusProxy() == nullptr && (w->focusPolicy() & Qt::TabFocus) != 0) {
      names << w->objectName();
    }
  } while (w != page);
  return names;
}

// A key as the user presses it: to the widget that has the keyboard, or to `window` when no
// widget has it yet.
inline void press(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
  QWidget* w = QApplication::focusWidget();
  QTest::keyClick(w != nullptr ? w : window, key, modifiers);
}

// Runs `handler` on the next modal window that it accepts (returns true for), polling every
// 20 ms for up to `timeout_ms`; set up before the click that opens the window.
inline void when_modal(std::function<bool(QWidget*)> handler, int timeout_ms = 60000) {
  auto* timer = new QTimer;
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(timer, &QTimer::timeout, [timer, clock, handler] {
    QWidget* w = QApplication::activeModalWidget();
    if (w != nullptr && w->isVisible() && handler(w)) {
      timer->stop();
      timer->deleteLater();
    }
  });
  QObject::connect(timer, &QTimer::timeout, [timer, clock, timeout_ms] {
    if (clock->elapsed() > timeout_ms) {
      qWarning("no modal window came up");
      timer->stop();
      timer->deleteLater();
    }
  });
  pending_answers() << QPointer<QTimer>(timer);
  timer->start(20);
}

// Answers the next continue-or-abort dialog with "do not show again" and Continue.
inline void continue_quietly(int timeout_ms = 60000) {
  when_modal(
      [](QWidget* d) {
        auto* c = qobject_cast<dlg_error_continue*>(d);
        if (c == nullptr) return false;
        c->findChild<QCheckBox*>(QStringLiteral("id1222"))->setChecked(true);
        QMetaObject::invokeMethod(c->findChild<QPushButton*>(QStringLiteral("id2")), "click",
                                  Qt::QueuedConnection);
        return true;
      },
      timeout_ms);
}

// Answers the next message box with `button`; its text goes to `text`.
inline void answer_box(QMessageBox::StandardButton button, QString* text = nullptr,
                       QString* caption = nullptr) {
  when_modal([=](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box == nullptr) return false;
    if (text != nullptr) *text = box->text();
    if (caption != nullptr) *caption = box->windowTitle();
    QMetaObject::invokeMethod(box->button(button), "click", Qt::QueuedConnection);
    return true;
  });
}

// Picks `path` in the next Qt file dialog.
inline void answer_file_dialog(const QString& path, QString* title = nullptr,
                               QStringList* filters = nullptr) {
  when_modal([=](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    if (dialog == nullptr) return false;
    if (title != nullptr) *title = dialog->windowTitle();
    if (filters != nullptr) *filters = dialog->nameFilters();
    const QFileInfo info(path);
    if (dialog->fileMode() == QFileDialog::Directory) {
      dialog->setDirectory(path);
    } else {
      dialog->setDirectory(info.absolutePath());
      // Typed, as a person would: the full path in the name field.
      if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        name->setText(path);
      } else {
        dialog->selectFile(path);
      }
    }
    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    return true;
  });
}

// Clicks the button named `id` of the next modal dialog of type D, after `before` saw it.
template <class D>
inline void answer_dialog(const char* id, std::function<void(D*)> before = {}) {
  const QString name = QString::fromLatin1(id);
  when_modal([=](QWidget* w) {
    auto* dialog = qobject_cast<D*>(w);
    if (dialog == nullptr) return false;
    if (before) before(dialog);
    auto* b = dialog->template findChild<QAbstractButton*>(name);
    QMetaObject::invokeMethod(b, "click", Qt::QueuedConnection);
    return true;
  });
}

// Reads a whole file.
inline QByteArray read_all(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}
