#include "gui/mssql_settings_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <exception>

#include "app/error_handler.h"
#include "app/talvex_converter.h"
#include "dbf/dbf_codepage_table.h"
#include "dbf/dbf_database.h"
#include "dbf/dbf_recordset.h"
#include "gui/gui_dialogs.h"
#include "gui/gui_util.h"
#include "gui/wizard_shell.h"
#include "odb/odb_login.h"
#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_file_name.h"
#include "tk/tk_interrupt.h"
#include "tk/tk_log.h"
#include "tk/tk_path_probe.h"

mssql_settings_page::mssql_settings_page(wizard_shell* shell)
    : wizard_page(shell, QStringLiteral("Step 1 of 4"),
                  QStringLiteral("Connect to MS SQL server")) {
  setObjectName(QStringLiteral("page118"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text(QStringLiteral(
      "Provide necessary information to establish MS SQL server connection.\nLeave 'MS SQL "
      "Server' field empty to connect to local server.")));
  auto* grid = new QGridLayout;
  host_ = control(edit(this), 1014);
  auto* host_label = new QLabel(QStringLiteral("MS &SQL Server:"), this);
  host_label->setBuddy(host_);
  grid->addWidget(host_label, 0, 0);
  grid->addWidget(host_, 0, 1);
  // The forms the client library takes, and those of SQL Server's own tools.
  auto* forms = new QLabel(
      QStringLiteral("Forms: host, host:port or host,port, host\\instance, or a name from "
                     "freetds.conf"),
      this);
  forms->setObjectName(QStringLiteral("host_forms"));
  forms->setWordWrap(true);
  grid->addWidget(forms, 1, 1);
  windows_ = control(new QRadioButton(QStringLiteral("&Windows authentication"), this), 1329);
  sql_ = control(new QRadioButton(QStringLiteral("S&QL Server authentication"), this), 1330);
  grid->addWidget(windows_, 2, 0, 1, 2);
  grid->addWidget(sql_, 3, 0, 1, 2);
  user_ = control(edit(this), 1012);
  pswd_ = control(edit(this), 1013);
  pswd_->setEchoMode(QLineEdit::Password);
  auto* user_label = new QLabel(QStringLiteral("&Login name:"), this);
  user_label->setBuddy(user_);
  auto* pswd_label = new QLabel(QStringLiteral("&Password:"), this);
  pswd_label->setBuddy(pswd_);
  grid->addWidget(user_label, 4, 0);
  grid->addWidget(user_, 4, 1);
  grid->addWidget(pswd_label, 5, 0);
  grid->addWidget(pswd_, 5, 1);
  // Off unless ticked: the password then goes to the desktop's secret store, never to the
  // settings file.
  remember_ = new QCheckBox(QStringLiteral("&Remember password"), this);
  remember_->setObjectName(QStringLiteral("remember_pswd"));
  grid->addWidget(remember_, 6, 1);
  secret_note_ = new QLabel(
      QStringLiteral("No secret store answers on this desktop: the password is not remembered."),
      this);
  secret_note_->setObjectName(QStringLiteral("secret_note"));
  secret_note_->setWordWrap(true);
  secret_note_->hide();
  grid->addWidget(secret_note_, 7, 1);
  layout->addLayout(grid);
  as_dbo_ = control(new QCheckBox(QStringLiteral("&Connect as database owner"), this), 1202);
  layout->addWidget(as_dbo_);
  // Encryption: mandatory unless cleared; the certificate checked unless trusted as it is.
  encrypt_ = control(new QCheckBox(QStringLiteral("&Encrypt the connection"), this), 1401);
  trust_ = control(
      new QCheckBox(QStringLiteral("&Trust the server certificate without checking it"), this),
      1402);
  ca_file_ = control(edit(this), 1403);
  ca_file_->setPlaceholderText(QString::fromUtf8(odb_system_ca_file));
  auto* ca_label = new QLabel(QStringLiteral("C&A file:"), this);
  ca_label->setBuddy(ca_file_);
  layout->addWidget(encrypt_);
  layout->addWidget(trust_);
  auto* ca_row = new QGridLayout;
  ca_row->addWidget(ca_label, 0, 0);
  ca_row->addWidget(ca_file_, 0, 1);
  // Tables loading at once, each on a connection of its own.
  jobs_ = control(new QSpinBox(this), 1404);
  jobs_->setRange(1, talvex_converter::k_max_jobs);
  auto* jobs_label = new QLabel(QStringLiteral("Parallel c&onnections:"), this);
  jobs_label->setBuddy(jobs_);
  ca_row->addWidget(jobs_label, 1, 0);
  ca_row->addWidget(jobs_, 1, 1, Qt::AlignLeft);
  layout->addLayout(ca_row);
  layout->addStretch(1);
  connect(windows_, &QRadioButton::toggled, this, &mssql_settings_page::update_auth);
}

void mssql_settings_page::update_auth() {
  const bool sql = sql_->isChecked();
  enable_ctrl(user_, 1012, sql);
  enable_ctrl(pswd_, 1013, sql);
  update_remember();
}

void mssql_settings_page::update_remember() {
  const bool answers = converter().secret_store_answers();
  remember_->setEnabled(answers && sql_->isChecked());
  if (!answers) remember_->setChecked(false);
  secret_note_->setVisible(!answers);
}

void mssql_settings_page::page_init() {
  TK_LOG(2, "mssql_settings_page::page_init");
  talvex_converter& c = converter();
  host_->setText(qs(c.host));
  user_->setText(qs(c.user));
  pswd_->setText(qs(c.pswd));
  remember_->setChecked(c.remember_pswd);
  (c.sec_log ? windows_ : sql_)->setChecked(true);
  update_auth();
  as_dbo_->setChecked(c.engine().as_dbo());
  const odb_tls& tls = c.engine().tls();
  encrypt_->setChecked(tls.encryption == odb_encryption::mandatory);
  trust_->setChecked(tls.trust_server_cert);
  ca_file_->setText(QString::fromStdString(tls.ca_file));
  jobs_->setValue(c.jobs);
}

void mssql_settings_page::store() {
  talvex_converter& c = converter();
  c.sec_log = windows_->isChecked();
  c.host = u16(host_->text().left(k_max_text));
  c.user = u16(user_->text().left(k_max_text));
  c.pswd = u16(pswd_->text().left(k_max_text));
  c.remember_pswd = remember_->isChecked();
  TK_LOG(1, "mss_engine::set_as_dbo(%d)", as_dbo_->isChecked() ? 1 : 0);
  c.engine().set_as_dbo(as_dbo_->isChecked());
  odb_tls tls;
  tls.encryption = encrypt_->isChecked() ? odb_encryption::mandatory : odb_encryption::optional;
  tls.trust_server_cert = trust_->isChecked();
  tls.ca_file = ca_file_->text().trimmed().left(k_max_text).toStdString();
  c.engine().set_tls(std::move(tls));
  c.jobs = jobs_->value();
}

bool mssql_settings_page::on_next() {
  store();
  return connect_with_dialog(this);
}

bool mssql_settings_page::connect_with_dialog(QWidget* owner) {
  talvex_converter& c = converter();
  std::exception_ptr failure;
  std::atomic<bool> connected{false};
  connecting_dialog dialog(owner != nullptr && owner->isVisible() ? owner : nullptr);
  std::thread worker([&] {
    TK_LOG(2, "mssql_settings_page::animation::operator()");
    try {
      c.connect_mssql_server();
      connected = true;
    } catch (...) {
      failure = std::current_exception();
    }
    dialog.close_from_worker();
  });
  // The field the user was in gets the keyboard back once the dialog has gone.
  const QPointer<QWidget> had_focus = QApplication::focusWidget();
  dialog.exec();
  worker.join();
  if (failure) {
    try {
      std::rethrow_exception(failure);
    } catch (const tk_exception& e) {
      // The server's own words, in an error box; the page stays.
      error_handler& handler = error_handler::instance();
      const QString text = qs8(handler.format(e));
      if (wizard_shell* shell = wizard_shell::instance_ptr()) {
        shell->error(text);
      }
    } catch (const std::exception& e) {
      if (wizard_shell* shell = wizard_shell::instance_ptr()) shell->error(qs8(e.what()));
    }
  }
  if (had_focus != nullptr) {
    had_focus->activateWindow();
    had_focus->setFocus(Qt::OtherFocusReason);
  }
  return connected;
}

int mssql_settings_page::nextId() const {
  return k_sel_file_page;
}
