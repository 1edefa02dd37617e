// The desktop's secret store (the Secret Service through Qt Keychain) behind the settings'
// secret store interface; each call waits for the store's answer.
#pragma once

#include "tk/tk_secret_store.h"

class gui_keychain_store : public tk_secret_store {
 public:
  secret read(const std::u16string& key) override;
  status write(const std::u16string& key, const std::u16string& value) override;
  status remove(const std::u16string& key) override;
};
