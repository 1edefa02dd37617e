#include "gui/sel_tables_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
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
  auto* query = control(new QPushButton(QStringLiteral("Add &Query"), this), 1114);
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
  indexes_ = new QCheckBox(QStringLiteral("Convert the tables' &indexes"), this);
  indexes_->setObjectName(QStringLiteral("indexes"));
  layout->addWidget(indexes_);
  // The keyboard reads the page as the eye does: the list, the buttons beside it, the
  // selection, then the options.
  QWidget* previous = available_;
  for (QWidget* next : std::initializer_list<QWidget*>{add, add_all, remove, remove_all, up, down,
                                                       query, selected_, indexes_}) {
    setTabOrder(previous, next);
    previous = next;
  }

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
  // The folder's last choice, in this run or an earlier one; else what a profile named.
  if (const std::vector<std::u16string>* kept = c.folder_tables.find(c.src)) {
    for (const std::u16string& name : *kept) preselect(name);
  } else {
    for (const auto& [name, target] : c.name_map) preselect(name);
    for (const std::u16string& name : c.table_list) preselect(name);
  }
  indexes_->setChecked(!c.skip_idx);
}

void sel_tables_page::store() {
  talvex_converter& c = converter();
  c.table_list.clear();
  c.name_map.clear();
  for (int i = 0; i < selected_->count(); ++i)
    c.table_list.push_back(u16(selected_->item(i)->text()));
  c.folder_tables.remember(c.src, c.table_list);
  c.skip_idx = !indexes_->isChecked();
}

bool sel_tables_page::on_next() {
  if (selected_->count() == 0) {
    const talvex_converter& c = converter();
    // Continuing still opens the destination, and overwriting the database empties it.
    const QString what = !c.direct ? QStringLiteral("the script %1 gets no table.")
                         : c.mode() == 0
                             ? QStringLiteral(
                                   "the database %1 is created, and an existing one is replaced by "
                                   "an empty one.")
                             : QStringLiteral("the database %1 is left as it is.");
    if (!shell().question(
            QStringLiteral("There are no tables selected. Continue anyway?"),
            QStringLiteral("Continuing converts no table: ") + what.arg(qs(c.dest)))) {
      return false;
    }
  }
  store();
  return true;
}

int sel_tables_page::nextId() const {
  return k_progress_page;
}
