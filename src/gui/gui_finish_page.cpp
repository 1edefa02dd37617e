#include "gui/gui_finish_page.h"

#include <QBrush>
#include <QColor>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
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

namespace {

QString seconds_text(double seconds) {
  return QStringLiteral("%1 s").arg(seconds, 0, 'f', 1);
}

QString outcome_text(talvex_converter::table_totals::outcome result) {
  using outcome = talvex_converter::table_totals::outcome;
  switch (result) {
    case outcome::converted:
      return QStringLiteral("converted");
    case outcome::failed:
      return QStringLiteral("FAILED");
    case outcome::skipped:
      return QStringLiteral("skipped (already there)");
    case outcome::missing:
      return QStringLiteral("not found");
  }
  return {};
}

}  // namespace

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
  tables_ = new QTableWidget(0, 7, this);
  tables_->setObjectName(QStringLiteral("run_tables"));
  tables_->setHorizontalHeaderLabels({QStringLiteral("Table"), QStringLiteral("Result"),
                                      QStringLiteral("Rows read"), QStringLiteral("Rows written"),
                                      QStringLiteral("Skipped (deleted)"),
                                      QStringLiteral("Failed records"), QStringLiteral("Time")});
  tables_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tables_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tables_->verticalHeader()->hide();
  tables_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tables_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(tables_, 2);
  auto* where = new QHBoxLayout;
  destination_ = text({});
  destination_->setObjectName(QStringLiteral("destination"));
  destination_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  where->addWidget(destination_, 1);
  open_folder_ = new QPushButton(QStringLiteral("&Open Folder"), this);
  open_folder_->setObjectName(QStringLiteral("open_folder"));
  where->addWidget(open_folder_);
  layout->addLayout(where);
  totals_ = text({});
  totals_->setObjectName(QStringLiteral("run_totals"));
  layout->addWidget(totals_);
  connect(open_folder_, &QPushButton::clicked, this, &gui_finish_page::open_script_folder);
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
  // Where Save Settings put the profile, or why it could not.
  saved_ = text({});
  saved_->setObjectName(QStringLiteral("saved_status"));
  saved_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* row = new QHBoxLayout;
  row->addWidget(save);
  row->addWidget(saved_, 1);
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
  show_accounts();
  saved_->clear();
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

void gui_finish_page::show_accounts() {
  const talvex_converter& c = converter();
  const auto& tables = c.tables();
  tables_->setRowCount(static_cast<int>(tables.size()));
  int row = 0;
  for (const talvex_converter::table_totals& t : tables) {
    const bool failed = t.result == talvex_converter::table_totals::outcome::failed;
    const QStringList cells{qs(t.name),
                            outcome_text(t.result),
                            QString::number(t.rows_read),
                            QString::number(t.rows_written),
                            QString::number(t.rows_skipped),
                            QString::number(t.records_failed),
                            seconds_text(t.seconds)};
    for (int column = 0; column < cells.size(); ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      if (column >= 2) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      // A failed table stands out by its colours and by a bold "FAILED", also without colour.
      if (failed) {
        item->setBackground(QBrush(QColor(0xF8, 0xD7, 0xDA)));
        item->setForeground(QBrush(QColor(0x72, 0x1C, 0x24)));
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
      } else if (t.records_failed > 0) {
        item->setBackground(QBrush(QColor(0xFF, 0xF3, 0xCD)));
      }
      tables_->setItem(row, column, item);
    }
    ++row;
  }
  tables_->setVisible(!tables.empty());
  if (c.direct) {
    destination_->setText(
        QStringLiteral("Destination: database %1 on server %2")
            .arg(qs(c.dest), c.host.empty() ? QStringLiteral("(local)") : qs(c.host)));
    open_folder_->hide();
  } else {
    destination_->setText(QStringLiteral("Destination: script %1").arg(qs(c.dest)));
    open_folder_->setVisible(QFileInfo(qs(c.dest)).absoluteDir().exists());
  }
  totals_->setText(
      QStringLiteral("Total time: %1. %2")
          .arg(seconds_text(c.run_seconds()), qs8(talvex_converter::summary_line(c.totals()))));
}

void gui_finish_page::open_script_folder() {
  const QString folder = QFileInfo(qs(converter().dest)).absolutePath();
  TK_LOG(2, "gui_finish_page::open_script_folder(%s)", u8(folder));
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) {
    shell().error(QStringLiteral("Cannot open the folder %1.").arg(folder));
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
    saved_->setText(QStringLiteral("Settings not saved."));
    shell().error(QStringLiteral("Cannot write the profile file %1.").arg(path));
    return;
  }
  QString saved = QStringLiteral("Settings saved to %1").arg(QDir::toNativeSeparators(path));
  // A quick launch needs the password, so the profile keeps it; the user should know.
  if (!converter().pswd.empty()) {
    saved += QStringLiteral(", with the password (only you can read the file)");
  }
  saved_->setText(saved);
}
