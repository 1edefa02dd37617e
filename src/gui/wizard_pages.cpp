#include "gui/wizard_pages.h"

#include <unistd.h>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>
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
#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_file_name.h"
#include "tk/tk_interrupt.h"
#include "tk/tk_log.h"
#include "tk/tk_path_probe.h"

namespace {

constexpr int k_max_text = 260;
const QString k_profile_extension = QStringLiteral("talvex");

void large_font(QLabel* label) {
  QFont font = label->font();
  font.setPointSizeF(font.pointSizeF() * 1.6);
  font.setBold(true);
  label->setFont(font);
}

QLineEdit* edit(QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setMaxLength(k_max_text);
  return e;
}

// A failure a page's handler cannot keep to itself ends the wizard.
void report_final(wizard_shell& shell, const tk_exception& e) {
  error_handler::instance().handle(e, true);
  shell.close_now();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
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

// ---------------------------------------------------------------------------------------------
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
                        profile_filter(k_profile_extension), path)) {
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

// ---------------------------------------------------------------------------------------------
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
  windows_ = control(new QRadioButton(QStringLiteral("&Windows authentication"), this), 1329);
  sql_ = control(new QRadioButton(QStringLiteral("S&QL Server authentication"), this), 1330);
  grid->addWidget(windows_, 1, 0, 1, 2);
  grid->addWidget(sql_, 2, 0, 1, 2);
  user_ = control(edit(this), 1012);
  pswd_ = control(edit(this), 1013);
  pswd_->setEchoMode(QLineEdit::Password);
  auto* user_label = new QLabel(QStringLiteral("&Login name:"), this);
  user_label->setBuddy(user_);
  auto* pswd_label = new QLabel(QStringLiteral("&Password:"), this);
  pswd_label->setBuddy(pswd_);
  grid->addWidget(user_label, 3, 0);
  grid->addWidget(user_, 3, 1);
  grid->addWidget(pswd_label, 4, 0);
  grid->addWidget(pswd_, 4, 1);
  layout->addLayout(grid);
  as_dbo_ = control(new QCheckBox(QStringLiteral("&Connect as database owner"), this), 1202);
  layout->addWidget(as_dbo_);
  layout->addStretch(1);
  connect(windows_, &QRadioButton::toggled, this, &mssql_settings_page::update_auth);
}

void mssql_settings_page::update_auth() {
  const bool sql = sql_->isChecked();
  enable_ctrl(user_, 1012, sql);
  enable_ctrl(pswd_, 1013, sql);
}

void mssql_settings_page::page_init() {
  TK_LOG(2, "mssql_settings_page::page_init");
  talvex_converter& c = converter();
  host_->setText(qs(c.host));
  user_->setText(qs(c.user));
  pswd_->setText(qs(c.pswd));
  (c.sec_log ? windows_ : sql_)->setChecked(true);
  update_auth();
  as_dbo_->setChecked(c.engine().as_dbo());
}

void mssql_settings_page::store() {
  talvex_converter& c = converter();
  c.sec_log = windows_->isChecked();
  c.host = u16(host_->text().left(k_max_text));
  c.user = u16(user_->text().left(k_max_text));
  c.pswd = u16(pswd_->text().left(k_max_text));
  TK_LOG(1, "mss_engine::set_as_dbo(%d)", as_dbo_->isChecked() ? 1 : 0);
  c.engine().set_as_dbo(as_dbo_->isChecked());
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
  return connected;
}

int mssql_settings_page::nextId() const {
  return k_sel_file_page;
}

// ---------------------------------------------------------------------------------------------
dump_settings_page::dump_settings_page(wizard_shell* shell)
    : wizard_page(shell, QStringLiteral("Step 1 of 5"),
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

// ---------------------------------------------------------------------------------------------
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
  auto* src_browse = control(new QPushButton(QStringLiteral("Browse..."), this), 1107);
  grid->addWidget(src_label, 0, 0, 1, 2);
  grid->addWidget(src_, 1, 0);
  grid->addWidget(src_browse, 1, 1);
  dest_ = control(edit(this), 1004);
  dest_label_ = control(new QLabel(QStringLiteral("MS &SQL database name:"), this), 1311);
  dest_label_->setBuddy(dest_);
  dest_browse_ = control(new QPushButton(QStringLiteral("Browse..."), this), 1104);
  grid->addWidget(dest_label_, 2, 0, 1, 2);
  grid->addWidget(dest_, 3, 0);
  grid->addWidget(dest_browse_, 3, 1);
  layout->addLayout(grid);
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
    code_page_->addItem(qs8(entry.display_name), static_cast<int>(mark));
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
  dest_->setText(qs(c.dest));
  dest_label_->setText(c.direct ? QStringLiteral("MS &SQL database name:")
                                : QStringLiteral("&Destination T-SQL script path:"));
  show_ctrl(dest_browse_, 1104, !c.direct);
  tab_def_->setChecked(c.tab_def);
  skip_del_->setChecked(c.skip_del);
  bool_dbf_->setChecked(c.bool_dbf);
  const int at = code_page_->findData(c.code_page & 0xFF);
  code_page_->setCurrentIndex(at < 0 ? 0 : at);
}

