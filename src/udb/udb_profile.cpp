#include "udb/udb_profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "tk/tk_encoding.h"
#include "tk/tk_exception.h"
#include "tk/tk_log.h"
#include "tk/tk_path_probe.h"
#include "tk/tk_string.h"

namespace {

struct file_closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

constexpr std::size_t k_line_buffer = 4096;
constexpr std::string_view k_bom = "\xEF\xBB\xBF";

bool put(std::FILE* f, std::u16string_view text) {
  const std::string bytes = tk_to_utf8(text);
  return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
}

bool put_line_end(std::FILE* f) {
  return std::fwrite("\r\n", 1, 2, f) == 2;
}

}  // namespace

udb_profile::udb_profile() {
  for (const auto name :
       {k_available_queries, k_selected_tables, k_selected_views, k_generic_settings}) {
    sections_.try_emplace(std::u16string(name));
  }
}

void udb_profile::set(std::u16string_view section, std::u16string_view key,
                      std::u16string_view value) {
  sections_[std::u16string(section)].emplace_back(key, value);
}

std::u16string udb_profile::get(std::u16string_view section, std::u16string_view key) const {
  for (const entry& e : this->section(section)) {
    if (e.first == key) return e.second;
  }
  return {};
}

const udb_profile::entries& udb_profile::section(std::u16string_view name) const {
  static const entries none;
  const auto it = sections_.find(std::u16string(name));
  return it == sections_.end() ? none : it->second;
}

const std::vector<std::u16string>& udb_profile::plain_section(std::u16string_view name) const {
  static const std::vector<std::u16string> none;
  const auto it = plains_.find(std::u16string(name));
  return it == plains_.end() ? none : it->second;
}

bool udb_profile::load(std::u16string_view path) {
  return load(tk_to_utf8_lossy(path));
}

bool udb_profile::load(const std::string& path) {
  TK_LOG(2, "udb_profile::load(%s)", path);
  if (!tk_is_file_exist(path)) {
    throw tk_exception("Profile does not exist. Please verify the correct path/name was given.", 1);
  }
  file_ptr f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;

  entries* current = nullptr;
  std::u16string current_name;
  bool first_line = true;
  char buffer[k_line_buffer];
  while (std::fgets(buffer, sizeof buffer, f.get()) != nullptr) {
    std::string_view line(buffer, std::strlen(buffer));
    // A line that fills the buffer without its end is longer than any profile line can be.
    TK_ASSERT(line.size() < k_line_buffer - 1 || line.back() == '\n');
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first_line && line.substr(0, k_bom.size()) == k_bom) line.remove_prefix(k_bom.size());
    first_line = false;

    std::u16string text = tk_from_utf8(line);
    tk_trim(text);
    if (text.empty()) continue;
    if (text.size() >= 2 && text.front() == u'[' && text.back() == u']') {
      current_name = text.substr(1, text.size() - 2);
      current = &sections_[current_name];
      continue;
    }
    if (current == nullptr) return false;
    const auto equals = text.find(u'=');
    if (equals != std::u16string::npos) {
      std::u16string key = text.substr(0, equals);
      std::u16string value = text.substr(equals + 1);
      current->emplace_back(std::move(tk_trim(key)), std::move(tk_trim(value)));
    } else {
      current->emplace_back(text, std::u16string());
      plains_[current_name].push_back(std::move(text));
    }
  }
  return std::ferror(f.get()) == 0;
}

bool udb_profile::store(std::u16string_view path, bool secret) const {
  return store(tk_to_utf8_lossy(path), secret);
}

bool udb_profile::store(const std::string& path, bool secret) const {
  TK_LOG(2, "udb_profile::store)");
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, secret ? 0600 : 0666);
  if (fd < 0) return false;
  if (secret && ::fchmod(fd, 0600) != 0) {
    ::close(fd);
    return false;
  }
  file_ptr f(::fdopen(fd, "wb"));
  if (!f) {
    ::close(fd);
    return false;
  }
  bool ok = true;
  for (const auto& [name, list] : sections_) {
    ok = ok && put(f.get(), u"[") && put(f.get(), name) && put(f.get(), u"]") &&
         put_line_end(f.get());
    const bool tables = name == k_selected_tables;
    for (const auto& [key, value] : list) {
      ok = ok && put(f.get(), key);
      if (!(tables && value.empty())) ok = ok && put(f.get(), u"=") && put(f.get(), value);
      ok = ok && put_line_end(f.get());
    }
    ok = ok && put_line_end(f.get());
  }
  // Lines without "=" were also taken as entries of their keyed section, which was just
  // written; writing them again would double every such line when the file is read back.
  for (const auto& [name, lines] : plains_) {
    if (sections_.contains(name)) continue;
    ok = ok && put(f.get(), u"[") && put(f.get(), name) && put(f.get(), u"]") &&
         put_line_end(f.get());
    for (const auto& line : lines) ok = ok && put(f.get(), line) && put_line_end(f.get());
    ok = ok && put_line_end(f.get());
  }
  return std::fclose(f.release()) == 0 && ok;
}
