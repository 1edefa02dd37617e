#include "gui/welcome_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
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

welcome_page::welcome_page(wizard_shell* shell) : wizard_page(shell, {}, {}) {
  setObjectName(QStringLiteral("page103"));
  auto* layout = new QVBoxLayout(this);
  QLabel* title =
      control(text(QStringLiteral("DBase/FoxPro to Microsoft SQL\nConversion Wizard")), 1337);
  title->setWordWrap(false);
  large_font(title);
  layout->addWidget(title);
  layout->addSpacing(12);
  layout->addWidget(text(QStringLiteral(
      "This wizard helps you to convert DBase/FoxPro (.dbf) files\ninto Microsoft SQL or SQL "
      "Azure database.\nClick 'Next' to continue.")));
  layout->addSpacing(12);
  auto* load = control(new QPushButton(QStringLiteral("&Load Settings..."), this), 1115);
  auto* row = new QHBoxLayout;
  row->addWidget(load);
  row->addStretch(1);
  layout->addLayout(row);
  layout->addSpacing(12);
  layout->addWidget(text(QStringLiteral("Select conversion scenario:")));
  direct_ =
      control(new QRadioButton(QStringLiteral("&Migrate to MS SQL server directly"), this), 1329);
  dump_ =
      control(new QRadioButton(QStringLiteral("&Export into local T-SQL script file"), this), 1330);
  layout->addWidget(direct_);
  layout->addWidget(dump_);
  layout->addStretch(1);
  QLabel* link = control(text(QStringLiteral("Orvanel: <a href=\"https://orvanel.example/talvex\">"
                                             "https://orvanel.example/talvex</a>")),
                         1320);
  link->setOpenExternalLinks(true);
  layout->addWidget(link);
  connect(load, &QPushButton::clicked, this, &welcome_page::on_load);
}

void welcome_page::page_init() {
  TK_LOG(2, "welcome_page::page_init");
  (converter().direct ? direct_ : dump_)->setChecked(true);
}

void welcome_page::on_load() {
  QString path;
  if (!open_file_dialog(this, QStringLiteral("Select Profile File"),
                        profile_filter(profile_extension()), path)) {
    return;
  }
  TK_LOG(2, "welcome_page_t::on_load(%s)", u8(path));
  try {
    if (!converter().load_profile(u8(path))) {
      shell().error(QStringLiteral("Cannot read the profile file %1.").arg(path));
    }
  } catch (const tk_exception& e) {
    report_final(shell(), e);
  }
  // The refresh hook of this page does nothing: the scenario buttons keep their state.
}

bool welcome_page::on_next() {
  TK_LOG(2, "welcome_page::on_next");
  converter().direct = direct_->isChecked();
  TK_LOG(1, "settind direct_mode to %d", converter().direct ? 1 : 0);
  return true;
}

int welcome_page::nextId() const {
  return direct_->isChecked() ? k_mssql_page : k_dump_page;
}
