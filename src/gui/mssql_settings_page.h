// The Connect page: server, authentication and login, connected in a worker thread under
// the connecting dialog.
#pragma once

#include "gui/wizard_page.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QRadioButton;

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
  // The remember box and the line under it follow whether a secret store answers.
  void update_remember();
  QLineEdit* host_;
  QRadioButton* windows_;
  QRadioButton* sql_;
  QLineEdit* user_;
  QLineEdit* pswd_;
  QCheckBox* as_dbo_;
  QCheckBox* remember_;
  QLabel* secret_note_;
  QCheckBox* encrypt_;
  QCheckBox* trust_;
  QLineEdit* ca_file_;
  QSpinBox* jobs_;
};
