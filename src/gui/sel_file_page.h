// The Select databases page: the DBF folder, the target and the options, with their checks.
#pragma once

#include "gui/wizard_page.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

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
  // Why `name` cannot name a database, or empty when it can.
  static QString database_name_problem(const QString& name);
  QLineEdit* src_;
  QLabel* dest_label_;
  QLineEdit* dest_;
  QPushButton* dest_browse_;
  QLabel* dest_reason_;
  QCheckBox* tab_def_;
  QCheckBox* skip_del_;
  QCheckBox* bool_dbf_;
  QComboBox* code_page_;
};
