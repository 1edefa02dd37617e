#include "udb/udb_field.h"

#include "tk/tk_log.h"

udb_field::udb_field() {
  TK_LOG(1, "udb_field::empty ctor");
}

udb_field::udb_field(std::u16string name, std::int32_t size, const ole_variant& value)
    : ole_variant(value), size(size), name(std::move(name)) {
  TK_LOG(1, "udb_field::ctor #2");
  TK_WLOG(1, "name=%s, size=%d", this->name, static_cast<int>(size));
}

udb_field::~udb_field() = default;

ole_vartype udb_field::get_type() const {
  return vt();
}
