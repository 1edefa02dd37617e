// The table selection page: the available and the selected tables.
#pragma once

#include "gui/wizard_page.h"

class QCheckBox;
class QListWidget;

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
  QCheckBox* indexes_;
  bool reordering_;
};
