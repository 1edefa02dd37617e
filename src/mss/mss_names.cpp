#include "mss/mss_names.h"

#include <vector>

#include "mss/mss_server_facts.h"
#include "tk/tk_log.h"
#include "udb/udb_name_compare.h"

namespace {

bool enclosed(std::u16string_view name) noexcept {
  return name.size() >= 2 && name.front() == u'[' && name.back() == u']';
}

// Reads the [..] parts of a bracketed name, undoing doubled brackets. False when the name is
// not one or more well-formed parts joined by ".".
bool parse_bracketed(std::u16string_view name, std::vector<std::u16string>* parts) {
  std::size_t i = 0;
  const std::size_t n = name.size();
  if (n == 0) return false;
  while (true) {
    if (i >= n || name[i] != u'[') return false;
    ++i;
    std::u16string part;
    bool closed = false;
    while (i < n) {
      const char16_t c = name[i];
      if (c == u']') {
        if (i + 1 < n && name[i + 1] == u']') {
          part += u']';
          i += 2;
          continue;
        }
        ++i;
        closed = true;
        break;
      }
      part += c;
      ++i;
    }
    if (!closed) return false;
    if (parts != nullptr) parts->push_back(std::move(part));
    if (i == n) return true;
    if (name[i] != u'.') return false;
    ++i;
  }
}

}  // namespace

bool mss_is_bracketed_name(std::u16string_view name) noexcept {
  if (!enclosed(name)) return false;
  // A quick scan instead of parse_bracketed: no allocation, same grammar.
  std::size_t i = 0;
  const std::size_t n = name.size();
  while (true) {
    if (i >= n || name[i] != u'[') return false;
    ++i;
    bool closed = false;
    while (i < n) {
      if (name[i] == u']') {
        if (i + 1 < n && name[i + 1] == u']') {
          i += 2;
          continue;
        }
        ++i;
        closed = true;
        break;
      }
      ++i;
    }
    if (!closed) return false;
    if (i == n) return true;
    if (name[i] != u'.') return false;
    ++i;
  }
}

void mss_append_bracketed(std::u16string& out, std::u16string_view name) {
  out += u'[';
  for (const char16_t c : name) {
    out += c;
    if (c == u']') out += u']';
  }
  out += u']';
}

std::u16string mss_quote_name(std::u16string_view name) {
  if (mss_is_bracketed_name(name)) return std::u16string(name);
  std::u16string out;
  out.reserve(name.size() + 2);
  mss_append_bracketed(out, name);
  return out;
}

bool mss_split_tab_name(std::u16string_view name, std::u16string& table, std::u16string& owner) {
  TK_WLOG(1, "mss_split_tab_name(%s)", name);
  table.clear();
  owner.clear();
  std::vector<std::u16string> parts;
  if (name.size() < 3) {
    table = name;
  } else if (enclosed(name) && parse_bracketed(name, &parts)) {
    TK_LOG(1, "Name is enclosed in [...]");
    if (parts.size() >= 2) {
      TK_LOG(1, "Getting owner for composed name");
      owner = parts.front();
      if (parts.size() == 2) {
        table = parts[1];
      } else {
        // More than two parts: the owner is the first, the rest stays one bracketed name.
        for (std::size_t i = 1; i < parts.size(); ++i) {
          if (i > 1) table += u'.';
          mss_append_bracketed(table, parts[i]);
        }
      }
    } else {
      TK_LOG(1, "Prepare blank owner for simple name (table only)");
      table = parts.front();
    }
  } else {
    TK_LOG(1, "Name is NOT enclosed in [...]");
    const mss_server_facts* facts = mss_server_facts::instance_ptr();
    TK_LOG(1, "mss_engine::is_initialized()=%d", facts != nullptr && facts->is_initialized());
    TK_LOG(1, "is_view_owned()=%d", facts == nullptr || facts->is_view_owned());
    const std::size_t dot = name.find(u'.');
    if (facts == nullptr || facts->is_view_owned() || dot == std::u16string_view::npos) {
      table = name;
    } else {
      owner = name.substr(0, dot);
      table = name.substr(dot + 1);
    }
  }
  TK_WLOG(1, "tab_name=%s, owner=%s", table, owner);
  return true;
}

std::u16string mss_get_safe_tname(std::u16string_view name, const mss_server_facts* facts) {
  TK_WLOG(1, "mss_engine::get_safe_tname(%s)", name);
  std::u16string table;
  std::u16string owner;
  std::u16string result;
  if (mss_split_tab_name(name, table, owner) && !owner.empty()) {
    TK_LOG(1, "This is a full canonized table name");
    if (mss_is_bracketed_name(name)) {
      // Already qualified and escaped part by part.
      result = name;
    } else {
      mss_append_bracketed(result, owner);
      result += u'.';
      mss_append_bracketed(result, table);
    }
  } else {
    result = u"[dbo].";
    if (facts != nullptr && !facts->user().empty() && !facts->as_dbo() &&
        !udb_names_equal_nocase(facts->user(), u"sa")) {
      result = mss_quote_name(facts->user()) + u".";
    }
    result += mss_quote_name(name);
  }
  TK_WLOG(1, "result=%s", result);
  return result;
}

std::u16string mss_quote_literal(std::u16string_view text) {
  std::u16string out = u"N'";
  for (const char16_t c : text) {
    out += c;
    if (c == u'\'') out += u'\'';
  }
  return out + u"'";
}
