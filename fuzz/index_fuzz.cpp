// Reads fuzzed bytes as an index file's headers and tag directory. Input layout: one byte
// choosing the layout (its value modulo 5: cdx, idx, mdx, ndx, ntx), then the file's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "dbf/dbf_exception.h"
#include "dbf/dbf_index_tag.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const auto kind = static_cast<dbf_index_kind>(data[0] % 5);
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  try {
    const dbf_index_file file = dbf_read_index_bytes(bytes, "/fuzz/t.idx", kind);
    for (const dbf_index_tag& tag : file.tags) {
      // A tag read from the file always has a name and a key expression.
      if (tag.name.empty() || tag.key.empty()) std::abort();
    }
  } catch (const dbf_exception&) {
    // Refusing a damaged index file is the expected outcome.
  }
  return 0;
}
