#include "gui/sel_file_page.h"

#include <unistd.h>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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
#include "tk/tk_string.h"

namespace {

// "866 - Russian MS-DOS": the code page number first, as DBAs look for it; a name that
// already starts with its number, or has none, stays as it is.
QString encoding_label(int code_page, const QString& name) {
  const QString number = QString::number(code_page);
  if (code_page == 0 || name.startsWith(number + QLatin1Char(' '))) return name;
  return number + QStringLiteral(" - ") + name;
}

}  // namespace

sel_file_page::sel_file_page(wizard_shell* shell)
    : wizard_page(shell, QStringLiteral("Step 2 of 4"), QStringLiteral("Select databases")) {
  setObjectName(QStringLiteral("page105"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text(QStringLiteral(
      "Enter source and destination database names. Click 'Browse' to find the source\n"
      "database through directory tree.")));
  auto* grid = new QGridLayout;
  src_ = control(edit(this), 1003);
  auto* src_label = new QLabel(QStringLiteral("DB&F database folder:"), this);
  src_label->setBuddy(src_);
  auto* src_browse = control(new QPushButton(QStringLiteral("Bro&wse..."), this), 1107);
  grid->addWidget(src_label, 0, 0, 1, 2);
  grid->addWidget(src_, 1, 0);
  grid->addWidget(src_browse, 1, 1);
  dest_ = control(edit(this), 1004);
  dest_label_ = control(new QLabel(QStringLiteral("MS &SQL database name:"), this), 1311);
  dest_label_->setBuddy(dest_);
  dest_browse_ = control(new QPushButton(QStringLiteral("B&rowse..."), this), 1104);
  grid->addWidget(dest_label_, 2, 0, 1, 2);
  grid->addWidget(dest_, 3, 0);
  grid->addWidget(dest_browse_, 3, 1);
  // Why Next refused the database name, next to the field; typing clears it.
  dest_reason_ = new QLabel(this);
  dest_reason_->setObjectName(QStringLiteral("dest_reason"));
  dest_reason_->setWordWrap(true);
  dest_reason_->setStyleSheet(QStringLiteral("color: #a00000"));
  dest_reason_->hide();
  grid->addWidget(dest_reason_, 4, 0, 1, 2);
  layout->addLayout(grid);
  connect(dest_, &QLineEdit::textEdited, dest_reason_, &QLabel::hide);
  auto* options = new QHBoxLayout;
  auto* checks = new QVBoxLayout;
  tab_def_ = control(new QCheckBox(QStringLiteral("&Convert table definitions only"), this), 1228);
  skip_del_ = control(new QCheckBox(QStringLiteral("&Don't convert deleted records"), this), 1202);
  bool_dbf_ = control(new QCheckBox(QStringLiteral("Convert logical &values 'as is'"), this), 1204);
  checks->addWidget(tab_def_);
  checks->addWidget(skip_del_);
  checks->addWidget(bool_dbf_);
  options->addLayout(checks);
  auto* group = new QGroupBox(QStringLiteral(" Use &Encoding: "), this);
  auto* group_layout = new QVBoxLayout(group);
  code_page_ = control(new QComboBox(group), 1302);
  for (const auto& [mark, entry] : dbf_codepage_table()) {
    code_page_->addItem(encoding_label(entry.code_page, qs8(entry.display_name)),
                        static_cast<int>(mark));
  }
  group_layout->addWidget(code_page_);
  options->addWidget(group, 1);
  layout->addLayout(options);
  layout->addStretch(1);

  connect(src_browse, &QPushButton::clicked, this, [this] {
    QString path = src_->text();
    if (folder_dialog(this, QStringLiteral("Select DBF database folder"), path)) {
      src_->setText(path);
    }
  });
  connect(dest_browse_, &QPushButton::clicked, this, [this] {
    QString path = dest_->text();
    if (save_file_dialog(this, QStringLiteral("Select File"),
                         QStringLiteral("T-SQL Script Files (.sql)|*.sql|All Files (*.*)|*.*|"),
                         QStringLiteral("sql"), path, false)) {
      dest_->setText(path);
    }
  });
}

void sel_file_page::page_init() {
  TK_LOG(2, "sel_file_page::page_init");
  talvex_converter& c = converter();
  src_->setText(qs(c.src));
  // Each scenario shows its own destination: a database name is no script path.
  dest_->setText(qs(c.direct ? c.dest_database : c.dest_script));
  dest_reason_->hide();
  dest_label_->setText(c.direct ? QStringLiteral("MS &SQL database name:")
                                : QStringLiteral("Destination T-SQL scri&pt path:"));
  show_ctrl(dest_browse_, 1104, !c.direct);
  tab_def_->setChecked(c.tab_def);
  skip_del_->setChecked(c.skip_del);
  bool_dbf_->setChecked(c.bool_dbf);
  const int at = code_page_->findData(c.code_page & 0xFF);
  code_page_->setCurrentIndex(at < 0 ? 0 : at);
}

void sel_file_page::store() {
  talvex_converter& c = converter();
  std::u16string src = u16(src_->text().left(k_max_text));
  // Tables chosen in another folder (or named by a profile for it) do not carry over.
  if (src != c.src) {
    c.table_list.clear();
    c.name_map.clear();
  }
  c.src = std::move(src);
  c.dest = u16(dest_->text().left(k_max_text));
  (c.direct ? c.dest_database : c.dest_script) = c.dest;
  c.tab_def = tab_def_->isChecked();
  c.bool_dbf = bool_dbf_->isChecked();
  c.skip_del = skip_del_->isChecked();
  c.code_page = code_page_->currentData().toInt() & 0xFF;
}

bool sel_file_page::on_next() {
  store();
  talvex_converter& c = converter();
  if (c.src.empty()) {
    shell().message(QStringLiteral("You should enter path to DBF database"));
    return false;
  }
  if (c.dest.empty()) {
    shell().message(c.direct ? QStringLiteral("You should enter MS SQL database name")
                             : QStringLiteral("You should enter T-SQL script file name"));
    return false;
  }
  if (c.direct) {
    const QString problem = database_name_problem(qs(c.dest));
    if (!problem.isEmpty()) {
      dest_reason_->setText(problem);
      dest_reason_->show();
      dest_->setFocus();
      return false;
    }
  }
  dest_reason_->hide();
  // A database container file stands for its tables.
  const bool container = tk_wstring::ends_with(c.src, u".dbc", false) && tk_is_file_exist(c.src);
  if (!container && !tk_is_path_exist(c.src)) {
    shell().error(tk_is_file_exist(c.src)
                      ? QStringLiteral("You should enter path to DBF database, not a file name")
                      : QStringLiteral("Path to DBF database does not exist.\nPlease verify the "
                                       "correct path was given."));
    return false;
  }
  // A folder without tables would lead to an empty table list: said here, where the folder
  // can still be changed.
  bool has_tables = false;
  try {
    has_tables = !dbf_database(c.src, dbf_recordset::k_mode_read, 0).tables().empty();
  } catch (const tk_exception& e) {
    shell().error(qs8(error_handler::instance().format(e)));
    return false;
  }
  if (!has_tables) {
    shell().error(QStringLiteral(
        "The folder holds no DBF tables.\nPlease verify the correct path was given."));
    return false;
  }
  return c.direct ? check_direct_dest() : check_dump_dest();
}

bool sel_file_page::check_dump_dest() {
  talvex_converter& c = converter();
  const std::string path = tk_to_ansi(c.dest);
  try {
    common_check_dest(path);
    // A folder that takes no new file is refused here rather than at the run's start.
    const std::string folder = tk_file_name(path).folder();
    if (!tk_is_file_exist(path) && ::access(folder.empty() ? "." : folder.c_str(), W_OK) != 0) {
      throw tk_exception(
          "Destination path is not writable.\nPlease verify the correct path was given.", 1);
    }
  } catch (const tk_exception& e) {
    // The page stays, so what was typed is not lost.
    shell().error(qs8(e.what()));
    return false;
  }
  if (tk_is_file_exist(path)) {
    if (!shell().question(QStringLiteral("Destination file already exists. Overwrite?"))) {
      return false;
    }
    try {
      c.check_dest();
    } catch (const tk_exception& e) {
      report_final(shell(), e);
      return false;
    }
  }
  return true;
}

bool sel_file_page::check_direct_dest() {
  talvex_converter& c = converter();
  try {
    if (!c.engine().is_initialized()) c.connect_mssql_server();
    if (!c.engine().is_db_exist(c.dest)) {
      TK_LOG(1, "MS SQL DB not exists...");
      return true;
    }
    TK_LOG(1, "MS SQL DB exists...");
    overwrite_dlg2 dialog(
        QStringLiteral("The destination database already exists. Select one of the\noptions "
                       "below. Click 'Help' button for more information."),
        this);
    if (dialog.exec() != QDialog::Accepted) return false;
    c.set_mode(dialog.option());
    if (dialog.option() == 0) c.engine().delete_db(c.dest);
  } catch (const tk_exception& e) {
    shell().error(qs8(error_handler::instance().format(e)));
    return false;
  }
  return true;
}

QString sel_file_page::database_name_problem(const QString& name) {
  // SQL Server's limit for a name; a path separator means a script path typed in the wrong
  // scenario.
  constexpr int k_max_name = 128;
  if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))) {
    return QStringLiteral("A database name cannot hold \"/\" or \"\\\" (is this a script path?)");
  }
  if (name.size() > k_max_name) {
    return QStringLiteral("A database name is at most %1 characters long; this one has %2.")
        .arg(k_max_name)
        .arg(name.size());
  }
  return {};
}

int sel_file_page::nextId() const {
  return k_sel_tables_page;
}
