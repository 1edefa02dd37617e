// The finish page: the result, the collected errors, the log and Save Settings.
#pragma once

#include "gui/wizard_page.h"

class QLabel;
class QPlainTextEdit;

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
