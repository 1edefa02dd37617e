#include "tk/tk_serializer.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tk/tk_encoding.h"
#include "tk/tk_log.h"

// File format: one value per line, "name=dword:<decimal>" or "name=sz:<text>", UTF-8, LF line
// ends, lines starting with "#" ignored. Names and texts escape "\" as "\\" and every control
// character, "=" and unpaired surrogate as "\uXXXX", so any string survives the trip.

namespace {

constexpr std::string_view k_dword_tag = "dword:";
constexpr std::string_view k_sz_tag = "sz:";

bool is_high(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool is_low(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

std::string escape(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (is_high(c) && i + 1 < text.size() && is_low(text[i + 1])) {
      out += c;
      out += text[++i];
    } else if (c == u'\\') {
      out += u"\\\\";
    } else if (c < 0x20 || c == 0x7F || c == u'=' || is_high(c) || is_low(c)) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
      for (const char* p = buffer; *p != '\0'; ++p) out += static_cast<char16_t>(*p);
    } else {
      out += c;
    }
  }
  return tk_to_utf8_lossy(out);
}

// False for a malformed escape.
bool unescape(std::string_view text, std::u16string& out) {
  const std::u16string in = tk_from_utf8_lossy(text);
  out.clear();
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != u'\\') {
      out += in[i];
      continue;
    }
    if (i + 1 < in.size() && in[i + 1] == u'\\') {
      out += u'\\';
      ++i;
      continue;
    }
    if (i + 5 >= in.size() || in[i + 1] != u'u') return false;
    unsigned value = 0;
    for (std::size_t k = i + 2; k < i + 6; ++k) {
      const char16_t h = in[k];
      value <<= 4;
      if (h >= u'0' && h <= u'9') {
        value |= h - u'0';
      } else if (h >= u'A' && h <= u'F') {
        value |= h - u'A' + 10;
      } else if (h >= u'a' && h <= u'f') {
        value |= h - u'a' + 10;
      } else {
        return false;
      }
    }
    out += static_cast<char16_t>(value);
    i += 5;
  }
  return true;
}

std::string config_home() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;  // relative values are to be ignored
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    const passwd* pw = ::getpwuid(::getuid());
    home = pw != nullptr ? pw->pw_dir : nullptr;
  }
  if (home == nullptr || home[0] == '\0') return {};
  return std::string(home) + "/.config";
}

bool make_folder(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

std::string tk_serializer::store_path() {
  const std::string home = config_home();
  return home.empty() ? std::string() : home + "/Orvanel/Talvex.conf";
}

bool tk_serializer::open_key() {
  if (open_) close_key();
  TK_LOG(1, "tk_serializer::open_key(%s)", k_key_path);
  values_.clear();
  path_ = store_path();
  if (path_.empty()) return false;
  const std::string home = path_.substr(0, path_.rfind("/Orvanel/"));
  if (!make_folder(home) || !make_folder(home + "/Orvanel")) return false;

  std::ifstream in(path_, std::ios::binary);
  if (!in) {
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0) return false;  // there but unreadable
    if (!write_file()) return false;                    // create it
  } else {
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line.front() == '#') continue;
      const auto equals = line.find('=');
      if (equals == std::string::npos) continue;
      std::u16string name;
      if (!unescape(std::string_view(line).substr(0, equals), name)) continue;
      const std::string_view rest = std::string_view(line).substr(equals + 1);
      stored_value v;
      if (rest.starts_with(k_dword_tag)) {
        const std::string_view digits = rest.substr(k_dword_tag.size());
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), v.dword);
        if (error != std::errc() || end != digits.data() + digits.size()) continue;
      } else if (rest.starts_with(k_sz_tag)) {
        v.is_string = true;
        if (!unescape(rest.substr(k_sz_tag.size()), v.text)) continue;
      } else {
        continue;
      }
      values_[name] = std::move(v);
    }
  }
  open_ = true;
  return true;
}

void tk_serializer::close_key() {
  open_ = false;
  values_.clear();
}

bool tk_serializer::write_file() const {
  const std::string temp_pattern = path_ + ".XXXXXX";
  std::string temp(temp_pattern);
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  std::ostringstream text;
  text << "# Talvex settings (" << k_key_path << ")\n";
  for (const auto& [name, v] : values_) {
    text << escape(name) << '=';
    if (v.is_string) {
      text << k_sz_tag << escape(v.text) << '\n';
    } else {
      text << k_dword_tag << v.dword << '\n';
    }
  }
  const std::string bytes = text.str();
  bool ok = ::fchmod(fd, 0600) == 0;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ::close(fd) == 0 && ok;
  // Renaming over the old file replaces it whole: a reader never sees half a store.
  ok = ok && ::rename(temp.c_str(), path_.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

bool tk_serializer::serialize_bool(std::string_view name, bool& value, bool store) {
  std::int32_t number = value ? 1 : 0;
  if (!serialize_int(name, number, store)) return false;
  if (!store) value = number != 0;
  return true;
}

bool tk_serializer::serialize_int(std::string_view name, std::int32_t& value, bool store) {
  if (!open_) return false;
  const std::u16string key = tk_from_utf8_lossy(name);
  if (store) {
    stored_value v;
    v.dword = static_cast<std::uint32_t>(value);
    values_[key] = v;
    return write_file();
  }
  const auto it = values_.find(key);
  if (it == values_.end() || it->second.is_string) return false;
  value = static_cast<std::int32_t>(it->second.dword);
  return true;
}

bool tk_serializer::serialize_string(std::u16string_view name, std::u16string& value, bool store) {
  if (!open_) return false;
  const std::u16string key(name);
  if (store) {
    stored_value v;
    v.is_string = true;
    v.text = value.substr(0, value.find(u'\0'));
    values_[key] = std::move(v);
    return write_file();
  }
  const auto it = values_.find(key);
  if (it == values_.end() || !it->second.is_string) return false;
  if (!it->second.text.empty()) value = it->second.text;
  return true;
}

bool tk_serializer::remove_value(std::u16string_view name) {
  if (!open_) return false;
  const auto it = values_.find(std::u16string(name));
  if (it == values_.end()) return true;
  values_.erase(it);
  return write_file();
}
