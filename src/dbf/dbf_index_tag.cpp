// Picks the reader of an index file's layout and hands it the file's bytes.
#include "dbf/dbf_index_tag.h"

#include "dbf/dbf_cdx_file.h"
#include "dbf/dbf_idx_file.h"
#include "dbf/dbf_index_source.h"
#include "dbf/dbf_mdx_file.h"
#include "dbf/dbf_ndx_file.h"
#include "dbf/dbf_ntx_file.h"
#include "tk/tk_log.h"

namespace {

dbf_index_file read_tags(const dbf_index_source& file, dbf_index_kind kind) {
  dbf_index_file result{file.path(), kind, {}};
  switch (kind) {
    case dbf_index_kind::cdx:
      result.tags = dbf_read_cdx_tags(file);
      break;
    case dbf_index_kind::mdx:
      result.tags = dbf_read_mdx_tags(file);
      break;
    case dbf_index_kind::idx:
      result.tags.push_back(dbf_read_idx_tag(file));
      break;
    case dbf_index_kind::ndx:
      result.tags.push_back(dbf_read_ndx_tag(file));
      break;
    case dbf_index_kind::ntx:
      result.tags.push_back(dbf_read_ntx_tag(file));
      break;
  }
  TK_LOG(1, "%s: %d index tags", file.path(), static_cast<int>(result.tags.size()));
  return result;
}

}  // namespace

dbf_index_file dbf_read_index_file(const std::string& path, dbf_index_kind kind) {
  TK_LOG(2, "dbf_read_index_file(%s)", path);
  const dbf_index_disk_source file(path);
  return read_tags(file, kind);
}

dbf_index_file dbf_read_index_bytes(std::string_view bytes, const std::string& path,
                                    dbf_index_kind kind) {
  const dbf_index_memory_source file(bytes, path);
  return read_tags(file, kind);
}

std::string_view dbf_index_extension(dbf_index_kind kind) {
  switch (kind) {
    case dbf_index_kind::cdx:
      return "cdx";
    case dbf_index_kind::idx:
      return "idx";
    case dbf_index_kind::mdx:
      return "mdx";
    case dbf_index_kind::ndx:
      return "ndx";
    case dbf_index_kind::ntx:
      return "ntx";
  }
  return {};
}