void sel_file_page::store() {
  talvex_converter& c = converter();
  c.src = u16(src_->text().left(k_max_text));
  c.dest = u16(dest_->text().left(k_max_text));
  c.tab_def = tab_def_->isChecked();
  c.skip_idx = false;
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
  if (!tk_is_path_exist(c.src)) {
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

int sel_file_page::nextId() const {
  return k_sel_tables_page;
}

// ---------------------------------------------------------------------------------------------
sel_tables_page::sel_tables_page(wizard_shell* shell, bool reordering)
    : wizard_page(shell, QStringLiteral("Step 3 of 4"), QStringLiteral("Select tables to convert")),
      reordering_(reordering) {
  setObjectName(QStringLiteral("page127"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(
      control(text(QStringLiteral("Select DBF tables to convert into MS SQL format.")), 1337));
  auto* grid = new QGridLayout;
  available_ = control(new QListWidget(this), 1317);
  selected_ = control(new QListWidget(this), 1318);
  available_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  selected_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  auto* available_label = control(new QLabel(QStringLiteral("&Available tables:"), this), 1334);
  available_label->setBuddy(available_);
  auto* selected_label = control(new QLabel(QStringLiteral("&Selected tables:"), this), 1312);
  selected_label->setBuddy(selected_);
  auto* add = control(new QPushButton(QStringLiteral("A&dd >"), this), 1101);
  auto* add_all = control(new QPushButton(QStringLiteral("Add a&ll >"), this), 1102);
  auto* remove = control(new QPushButton(QStringLiteral("< &Remove"), this), 1111);
  auto* remove_all = control(new QPushButton(QStringLiteral("< Re&move all"), this), 1110);
  auto* up = control(new QPushButton(QStringLiteral("^"), this), 1117);
  auto* down = control(new QPushButton(QStringLiteral("v"), this), 1118);
  auto* query = control(new QPushButton(QStringLiteral("&Add Query"), this), 1114);
  query->hide();
  up->setVisible(reordering_);
  down->setVisible(reordering_);
  if (reordering_) TK_LOG(1, "Activating re-order buttons");
  auto* buttons = new QVBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* b : {add, add_all, remove, remove_all, up, down, query}) buttons->addWidget(b);
  buttons->addStretch(1);
  grid->addWidget(available_label, 0, 0);
  grid->addWidget(selected_label, 0, 2);
  grid->addWidget(available_, 1, 0);
  grid->addLayout(buttons, 1, 1);
  grid->addWidget(selected_, 1, 2);
  layout->addLayout(grid, 1);

  connect(add, &QPushButton::clicked, this, [this] {
    TK_LOG(2, "sel_tables_page::on_add");
    move(available_, selected_, false);
  });
  connect(add_all, &QPushButton::clicked, this, [this] {
    TK_LOG(2, "sel_tables_page::on_add_all");
    move(available_, selected_, true);
  });
  connect(remove, &QPushButton::clicked, this, [this] {
    TK_LOG(2, "sel_tables_page::on_delete");
    move(selected_, available_, false);
  });
  connect(remove_all, &QPushButton::clicked, this, [this] {
    TK_LOG(2, "sel_tables_page::on_del_all");
    move(selected_, available_, true);
  });
  connect(up, &QPushButton::clicked, this, [this] {
    TK_LOG(2, "sel_tables_page::on_move_up");
    move_selected(-1);
  });
  connect(down, &QPushButton::clicked, this, [this] {
    TK_LOG(2, "sel_tables_page::on_move_down");
    move_selected(1);
  });
  connect(available_, &QListWidget::itemDoubleClicked, this,
          [this] { move(available_, selected_, false); });
  connect(selected_, &QListWidget::itemDoubleClicked, this,
          [this] { move(selected_, available_, false); });
}

void sel_tables_page::move(QListWidget* from, QListWidget* to, bool all) {
  for (int i = 0; i < from->count();) {
    if (all || from->item(i)->isSelected()) {
      QListWidgetItem* item = from->takeItem(i);
      item->setSelected(false);
      to->addItem(item);
    } else {
      ++i;
    }
  }
}

void sel_tables_page::move_selected(int step) {
  const int row = selected_->currentRow();
  const int to = row + step;
  if (row < 0 || to < 0 || to >= selected_->count()) return;
  QListWidgetItem* item = selected_->takeItem(row);
  selected_->insertItem(to, item);
  selected_->setCurrentRow(to);
}

void sel_tables_page::page_init() {
  TK_LOG(2, "talvex_sel_tables_page::page_init");
  available_->clear();
  selected_->clear();
  talvex_converter& c = converter();
  try {
    TK_LOG(2, "talvex_convertor::get_all_tables");
    dbf_database source(c.src, dbf_recordset::k_mode_read, 0);
    for (const std::u16string& name : source.tables()) available_->addItem(qs(name));
  } catch (const tk_exception& e) {
    shell().error(qs8(error_handler::instance().format(e)));
  }
  auto preselect = [this](const std::u16string& name) {
    TK_WLOG(1, "Processing '%s'", name);
    const QList<QListWidgetItem*> found = available_->findItems(qs(name), Qt::MatchExactly);
    if (!found.isEmpty()) selected_->addItem(available_->takeItem(available_->row(found.front())));
  };
  for (const auto& [name, target] : c.name_map) preselect(name);
  for (const std::u16string& name : c.table_list) preselect(name);
}

void sel_tables_page::store() {
  talvex_converter& c = converter();
  c.table_list.clear();
  c.name_map.clear();
  for (int i = 0; i < selected_->count(); ++i)
    c.table_list.push_back(u16(selected_->item(i)->text()));
}

bool sel_tables_page::on_next() {
  if (selected_->count() == 0 &&
      !shell().question(QStringLiteral("There are no tables selected. Continue anyway?"))) {
    return false;
  }
  store();
  return true;
}

int sel_tables_page::nextId() const {
  return k_progress_page;
}

// ---------------------------------------------------------------------------------------------
progress_page::progress_page(wizard_shell* shell)
    : wizard_page(shell, QStringLiteral("Step 4 of 4"),
                  QStringLiteral("Database conversion is in progress")) {
  setObjectName(QStringLiteral("page106"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text(QStringLiteral(
      "Database conversion is in progress. Please wait until wizard completes\nconverting your "
      "DBF database into MS SQL data source.")));
  layout->addSpacing(12);
  status_ = control(new QLabel(this), 1323);
  bar_ = control(new QProgressBar(this), 1321);
  bar_->setRange(0, 100);
  layout->addWidget(status_);
  layout->addWidget(bar_);
  layout->addStretch(1);
  timer_ = new QTimer(this);
  timer_->setInterval(200);
  connect(timer_, &QTimer::timeout, this, &progress_page::on_timer);
}

progress_page::~progress_page() {
  if (worker_.joinable()) {
    tk_interrupt_signal.store(1, std::memory_order_relaxed);
    wait_for_worker();
  }
}

void progress_page::wait_for_worker() {
  // The worker may be waiting for a dialog of this thread: keep the events flowing.
  while (!done_.load()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  worker_.join();
}

int progress_page::percent(int tables_done, int tables_total, long long records_done,
                           long long records_total) {
  if (tables_total == 0) return 0;
  int value = 100 * tables_done / tables_total;
  if (records_total != 0) {
    value += static_cast<int>(100 * records_done / records_total) / tables_total;
  }
  return value;
}

void progress_page::page_init() {
  TK_LOG(2, "progress_page::page_init");
  if (started_) return;  // one conversion per run of the wizard
  started_ = true;
  bar_->setValue(0);
  status_->clear();
  shell().clear_errors();
  tk_interrupt_signal.store(0, std::memory_order_relaxed);
  talvex_converter& c = converter();
  c.finished = false;
  done_ = false;
  worker_ = std::thread([this, &c] {
    c();
    done_ = true;
  });
  timer_->start();
}

void progress_page::stop_and_close() {
  close_when_done_ = true;
  tk_interrupt_signal.store(1, std::memory_order_relaxed);
}

void progress_page::on_timer() {
  TK_LOG(1, "progress_page::on_timer");
  const talvex_converter& c = converter();
  const int tables_done = c.tables_done;
  const int tables_total = c.tables_total;
  bar_->setValue(percent(tables_done, tables_total, c.records_done, c.records_total));
  if (done_.load()) {
    timer_->stop();
    worker_.join();
    if (close_when_done_) {
      shell().close_now();
    } else {
      shell().next();
    }
    return;
  }
  // The table list does not change during a run: the current name is read from it by the
  // counter, never from the string the worker replaces.
  if (tables_total > 0 && tables_done < tables_total &&
      static_cast<std::size_t>(tables_done) < c.table_list.size()) {
    status_->setText(QStringLiteral("Processing table '%1'").arg(qs(c.table_list[tables_done])));
  } else {
    status_->clear();
  }
}

int progress_page::nextId() const {
  return k_finish_page;
}

// ---------------------------------------------------------------------------------------------
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
  if (!save_file_dialog(this, QStringLiteral("Save Settings"), profile_filter(k_profile_extension),
                        k_profile_extension, path)) {
    return;
  }
  TK_LOG(2, "gui_finish_page_t::on_store(%s)", u8(path));
  if (!converter().store_profile(u8(path))) {
    shell().error(QStringLiteral("Cannot write the profile file %1.").arg(path));
  }
}
