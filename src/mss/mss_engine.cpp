#include "mss/mss_engine.h"

#include "mss/mss_dmp_database.h"
#include "mss/mss_names.h"
#include "tk/tk_log.h"

mss_engine::mss_engine(bool /*no_com_initialization*/) {
  TK_LOG(2, "mss_engine::ctor");
}

mss_engine::~mss_engine() {
  TK_LOG(2, "mss_engine::dtor");
}

std::u16string mss_engine::get_safe_tname(std::u16string_view name) const {
  return mss_get_safe_tname(name, this);
}

std::unique_ptr<mss_dmp_database> mss_engine::create_dump(const std::u16string& file_name,
                                                          const mss_dump_options& options) const {
  TK_WLOG(2, "sql_engine::create_dump (%s)", file_name);
  TK_WLOG(3, "Creating MS SQL dump file '%s'", file_name);
  return std::make_unique<mss_dmp_database>(file_name, options);
}
