#include "gui/gui_util.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QStringList>
#include <QThread>

void run_in_ui(const std::function<void()>& f) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || QThread::currentThread() == app->thread()) {
    f();
    return;
  }
  QMetaObject::invokeMethod(app, f, Qt::BlockingQueuedConnection);
}

QStringList qt_name_filters(const QString& parts_filter) {
  const QStringList parts = parts_filter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString pattern = parts[i + 1];
    if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
    filters << parts[i] + QStringLiteral(" (") + pattern + QLatin1Char(')');
  }
  return filters;
}

QString profile_filter(const QString& extension) {
  return QStringLiteral("Profile Files (.%1)|*.%1|All Files (*.*)|*.*|").arg(extension);
}
