// The welcome page: the conversion scenario, and a profile to load.
#pragma once

#include "gui/wizard_page.h"

class QRadioButton;

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
