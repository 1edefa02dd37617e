// talvex: the conversion wizard. An optional argument names a profile to run at once.
#include <QApplication>
#include <exception>
#include <optional>

#include "app/talvex_converter.h"
#include "gui/gui_keychain_store.h"
#include "gui/gui_util.h"
#include "gui/wizard_pages.h"
#include "gui/wizard_shell.h"
#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("talvex"));
  gui_error_handler handler;
  gui_keychain_store secrets;
  // Restores the last settings; the wizard stores them when it finishes.
  talvex_converter converter(false, &secrets);
  const QStringList args = QApplication::arguments();
  const bool quick = args.size() > 1;
  try {
    if (quick) {
      TK_LOG(2, "QUICK LAUNCH: profile=%s", u8(args[1]));
      if (!converter.load_profile(u8(args[1]))) {
        handler.handle(tk_exception("Cannot read the profile " + u8(args[1]), 1), true);
        return 255;
      }
      if (converter.direct && !mssql_settings_page::connect_with_dialog(nullptr)) return 255;
      if (!converter.direct) converter.check_dest();
    }
    wizard_shell shell(quick);
    shell.show();
    return QApplication::exec() == 0 ? 0 : 255;
  } catch (const tk_exception& e) {
    handler.handle(e, true);
  } catch (const std::exception& e) {
    if (wizard_shell* shell = wizard_shell::instance_ptr()) {
      shell->error(qs8(e.what()));
    }
  }
  return 255;
}
