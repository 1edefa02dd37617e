// The finish page: the result, what the run did with each table, where it went, the
// collected errors, the log and Save Settings.
#pragma once

#include "gui/wizard_page.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

class gui_finish_page : public wizard_page {
  Q_OBJECT
 public:
  explicit gui_finish_page(wizard_shell* shell);
  int nextId() const override { return -1; }

 protected:
  void page_init() override;

 private:
  void on_store();
  // The run's table of tables, its destination and its totals.
  void show_accounts();
  void open_script_folder();
  QLabel* result_;
  QTableWidget* tables_;
  QLabel* destination_;
  QPushButton* open_folder_;
  QLabel* totals_;
  QPlainTextEdit* errors_;
  QLabel* log_link_;
  QLabel* saved_;
};
