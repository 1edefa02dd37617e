// The base of every wizard page, and what the pages share.
#pragma once

#include <QString>
#include <QWizardPage>

class QLabel;
class QLineEdit;
class talvex_converter;
class tk_exception;
class wizard_shell;

// The common behaviour of the pages: initialised each time it becomes active,
// its settings stored on Next (after the page's checks) and on Back. Controls carry the
// dialog resources' control ids as object names ("id1014").
class wizard_page : public QWizardPage {
  Q_OBJECT
 public:
  wizard_page(wizard_shell* shell, const QString& title, const QString& subtitle);

  // Called by the shell each time the page is shown.
  void page_activated() { page_init(); }

  bool validatePage() override { return on_next(); }
  void cleanupPage() override { store(); }

 protected:
  virtual void page_init() {}
  virtual void store() {}
  // False stays on the page.
  virtual bool on_next() {
    store();
    return true;
  }

  wizard_shell& shell() const { return *shell_; }
  static talvex_converter& converter();

  // A control with its id as object name.
  template <class W>
  W* control(W* widget, int id) {
    widget->setObjectName(QStringLiteral("id%1").arg(id));
    return widget;
  }
  QLabel* text(const QString& text);
  // At most this many characters in a text box, as the settings keep them.
  static constexpr int k_max_text = 260;
  static QString profile_extension() { return QStringLiteral("talvex"); }
  // A title in a large bold font.
  static void large_font(QLabel* label);
  // A text box holding at most k_max_text characters.
  static QLineEdit* edit(QWidget* parent);
  // A failure a page's handler cannot keep to itself ends the wizard.
  static void report_final(wizard_shell& shell, const tk_exception& e);
  void enable_ctrl(QWidget* w, int id, bool on);
  void show_ctrl(QWidget* w, int id, bool on);

 private:
  wizard_shell* shell_;
};
