#include "gui/gui_keychain_store.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>

#include "gui/gui_util.h"
#include "tk/tk_log.h"

namespace {

const QString k_service = QStringLiteral("talvex");

// Runs the job to its end in a local event loop: the callers need the answer at once.
tk_secret_store::status run(QKeychain::Job& job) {
  // Never the library's fallback, which would keep the password in a plain settings file.
  job.setInsecureFallback(false);
  job.setAutoDelete(false);
  QEventLoop loop;
  QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
  job.start();
  loop.exec();
  switch (job.error()) {
    case QKeychain::NoError:
      return tk_secret_store::status::ok;
    case QKeychain::EntryNotFound:
      return tk_secret_store::status::not_found;
    default:
      TK_LOG(2, "gui_keychain_store: %s", u8(job.errorString()));
      return tk_secret_store::status::unavailable;
  }
}

}  // namespace

tk_secret_store::secret gui_keychain_store::read(const std::u16string& key) {
  QKeychain::ReadPasswordJob job(k_service);
  job.setKey(qs(key));
  secret answer;
  answer.state = run(job);
  if (answer.state == status::ok) answer.value = u16(job.textData());
  return answer;
}

tk_secret_store::status gui_keychain_store::write(const std::u16string& key,
                                                  const std::u16string& value) {
  QKeychain::WritePasswordJob job(k_service);
  job.setKey(qs(key));
  job.setTextData(qs(value));
  return run(job);
}

tk_secret_store::status gui_keychain_store::remove(const std::u16string& key) {
  QKeychain::DeletePasswordJob job(k_service);
  job.setKey(qs(key));
  return run(job);
}
