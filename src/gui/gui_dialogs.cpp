#include "gui/gui_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

#include "gui/gui_util.h"
#include "gui/wizard_shell.h"
#include "tk/tk_log.h"

namespace {

QString caption(const QString& suffix) {
  const wizard_shell* shell = wizard_shell::instance_ptr();
  return shell != nullptr && shell->is_initialized() ? shell->title() + QLatin1Char(' ') + suffix
                                                     : suffix;
}

QLabel* icon_label(QStyle::StandardPixmap which, QWidget* parent) {
  auto* icon = new QLabel(parent);
  icon->setPixmap(parent->style()->standardIcon(which).pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);
  return icon;
}

QLabel* message_label(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QStringLiteral("id1320"));
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setMinimumWidth(360);
  return label;
}

QHBoxLayout* icon_and_text(QStyle::StandardPixmap which, const QString& text, QWidget* parent) {
  auto* row = new QHBoxLayout;
  row->addWidget(icon_label(which, parent));
  row->addWidget(message_label(text, parent), 1);
  return row;
}

QPushButton* button(const QString& text, const char* id, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QString::fromLatin1(id));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

dlg_error_ex::dlg_error_ex(const QString& text, QWidget* parent) : QDialog(parent), text_(text) {
  TK_LOG(2, "dlg_error_ex::on_init");
  setWindowTitle(caption(QStringLiteral("Error")));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(icon_and_text(QStyle::SP_MessageBoxCritical, text, this));
  auto* buttons = new QHBoxLayout;
  QPushButton* send = button(QStringLiteral("Send bug"), "id1112", this);
  QPushButton* ok = button(QStringLiteral("OK"), "id1", this);
  QPushButton* copy = button(QStringLiteral("Copy to clipboard"), "id1108", this);
  send->setDefault(true);
  buttons->addStretch(1);
  buttons->addWidget(send);
  buttons->addWidget(ok);
  buttons->addWidget(copy);
  layout->addLayout(buttons);
  connect(send, &QPushButton::clicked, this, &dlg_error_ex::send_bug);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(copy, &QPushButton::clicked, this, &dlg_error_ex::copy_to_clipboard);
}

QUrl dlg_error_ex::bug_report_url(const QString& product, const QString& text) {
  const QDateTime now = QDateTime::currentDateTime();
  const QString subject = QStringLiteral("Bug report on %1 %2/%3/%4 %5:%6")
                              .arg(product)
                              .arg(now.date().day())
                              .arg(now.date().month())
                              .arg(now.date().year())
                              .arg(now.time().hour())
                              .arg(now.time().minute());
  return QUrl::fromEncoded(
      "mailto:support@orvanel.example?subject=" + QUrl::toPercentEncoding(subject) +
      "&body=" + QUrl::toPercentEncoding(text));
}

void dlg_error_ex::send_bug() {
  const wizard_shell* shell = wizard_shell::instance_ptr();
  const QString product = shell != nullptr ? shell->title() : QStringLiteral("Talvex");
  TK_LOG(2, "tk_send_bug(%s|%s)", u8(product), u8(text_));
  if (!QDesktopServices::openUrl(bug_report_url(product, text_))) {
    TK_LOG(2, "Failed to open the mail program");
  }
}

void dlg_error_ex::copy_to_clipboard() {
  QApplication::clipboard()->setText(text_);
  accept();
}

dlg_error_continue::dlg_error_continue(const QString& text, QWidget* parent) : QDialog(parent) {
  TK_LOG(2, "dlg_error_continue::on_init");
  setWindowTitle(caption(QStringLiteral("Error")));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(icon_and_text(QStyle::SP_MessageBoxCritical, text, this));
  again_ = new QCheckBox(QStringLiteral("&Do not show this dialog box again"), this);
  again_->setObjectName(QStringLiteral("id1222"));
  layout->addWidget(again_);
  auto* buttons = new QHBoxLayout;
  QPushButton* go_on = button(QStringLiteral("Continue"), "id2", this);
  QPushButton* abort = button(QStringLiteral("Abort"), "id1", this);
  go_on->setDefault(true);
  buttons->addStretch(1);
  buttons->addWidget(go_on);
  buttons->addWidget(abort);
  layout->addLayout(buttons);
  connect(go_on, &QPushButton::clicked, this, [this] { done(k_continue); });
  connect(abort, &QPushButton::clicked, this, [this] { done(k_abort); });
}

bool dlg_error_continue::do_not_show_again() const {
  return again_->isChecked();
}

void dlg_error_continue::reject() {
  done(k_continue);
}

