#include "dbf/dbf_memo_type.h"

#include "tk/tk_log.h"

dbf_memo_type dbf_memo_type_of(std::uint8_t signature, std::uint8_t table_flags) {
  switch (signature) {
    case 0x30:
    case 0x31:
    case 0x32:
      TK_LOG(2, "MEMO TYPE=Visual FoxPro 3.0");
      if ((table_flags & 0x02) == 0) {
        TK_LOG(2, "MEMO TYPE=NO MEMO");
        return dbf_memo_type::memo_none;
      }
      return (table_flags & 0x04) != 0 ? dbf_memo_type::memo_vfp_dbc : dbf_memo_type::memo_vfp;
    case 0x7B:
    case 0x8B:
    case 0x8C:
    case 0xCB:
    case 0xEB:
      TK_LOG(2, "MEMO TYPE=DBASE IV");
      return dbf_memo_type::memo_dbase4;
    case 0x83:
      TK_LOG(2, "MEMO TYPE=OLD (FoxBASE/dBASE III)");
      return dbf_memo_type::memo_old;
    case 0xE5:
      TK_LOG(2, "MEMO TYPE=SMT");
      return dbf_memo_type::memo_smt;
    case 0xF5:
      TK_LOG(2, "MEMO TYPE=FPT");
      return dbf_memo_type::memo_fpt;
    default:
      TK_LOG(2, "MEMO TYPE=NO MEMO");
      return dbf_memo_type::memo_none;
  }
}

bool dbf_is_memo_field(char letter, bool level7) {
  switch (letter) {
    case 'M':
    case 'G':
    case 'P':
    case 'W':
      return true;
    case 'B':
      return level7;
    default:
      return false;
  }
}

dbf_memo_type dbf_memo_type_by_fields(std::uint8_t signature, std::uint8_t table_flags) {
  TK_LOG(2, "Memo fields without a memo file in the header");
  switch (signature) {
    case 0x30:
    case 0x31:
    case 0x32:
      return (table_flags & 0x04) != 0 ? dbf_memo_type::memo_vfp_dbc : dbf_memo_type::memo_vfp;
    case 0x03:
      return dbf_memo_type::memo_old;
    case 0x04:
      return dbf_memo_type::memo_dbase4;
    default:
      return dbf_memo_type::memo_none;
  }
}

std::string_view dbf_memo_extension(dbf_memo_type type) {
  switch (type) {
    case dbf_memo_type::memo_none:
      return {};
    case dbf_memo_type::memo_vfp:
    case dbf_memo_type::memo_fpt:
      return "fpt";
    case dbf_memo_type::memo_vfp_dbc:
      return "dct";
    case dbf_memo_type::memo_smt:
      return "smt";
    case dbf_memo_type::memo_dbase4:
    case dbf_memo_type::memo_old:
      return "dbt";
  }
  return "dbt";
}
