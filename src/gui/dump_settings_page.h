// The script settings page: CREATE DATABASE, CREATE TABLE and comments in the script.
#pragma once

#include "gui/wizard_page.h"

class QCheckBox;

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