overwrite_dlg2::overwrite_dlg2(const QString& text, QWidget* parent) : QDialog(parent) {
  TK_LOG(2, "overwrite_dlg2::ctor");
  setWindowTitle(caption(QStringLiteral("Warning")));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(icon_and_text(QStyle::SP_MessageBoxWarning, text, this));
  static const char* const k_texts[4] = {"&Overwrite the entire database",
                                         "Overwrite existing &tables only", "&Skip existing tables",
                                         "&Merge"};
  // What each choice does to the database, in a line under it.
  static const char* const k_effects[4] = {
      "Drops the database with every table in it and creates it anew.",
      "Drops each table of the same name and loads it anew; other tables stay.",
      "Loads only the tables the database does not hold; existing ones stay as they are.",
      "Adds the rows to the existing tables of the same name; nothing is dropped."};
  for (int i = 0; i < 4; ++i) {
    options_[i] = new QRadioButton(QString::fromLatin1(k_texts[i]), this);
    options_[i]->setObjectName(QStringLiteral("id%1").arg(1329 + i));
    layout->addWidget(options_[i]);
    auto* effect = new QLabel(QString::fromLatin1(k_effects[i]), this);
    effect->setObjectName(QStringLiteral("effect%1").arg(1329 + i));
    effect->setContentsMargins(24, 0, 0, 6);
    effect->setBuddy(options_[i]);
    layout->addWidget(effect);
  }
  auto* buttons = new QHBoxLayout;
  QPushButton* ok = button(QStringLiteral("OK"), "id1", this);
  QPushButton* cancel = button(QStringLiteral("Cancel"), "id2", this);
  QPushButton* help = button(QStringLiteral("Help"), "id9", this);
  ok->setDefault(true);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  buttons->addWidget(help);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, [this] {
    for (int i = 0; i < 4; ++i) {
      if (options_[i]->isChecked()) option_ = i;
    }
    accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [] {
    if (wizard_shell* shell = wizard_shell::instance_ptr()) shell->display_help();
  });
}

int overwrite_dlg2::exec() {
  TK_LOG(2, "overwrite_dlg2::on_init");
  // The safest choice comes preselected: nothing is dropped unless the user picks it.
  options_[k_safest]->setChecked(true);
  options_[k_safest]->setFocus();
  option_ = k_safest;
  QApplication::beep();
  return QDialog::exec();
}

connecting_dialog::connecting_dialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(caption(QStringLiteral("Message")));
  setWindowFlag(Qt::WindowCloseButtonHint, false);
  auto* layout = new QVBoxLayout(this);
  auto* busy = new QProgressBar(this);
  busy->setObjectName(QStringLiteral("id1301"));
  busy->setRange(0, 0);
  busy->setTextVisible(false);
  layout->addWidget(busy);
  layout->addWidget(
      new QLabel(QStringLiteral("Connecting to MS SQL server. Please wait..."), this));
}

void connecting_dialog::close_from_worker() {
  QMetaObject::invokeMethod(
      this, [this] { done(QDialog::Accepted); }, Qt::QueuedConnection);
}

QString with_extension(const QString& path, const QString& extension) {
  const QString ext = extension.startsWith(QLatin1Char('.')) ? extension.mid(1) : extension;
  if (QFileInfo(path).suffix() == ext) return path;
  return path + QLatin1Char('.') + ext;
}

bool open_file_dialog(QWidget* owner, const QString& title, const QString& parts_filter,
                      QString& path) {
  QFileDialog dialog(owner, title);
  dialog.setObjectName(QStringLiteral("open_file_dialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(qt_name_filters(parts_filter));
  if (!path.isEmpty()) dialog.selectFile(path);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  path = dialog.selectedFiles().constFirst();
  return true;
}

bool save_file_dialog(QWidget* owner, const QString& title, const QString& parts_filter,
                      const QString& extension, QString& path, bool confirm_overwrite) {
  QFileDialog dialog(owner, title);
  dialog.setObjectName(QStringLiteral("save_file_dialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirm_overwrite);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(qt_name_filters(parts_filter));
  dialog.setDefaultSuffix(extension.startsWith(QLatin1Char('.')) ? extension.mid(1) : extension);
  if (!path.isEmpty()) dialog.selectFile(path);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  path = with_extension(dialog.selectedFiles().constFirst(), extension);
  return true;
}

bool folder_dialog(QWidget* owner, const QString& title, QString& path) {
  QFileDialog dialog(owner, title);
  dialog.setObjectName(QStringLiteral("folder_dialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  dialog.setFileMode(QFileDialog::Directory);
  if (!path.isEmpty()) dialog.setDirectory(path);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  path = dialog.selectedFiles().constFirst();
  return true;
}
