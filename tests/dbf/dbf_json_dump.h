#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dbf/dbf_recordset.h"
#include "dbf_test_util.h"

// Our reader's values of whole tables as JSON, for comparing with another reader.
inline void dbf_json_string(std::string& out, const std::string& utf8) {
  out += '"';
  for (const char c : utf8) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", u);
      out += esc;
    } else {
      out += c;
    }
  }
  out += '"';
}

inline void dbf_json_value(std::string& out, const udb_field& v, char letter) {
  char buf[64];
  switch (v.vt()) {
    case VT_EMPTY:
    case VT_NULL:
      out += "null";
      return;
    case VT_BSTR:
      dbf_json_string(out, tk_to_utf8(v.text()));
      return;
    case VT_BOOL:
      out += v.to_bool() ? "true" : "false";
      return;
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
      out += "{\"int\":\"";
      out += std::to_string(v.to_i8());
      out += "\"}";
      return;
    case VT_R4:
      std::snprintf(buf, sizeof buf, "%.9g", v.to_double());
      out += std::string("{\"r4\":\"") + buf + "\"}";
      return;
    case VT_R8:
      std::snprintf(buf, sizeof buf, "%.17g", v.to_double());
      out += std::string("{\"num\":\"") + buf + "\"}";
      return;
    case VT_DATE: {
      const ole_systemtime& st = v.systemtime();
      if (letter == 'T') {
        std::snprintf(buf, sizeof buf, "{\"datetime\":\"%04d-%02d-%02d %02d:%02d:%02d\"}", st.year,
                      st.month, st.day, st.hour, st.minute, st.second);
      } else {
        std::snprintf(buf, sizeof buf, "{\"date\":\"%04d-%02d-%02d\"}", st.year, st.month, st.day);
      }
      out += buf;
      return;
    }
    default:
      out += "{\"num\":\"" + v.to_string() + "\"}";
      return;
  }
}

inline std::string dbf_json_table(dbf_recordset& rs) {
  std::string out = "{\"path\":";
  dbf_json_string(out, rs.path());
  out += ",\"code_page\":";
  out += std::to_string(rs.get_codepage());
  out += ",\"char_table\":[";
  const dbf_char_table& chars = dbf_char_table::for_code_page(rs.get_codepage());
  for (int b = 0; b < 256; ++b) {
    if (b) out += ',';
    out += std::to_string(static_cast<int>(chars[static_cast<std::uint8_t>(b)]));
  }
  out += "],\"fields\":[";
  for (std::size_t i = 0; i < rs.schema().size(); ++i) {
    if (i) out += ',';
    dbf_json_string(out, tk_to_utf8(rs.schema()[i].name));
  }
  out += "],\"records\":[";
  bool first = true;
  for (rs.reset(); !rs.is_eof(); rs.next()) {
    auto& r = static_cast<dbf_record&>(*rs.get_item());
    out += first ? "" : ",";
    first = false;
    out += "{\"flag\":";
    out += std::to_string(r.flag());
    out += ",\"deleted\":";
    out += std::string(r.is_deleted() ? "true" : "false") + ",\"values\":[";
    for (std::size_t i = 0; i < r.size(); ++i) {
      if (i) out += ',';
      dbf_json_value(out, r[i], rs.descriptors()[i].field_type());
    }
    out += "]}";
  }
  out += "]}";
  return out;
}

// Runs a command and collects its standard output; returns its exit status.
inline int dbf_run(const std::string& command, std::string& output) {
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Debian's interpreter, where python3-dbfread is installed (not a virtual environment's).
inline const char* dbf_python = "/usr/bin/python3";
