#include "gui/wizard_shell.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

#include "app/talvex_converter.h"
#include "gui/gui_dialogs.h"
#include "gui/gui_util.h"
#include "gui/wizard_pages.h"
#include "tk/tk_exception.h"
#include "tk/tk_interrupt.h"
#include "tk/tk_log.h"

#ifndef QV_DOCS_DIR
#define QV_DOCS_DIR ""
#endif

wizard_shell::wizard_shell(bool quick_launch, QWidget* parent)
    : QWizard(parent), title_(QStringLiteral("Talvex %1.%2").arg(2).arg(3)) {
  setObjectName(QStringLiteral("wizard_shell"));
  setWizardStyle(QWizard::ModernStyle);
  setOption(QWizard::HaveHelpButton, true);
  setOption(QWizard::NoBackButtonOnStartPage, true);
  setWindowTitle(title_);
  setMinimumSize(640, 480);
  const QString app_dir = QCoreApplication::applicationDirPath();
  help_candidates << QDir::cleanPath(app_dir + QStringLiteral("/../share/doc/quorvik/talvex.html"))
                  << QStringLiteral(QV_DOCS_DIR "/talvex.html");
  if (!quick_launch) {
    setPage(k_welcome_page, new welcome_page(this));
    setPage(k_mssql_page, new mssql_settings_page(this));
    setPage(k_dump_page, new dump_settings_page(this));
    setPage(k_sel_file_page, new sel_file_page(this));
    setPage(k_sel_tables_page, new sel_tables_page(this));
  }
  setPage(k_progress_page, new progress_page(this));
  setPage(k_finish_page, new gui_finish_page(this));
  setStartId(quick_launch ? k_progress_page : k_welcome_page);
  connect(this, &QWizard::helpRequested, this, [this] { display_help(); });
  connect(this, &QWizard::currentIdChanged, this, [this](int id) {
    if (id < 0) return;
    update_buttons(id);
    TK_LOG(2, "wizard_page::OnSetActive");
    if (auto* p = dynamic_cast<wizard_page*>(page(id))) p->page_activated();
  });
}

wizard_shell::~wizard_shell() = default;

void wizard_shell::showEvent(QShowEvent* event) {
  QWizard::showEvent(event);
  initialized_ = true;
}

void wizard_shell::update_buttons(int id) {
  QList<QWizard::WizardButton> layout;
  if (id == k_progress_page) {
    layout << QWizard::HelpButton << QWizard::Stretch << QWizard::CancelButton;
  } else if (id == k_finish_page) {
    layout << QWizard::HelpButton << QWizard::Stretch << QWizard::FinishButton;
  } else {
    layout << QWizard::HelpButton << QWizard::Stretch << QWizard::BackButton << QWizard::NextButton
           << QWizard::CancelButton;
  }
  setButtonLayout(layout);
}

void wizard_shell::show_box(QMessageBox::Icon icon, const QString& kind, const QString& text) {
  run_in_ui([&] {
    QMessageBox box(icon, initialized_ ? title_ + QLatin1Char(' ') + kind : kind, text,
                    QMessageBox::Ok, isVisible() ? this : nullptr);
    box.exec();
  });
}

void wizard_shell::error(const QString& text) {
  TK_LOG(1, "wizard_shell::error(%s)", u8(text));
  TK_LOG(3, "%s", u8(text));
  show_box(QMessageBox::Critical, QStringLiteral("Error"), text);
}

void wizard_shell::message(const QString& text) {
  TK_LOG(1, "wizard_shell::message(%s)", u8(text));
  TK_LOG(3, "%s", u8(text));
  show_box(QMessageBox::Information, QStringLiteral("Message"), text);
}

bool wizard_shell::question(const QString& text, const QString& detail) {
  TK_LOG(1, "wizard_shell::question(%s)", u8(text));
  TK_LOG(3, "%s", u8(text));
  bool yes = false;
  run_in_ui([&] {
    QMessageBox box(
        QMessageBox::Question,
        initialized_ ? title_ + QStringLiteral(" Question") : QStringLiteral("Question"), text,
        QMessageBox::Yes | QMessageBox::No, isVisible() ? this : nullptr);
    box.setInformativeText(detail);
    yes = box.exec() == QMessageBox::Yes;
  });
  return yes;
}

