#pragma once

#include <QWizardPage>
#include <atomic>
#include <thread>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class talvex_converter;
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
  void enable_ctrl(QWidget* w, int id, bool on);
  void show_ctrl(QWidget* w, int id, bool on);

 private:
  wizard_shell* shell_;
};

class welcome_page : public wizard_page {
  Q_OBJECT
 public:
  explicit welcome_page(wizard_shell* shell);
  int nextId() const override;

 protected:
  void page_init() override;
  bool on_next() override;

 private:
  void on_load();
  QRadioButton* direct_;
  QRadioButton* dump_;
};

class mssql_settings_page : public wizard_page {
  Q_OBJECT
 public:
  explicit mssql_settings_page(wizard_shell* shell);
  int nextId() const override;
  // Connects in a worker thread under the connection dialog; false with the failure shown.
  static bool connect_with_dialog(QWidget* owner);

 protected:
  void page_init() override;
  void store() override;
  bool on_next() override;

 private:
  void update_auth();
  QLineEdit* host_;
  QRadioButton* windows_;
  QRadioButton* sql_;
  QLineEdit* user_;
  QLineEdit* pswd_;
  QCheckBox* as_dbo_;
};

class dump_settings_page : public wizard_page {
  Q_OBJECT
 public:
  explicit dump_settings_page(wizard_shell* shell);
  int nextId() const override;

 protected:
  void page_init() override;
  void store() override;

 private:
  QCheckBox* create_db_;
  QCheckBox* create_tab_;
  QCheckBox* comments_;
};

class sel_file_page : public wizard_page {
  Q_OBJECT
 public:
  explicit sel_file_page(wizard_shell* shell);
  int nextId() const override;

 protected:
  void page_init() override;
  void store() override;
  bool on_next() override;

 private:
  bool check_dump_dest();
  bool check_direct_dest();
  QLineEdit* src_;
  QLabel* dest_label_;
  QLineEdit* dest_;
  QPushButton* dest_browse_;
  QCheckBox* tab_def_;
  QCheckBox* skip_del_;
  QCheckBox* bool_dbf_;
  QComboBox* code_page_;
};

class sel_tables_page : public wizard_page {
  Q_OBJECT
 public:
  explicit sel_tables_page(wizard_shell* shell, bool reordering = false);
  int nextId() const override;

 protected:
  void page_init() override;
  void store() override;
  bool on_next() override;

 private:
  void move(QListWidget* from, QListWidget* to, bool all);
  void move_selected(int step);
  QListWidget* available_;
  QListWidget* selected_;
  bool reordering_;
};

class progress_page : public wizard_page {
  Q_OBJECT
 public:
  explicit progress_page(wizard_shell* shell);
  ~progress_page() override;
  int nextId() const override;
  bool isComplete() const override { return false; }

  bool is_running() const { return worker_.joinable(); }
  // Asks the run to stop between records; the wizard closes when it has.
  void stop_and_close();
  // The bar's value for the counters.
  static int percent(int tables_done, int tables_total, long long records_done,
                     long long records_total);

 protected:
  void page_init() override;

 private:
  void on_timer();
  void wait_for_worker();
  QLabel* status_;
  QProgressBar* bar_;
  QTimer* timer_;
  std::thread worker_;
  std::atomic<bool> done_{false};
  bool close_when_done_ = false;
  bool started_ = false;
};

class gui_finish_page : public wizard_page {
  Q_OBJECT
 public:
  explicit gui_finish_page(wizard_shell* shell);
  int nextId() const override { return -1; }

 protected:
  void page_init() override;

 private:
  void on_store();
  QLabel* result_;
  QPlainTextEdit* errors_;
  QLabel* log_link_;
};
