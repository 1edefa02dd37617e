// The names a view translation resolves against, and the entry point that turns every way a
// view's SQL can fail into the translation's failure text.

#include "mss/mss_vfp_view.h"

#include "mss/mss_vfp_lexer.h"
#include "mss/mss_vfp_parser.h"
#include "tk/tk_encoding.h"
#include "tk/tk_string.h"

mss_view_source& mss_view_source::add(std::u16string_view field, std::u16string_view column,
                                      mss_view_kind kind) {
  columns.push_back({std::u16string(field), std::u16string(column), kind});
  return *this;
}

const mss_view_column* mss_view_source::find(std::u16string_view field) const {
  for (const mss_view_column& c : columns)
    if (tk_equal_nocase(c.field, field)) return &c;
  return nullptr;
}

mss_view_source& mss_view_names::add(std::u16string_view name, std::u16string_view target) {
  sources.push_back({std::u16string(name), std::u16string(target), {}});
  return sources.back();
}

const mss_view_source* mss_view_names::find(std::u16string_view name) const {
  for (const mss_view_source& s : sources)
    if (tk_equal_nocase(s.name, name)) return &s;
  return nullptr;
}

namespace {

// Runs `translate` on the tokens of `vfp_text`, every way it fails turned into the failure.
template <typename Translate>
mss_view_translation translation_of(std::string_view vfp_text, const Translate& translate) {
  mss_view_translation out;
  try {
    // The conversion puts U+FFFD where the bytes are not UTF-8; one that was not written as
    // such marks text that would be translated into something else.
    const std::u16string text = tk_from_utf8(vfp_text);
    if (text.find(u'\uFFFD') != std::u16string::npos &&
        vfp_text.find("\xEF\xBF\xBD") == std::string_view::npos)
      throw mss_vfp_untranslatable("the text is not UTF-8");
    translate(mss_vfp_tokens(text), out);
  } catch (const mss_vfp_untranslatable& e) {
    out = mss_view_translation{};
    out.failure = e.message();
  }
  return out;
}

}  // namespace

mss_view_translation mss_translate_vfp_view(std::string_view vfp_sql, const mss_view_names& names) {
  return translation_of(vfp_sql,
                        [&](const std::vector<mss_vfp_token>& tokens, mss_view_translation& out) {
                          mss_vfp_translate(tokens, names, out);
                        });
}

mss_view_translation mss_translate_vfp_condition(std::string_view rule,
                                                 const mss_view_source& table) {
  return translation_of(rule,
                        [&](const std::vector<mss_vfp_token>& tokens, mss_view_translation& out) {
                          mss_vfp_translate_condition(tokens, table, out);
                        });
}
