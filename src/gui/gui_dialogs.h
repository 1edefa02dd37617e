#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

// The modal dialogs. Object names carry the control ids of the original dialog resources
// ("id1320"), so tests find the controls by those ids.

// Internal error (114): the message, "Send bug" (default), "OK", "Copy to clipboard".
class dlg_error_ex : public QDialog {
  Q_OBJECT
 public:
  explicit dlg_error_ex(const QString& text, QWidget* parent = nullptr);
  const QString& text() const { return text_; }

  // "Bug report on <product> <d/m/yyyy h:m>" and the message as a mailto: address.
  static QUrl bug_report_url(const QString& product, const QString& text);

 private:
  void send_bug();
  void copy_to_clipboard();
  QString text_;
};

// Error with continue (115): "Continue" (default, result 2), "Abort" (result 1) and
// "Do not show this dialog box again". Escape means Continue.
class dlg_error_continue : public QDialog {
  Q_OBJECT
 public:
  static constexpr int k_abort = 1;
  static constexpr int k_continue = 2;
  explicit dlg_error_continue(const QString& text, QWidget* parent = nullptr);
  bool do_not_show_again() const;
  void reject() override;

 private:
  QCheckBox* again_;
};

// The destination database exists (121): four modes, "OK" (default), "Cancel", "Help".
class overwrite_dlg2 : public QDialog {
  Q_OBJECT
 public:
  explicit overwrite_dlg2(const QString& text, QWidget* parent = nullptr);
  // The checked option, 0 to 3 (the conversion mode), valid after OK.
  int option() const { return option_; }
  int exec() override;
  // Skip existing tables: the choice that drops and changes nothing, checked on opening.
  static constexpr int k_safest = 2;

 private:
  QRadioButton* options_[4] = {};
  int option_ = k_safest;
};

// Connection (101): shown while a worker thread connects; the worker's end closes it, the
// user cannot.
class connecting_dialog : public QDialog {
  Q_OBJECT
 public:
  explicit connecting_dialog(QWidget* parent = nullptr);
  void reject() override {}
  void close_from_worker();
};

// Qt's file dialogs with Windows-style filters; true with the path on OK.
bool open_file_dialog(QWidget* owner, const QString& title, const QString& parts_filter,
                      QString& path);
// A name whose extension is not `extension` gets it appended (with a dot).
bool save_file_dialog(QWidget* owner, const QString& title, const QString& parts_filter,
                      const QString& extension, QString& path, bool confirm_overwrite = true);
bool folder_dialog(QWidget* owner, const QString& title, QString& path);
// The extension rule of the save dialog, on its own.
QString with_extension(const QString& path, const QString& extension);
