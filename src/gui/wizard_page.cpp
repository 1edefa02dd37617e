#include "gui/wizard_page.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>

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

wizard_page::wizard_page(wizard_shell* shell, const QString& title, const QString& subtitle)
    : QWizardPage(shell), shell_(shell) {
  setTitle(title);
  setSubTitle(subtitle);
}

talvex_converter& wizard_page::converter() {
  return talvex_converter::instance();
}

QLabel* wizard_page::text(const QString& text) {
  auto* label = new QLabel(text, this);
  label->setWordWrap(true);
  return label;
}

void wizard_page::enable_ctrl(QWidget* w, int id, bool on) {
  TK_LOG(1, "wizard_page::enable_ctrl(%d=%d)", id, on ? 1 : 0);
  w->setEnabled(on);
}

void wizard_page::show_ctrl(QWidget* w, int id, bool on) {
  TK_LOG(1, "wizard_page::show_ctrl(%d=%d)", id, on ? 1 : 0);
  w->setVisible(on);
}

void wizard_page::large_font(QLabel* label) {
  QFont font = label->font();
  font.setPointSizeF(font.pointSizeF() * 1.6);
  font.setBold(true);
  label->setFont(font);
}

QLineEdit* wizard_page::edit(QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setMaxLength(k_max_text);
  return e;
}

void wizard_page::report_final(wizard_shell& shell, const tk_exception& e) {
  error_handler::instance().handle(e, true);
  shell.close_now();
}
