#pragma once

#include <QMessageBox>
#include <QStringList>
#include <QWizard>
#include <mutex>
#include <string>
#include <vector>

#include "app/error_handler.h"
#include "tk/tk_singleton.h"

class progress_page;

// The wizard's page ids are the dialog ids of the original resources.
enum wizard_page_id {
  k_welcome_page = 103,
  k_mssql_page = 118,
  k_dump_page = 109,
  k_sel_file_page = 105,
  k_sel_tables_page = 127,
  k_progress_page = 106,
  k_finish_page = 116,
};

// The property sheet: a QWizard holding the seven pages (only progress and
// finish on a quick launch), its boxes, help, and the errors collected for the finish page.
class wizard_shell : public QWizard, public tk_singleton<wizard_shell> {
  Q_OBJECT
 public:
  static constexpr std::size_t k_max_errors = 20;

  explicit wizard_shell(bool quick_launch = false, QWidget* parent = nullptr);
  ~wizard_shell() override;

  QString title() const { return title_; }
  bool is_initialized() const { return initialized_; }

  void error(const QString& text);
  void message(const QString& text);
  // Yes or No; `detail`, when given, says under the question what each answer does.
  bool question(const QString& text, const QString& detail = {});

  // Opens the HTML manual in the user's browser; says where it is when no browser opens, or
  // that there is none.
  void display_help();
  // Where the manual is looked for, first found wins: the install's share/doc, then the
  // source tree's docs/.
  QStringList help_candidates;

  // Errors of the run, at most 20 kept; any thread.
  void collect_error(const std::string& text);
  std::vector<std::string> collected_errors() const;
  void clear_errors();

  // The Cancel rule of every page: asks, and closes on Yes (after the conversion stopped).
  void reject() override;
  // Closes without asking.
  void close_now();
  // Finish: the settings of the run are remembered, then the wizard closes.
  void accept() override;

  // Hides Back on the progress and finish pages and shows the buttons a page asks for.
  void update_buttons(int id);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The manual's path as a link and a Copy Path button, where no browser could be opened.
  void show_manual_path(const QString& path);
  // An OK box captioned "<title> <kind>" (only "<kind>" before the window exists).
  void show_box(QMessageBox::Icon icon, const QString& kind, const QString& text);

  QString title_;
  bool initialized_ = false;
  mutable std::mutex errors_lock_;
  std::vector<std::string> errors_;
};

// The wizard's error handler: dialogs in the user interface thread, whichever
// thread reports; level 1 ends the run, level 0 asks whether to go on.
class gui_error_handler : public error_handler {
 protected:
  void present(const tk_exception& e, const std::string& text, bool final) override;
  void internal_error(const tk_exception& e) override;
};
