#include "ole/ole_guid_extractor.h"

#include "tk/tk_log.h"

namespace {

bool is_blank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

bool is_hex(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// 8-4-4-4-12 hexadecimal digits separated by dashes.
bool is_guid_at(std::u16string_view text, std::size_t pos) {
  if (pos + 36 > text.size()) return false;
  for (std::size_t i = 0; i < 36; ++i) {
    const char16_t c = text[pos + i];
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? c != u'-' : !is_hex(c)) return false;
  }
  return true;
}

}  // namespace

ole_guid_extractor::ole_guid_extractor(std::u16string_view text) {
  TK_LOG(1, "ole_guid_extractor::ctor(%s)", text);
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  text_ = text;
  if (text_.size() < 36) {
    TK_LOG(1, "Text is too short for GUID");
    return;
  }
  if (text_.size() > 45) {
    TK_LOG(1, "Text is too long for GUID");
    return;
  }
  const std::size_t lower = text_.find(u"guid");
  const std::size_t upper = text_.find(u"GUID");
  TK_LOG(1, "Locating 'guid' (%d : %d)",
         lower == std::u16string::npos ? -1 : static_cast<int>(lower),
         upper == std::u16string::npos ? -1 : static_cast<int>(upper));
  // Only a text that names itself a GUID holds one; plain text of this length is left alone.
  const std::size_t tag = lower != std::u16string::npos ? lower : upper;
  if (tag == std::u16string::npos) return;
  for (std::size_t start = tag + 4; start + 36 <= text_.size(); ++start) {
    if (is_guid_at(text_, start)) {
      TK_LOG(1, "GUID is valid");
      position_ = static_cast<int>(start);
      found_ = true;
      return;
    }
  }
}

std::u16string ole_guid_extractor::guid() const {
  if (!found_) return {};
  return text_.substr(static_cast<std::size_t>(position_), 38);
}
