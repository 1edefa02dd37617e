// Splitting a container object's PROPERTY memo into records, every length checked against the
// memo so that a damaged one fails instead of reading past it or looping.
#include "dbf/dbf_dbc_property.h"

#include <string>

#include "dbf/dbf_exception.h"

namespace {

constexpr std::size_t k_length_size = 4;
constexpr std::size_t k_id_length_size = 2;
constexpr std::size_t k_max_id_size = 4;

std::uint32_t little_endian(std::string_view bytes) {
  std::uint32_t v = 0;
  for (std::size_t i = bytes.size(); i > 0; --i)
    v = v << 8 | static_cast<unsigned char>(bytes[i - 1]);
  return v;
}

[[noreturn]] void damaged(std::size_t at, const std::string& what) {
  throw dbf_exception("Property record at byte " + std::to_string(at) + " " + what);
}

const dbf_dbc_property* find(const std::vector<dbf_dbc_property>& properties, dbf_dbc_prop id) {
  for (const dbf_dbc_property& p : properties)
    if (p.id == static_cast<std::uint32_t>(id)) return &p;
  return nullptr;
}

}  // namespace

std::vector<dbf_dbc_property> dbf_dbc_properties(std::string_view memo) {
  std::vector<dbf_dbc_property> properties;
  std::size_t at = 0;
  while (at < memo.size()) {
    const std::size_t left = memo.size() - at;
    if (left < k_length_size + k_id_length_size) damaged(at, "is cut short");
    const std::size_t length = little_endian(memo.substr(at, k_length_size));
    const std::size_t id_size = little_endian(memo.substr(at + k_length_size, k_id_length_size));
    if (id_size == 0 || id_size > k_max_id_size)
      damaged(at, "has an id of " + std::to_string(id_size) + " bytes");
    const std::size_t head = k_length_size + k_id_length_size + id_size;
    // A length below the record's own header (0 among them) would never move on.
    if (length < head) damaged(at, "has a length of " + std::to_string(length));
    if (length > left)
      damaged(at, "has a length of " + std::to_string(length) + " that runs past the memo's " +
                      std::to_string(memo.size()) + " bytes");
    const std::string_view record = memo.substr(at, length);
    properties.push_back({little_endian(record.substr(k_length_size + k_id_length_size, id_size)),
                          record.substr(head)});
    at += length;
  }
  return properties;
}

std::string_view dbf_dbc_text(const std::vector<dbf_dbc_property>& properties, dbf_dbc_prop id) {
  const dbf_dbc_property* p = find(properties, id);
  if (p == nullptr) return {};
  return p->value.substr(0, p->value.find('\0'));
}

int dbf_dbc_byte(const std::vector<dbf_dbc_property>& properties, dbf_dbc_prop id, int absent) {
  const dbf_dbc_property* p = find(properties, id);
  if (p == nullptr || p->value.empty()) return absent;
  return static_cast<unsigned char>(p->value.front());
}
