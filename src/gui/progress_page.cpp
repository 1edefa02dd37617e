#include "gui/progress_page.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStringList>
#include <QTimer>
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
  if (const std::vector<std::u16string> running = c.running_tables(); running.size() > 1) {
    QStringList names;
    for (const std::u16string& name : running) names << QStringLiteral("'%1'").arg(qs(name));
    status_->setText(QStringLiteral("Processing tables %1").arg(names.join(QStringLiteral(", "))));
  } else if (tables_total > 0 && tables_done < tables_total &&
             static_cast<std::size_t>(tables_done) < c.table_list.size()) {
    status_->setText(QStringLiteral("Processing table '%1'").arg(qs(c.table_list[tables_done])));
  } else {
    status_->clear();
  }
}

int progress_page::nextId() const {
  return k_finish_page;
}
