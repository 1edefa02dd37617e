// Splits fuzzed bytes as the PROPERTY memo of a database container object and reads every
// text and byte property from it; seeds in corpus_dbc_property.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "dbf/dbf_dbc_property.h"
#include "dbf/dbf_exception.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view memo(reinterpret_cast<const char*>(data), size);
  try {
    const auto properties = dbf_dbc_properties(memo);
    for (const dbf_dbc_property& p : properties) {
      const auto id = static_cast<dbf_dbc_prop>(p.id);
      (void)dbf_dbc_text(properties, id);
      (void)dbf_dbc_byte(properties, id, -1);
    }
  } catch (const dbf_exception&) {
    // Refusing a damaged memo is the expected outcome.
  }
  return 0;
}