void wizard_shell::display_help() {
  TK_LOG(2, "wizard_shell::display_help");
  for (const QString& candidate : help_candidates) {
    if (QFileInfo(candidate).isFile()) {
      if (!QDesktopServices::openUrl(QUrl::fromLocalFile(candidate))) show_manual_path(candidate);
      return;
    }
  }
  message(QStringLiteral("Help file does not exist. Reinstall the program."));
}

void wizard_shell::show_manual_path(const QString& path) {
  TK_LOG(1, "wizard_shell::show_manual_path(%s)", u8(path));
  QMessageBox box(QMessageBox::Warning, title_ + QStringLiteral(" Help"), {}, QMessageBox::Ok,
                  this);
  box.setTextFormat(Qt::RichText);
  box.setText(
      QStringLiteral("No web browser could be started for the manual: this desktop has no "
                     "program that opens web pages (xdg-open and a browser).<br><br>The manual "
                     "is this file; open it in any browser:<br><a href=\"%1\">%2</a>")
          .arg(QUrl::fromLocalFile(path).toString(), path.toHtmlEscaped()));
  box.setTextInteractionFlags(Qt::TextBrowserInteraction);
  QPushButton* copy = box.addButton(QStringLiteral("&Copy Path"), QMessageBox::ActionRole);
  copy->setObjectName(QStringLiteral("copy_path"));
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
  if (box.clickedButton() == copy) QGuiApplication::clipboard()->setText(path);
}

void wizard_shell::collect_error(const std::string& text) {
  const std::lock_guard<std::mutex> hold(errors_lock_);
  if (errors_.size() < k_max_errors) errors_.push_back(text);
}

std::vector<std::string> wizard_shell::collected_errors() const {
  const std::lock_guard<std::mutex> hold(errors_lock_);
  return errors_;
}

void wizard_shell::clear_errors() {
  const std::lock_guard<std::mutex> hold(errors_lock_);
  errors_.clear();
}

void wizard_shell::accept() {
  if (talvex_converter* c = talvex_converter::instance_ptr()) c->store_settings();
  QWizard::accept();
}

void wizard_shell::reject() {
  // Closing the finish page is finishing: the run has happened with these settings.
  if (currentId() == k_finish_page) {
    accept();
    return;
  }
  // Cancel anywhere else leaves the remembered settings as they were.
  if (!question(QStringLiteral("Are you sure you want to exit the wizard?"))) return;
  if (auto* progress = dynamic_cast<progress_page*>(page(k_progress_page));
      progress != nullptr && progress->is_running()) {
    // The run stops between two records; the progress timer closes the wizard then.
    progress->stop_and_close();
    return;
  }
  close_now();
}

void wizard_shell::close_now() {
  QWizard::reject();
}

void gui_error_handler::present(const tk_exception& e, const std::string& text, bool final) {
  wizard_shell* shell = wizard_shell::instance_ptr();
  if (shell != nullptr) shell->collect_error(text);
  // A run the user stopped says why in the collected errors, not in a box.
  const bool stopped = tk_interrupted();
  if (e.level() >= 1) {
    TK_LOG(1, "Got 1-level error");
    if (!quiet() && !stopped) {
      TK_LOG(1, "Step 1");
      if (shell != nullptr) {
        shell->error(qs8(text));
      } else {
        run_in_ui([&] { QMessageBox::critical(nullptr, QStringLiteral("Error"), qs8(text)); });
      }
    }
    if (!final) throw tk_final_exception();
    return;
  }
  TK_LOG(1, "Got 0-level error");
  if (quiet() || stopped) return;
  int result = dlg_error_continue::k_continue;
  bool again = false;
  run_in_ui([&] {
    dlg_error_continue dialog(qs8(text), shell != nullptr && shell->isVisible() ? shell : nullptr);
    result = dialog.exec();
    again = dialog.do_not_show_again();
  });
  set_quiet(again);
  if (result == dlg_error_continue::k_abort && !final) throw tk_final_exception();
}

void gui_error_handler::internal_error(const tk_exception& e) {
  TK_LOG(3, "Internal error:\n%s", e.what());
  TK_LOG(2, "dlg_error_ex::ctor");
  run_in_ui([&] {
    wizard_shell* shell = wizard_shell::instance_ptr();
    dlg_error_ex dialog(qs8(e.what()), shell != nullptr && shell->isVisible() ? shell : nullptr);
    dialog.exec();
  });
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(255);
}
