#include "gui/gui_finish_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/error_handler.h"
#include "app/talvex_converter.h"
#include "dbf/dbf_codepage_table.h"
#include "dbf/dbf_database.h"
#include "dbf/dbf_recordset.h"
#include "gui/gui_dialogs.h"
#include "gui/gui_util.h"
#include "gui/wizard_shell.h"
#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_file_name.h"
#include "tk/tk_interrupt.h"
#include "tk/tk_log.h"
#include "tk/tk_path_probe.h"

gui_finish_page::gui_finish_page(wizard_shell* shell) : wizard_page(shell, {}, {}) {
  setObjectName(QStringLiteral("page116"));
  setFinalPage(true);
  auto* layout = new QVBoxLayout(this);
  QLabel* title = control(text(QStringLiteral("Conversion is Completed")), 1313);
  large_font(title);
  layout->addWidget(title);
  layout->addSpacing(12);
  result_ = control(text({}), 1314);
  layout->addWidget(result_);
  errors_ = control(new QPlainTextEdit(this), 1016);
  errors_->setReadOnly(true);
  errors_->hide();
  layout->addWidget(errors_, 1);
  log_link_ = text({});
  log_link_->setObjectName(QStringLiteral("log_link"));
  log_link_->setOpenExternalLinks(true);
  log_link_->hide();
  layout->addWidget(log_link_);
  auto* save = control(new QPushButton(QStringLiteral("&Save Settings..."), this), 1116);
  auto* row = new QHBoxLayout;
  row->addWidget(save);
  row->addStretch(1);
  layout->addLayout(row);
  connect(save, &QPushButton::clicked, this, &gui_finish_page::on_store);
}

void gui_finish_page::page_init() {
  TK_LOG(2, "gui_finish_page::page_init");
  TK_LOG(1, "wizard_shell::enable_button(%08X)", 4);
  const std::vector<std::string> errors = shell().collected_errors();
  errors_->clear();
  if (errors.empty()) {
    TK_LOG(1, "Display success-message");
    result_->setText(QStringLiteral(
        "Wizard has converted your DBF file into\nMS SQL database successfully.\n\nClick "
        "'Finish' to exit the wizard."));
    errors_->hide();
  } else {
    TK_LOG(1, "Display errors");
    result_->setText(QStringLiteral(
        "There were some errors while converting the database.\nClick 'Finish' to exit the "
        "wizard."));
    QString all;
    for (std::string line : errors) {
      for (char& ch : line) {
        if (ch == '\n') ch = ' ';
      }
      all += qs8(line) + QStringLiteral("\n\n");
    }
    errors_->setPlainText(all);
    errors_->show();
  }
  const std::string& log = converter().logfile();
  if (!log.empty()) {
    log_link_->setText(
        QStringLiteral("Log file: <a href=\"%1\">%2</a>")
            .arg(QUrl::fromLocalFile(qs8(log)).toString(), qs8(log).toHtmlEscaped()));
    log_link_->show();
  } else {
    log_link_->hide();
  }
}

void gui_finish_page::on_store() {
  QString path;
  if (!save_file_dialog(this, QStringLiteral("Save Settings"), profile_filter(profile_extension()),
                        profile_extension(), path)) {
    return;
  }
  TK_LOG(2, "gui_finish_page_t::on_store(%s)", u8(path));
  if (!converter().store_profile(u8(path))) {
    shell().error(QStringLiteral("Cannot write the profile file %1.").arg(path));
  }
}
