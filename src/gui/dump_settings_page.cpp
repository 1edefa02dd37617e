#include "gui/dump_settings_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
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

dump_settings_page::dump_settings_page(wizard_shell* shell)
    : wizard_page(shell, QStringLiteral("Step 1 of 4"),
                  QStringLiteral("MS SQL script file settings")) {
  setObjectName(QStringLiteral("page109"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(
      text(QStringLiteral("On this page you can specify how to format output T-SQL script file.")));
  create_db_ =
      control(new QCheckBox(QStringLiteral("Insert 'CREATE &DATABASE' statement"), this), 1203);
  create_tab_ =
      control(new QCheckBox(QStringLiteral("Insert 'CREATE &TABLE' statements"), this), 1204);
  comments_ = control(new QCheckBox(QStringLiteral("Insert &comments"), this), 1205);
  layout->addWidget(create_db_);
  layout->addWidget(create_tab_);
  layout->addWidget(comments_);
  layout->addStretch(1);
  connect(create_tab_, &QCheckBox::toggled, this,
          [this](bool on) { enable_ctrl(create_db_, 1203, on); });
}

void dump_settings_page::page_init() {
  TK_LOG(2, "dump_settings_page::page_init");
  const mss_dump_options& o = converter().dump_options;
  create_db_->setChecked(o.b_create_db);
  create_tab_->setChecked(o.b_create_tab);
  comments_->setChecked(o.b_comments);
  enable_ctrl(create_db_, 1203, o.b_create_tab);
  if (o.b_create_tab) create_db_->setFocus();
}

void dump_settings_page::store() {
  mss_dump_options& o = converter().dump_options;
  o.b_unicode = false;
  o.b_create_db = create_db_->isChecked();
  o.b_create_tab = create_tab_->isChecked();
  TK_LOG(1, "mssql_converter_impl::mss_dump_set_insert_create_tab(%d)", o.b_create_tab ? 1 : 0);
  o.b_comments = comments_->isChecked();
  TK_LOG(1, "mssql_converter_impl::mss_dump_set_insert_comments(%d)", o.b_comments ? 1 : 0);
}

int dump_settings_page::nextId() const {
  return k_sel_file_page;
}
