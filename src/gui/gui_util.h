#pragma once

#include <QString>
#include <functional>
#include <string>
#include <string_view>

// Text crosses between Qt (QString) and the core (UTF-16 wide strings, UTF-8 narrow ones).
inline QString qs(const std::u16string& text) {
  return QString::fromStdU16String(text);
}
inline QString qs8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::u16string u16(const QString& text) {
  return text.toStdU16String();
}
inline std::string u8(const QString& text) {
  return text.toStdString();
}

// Runs `f` in the user interface thread and waits for it: at once when called there, else
// through the event loop (the worker thread's dialogs are the user interface thread's).
void run_in_ui(const std::function<void()>& f);

// Windows-style dialog filters ("Description|pattern|...|", "|" the separator) as Qt's name
// filters ("Description (pattern)"). "*.*" becomes "*": Linux file names need no dot.
QStringList qt_name_filters(const QString& parts_filter);

// The profile files' filter with the extension filled in.
QString profile_filter(const QString& extension);
