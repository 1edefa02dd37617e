#include "dbf/dbf_database.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <optional>

#include "dbf/dbf_backlink.h"
#include "dbf/dbf_codepage_table.h"
#include "dbf/dbf_container_tables.h"
#include "dbf/dbf_create_field.h"
#include "dbf/dbf_exception.h"
#include "dbf/dbf_fn_validator.h"
#include "dbf/dbf_index_files.h"
#include "dbf/dbf_paths.h"
#include "dbf/old_memo_file.h"
#include "tk/tk_encoding.h"
#include "tk/tk_log.h"
#include "tk/tk_memory_file.h"
#include "tk/tk_path_probe.h"
#include "tk/tk_string.h"
#include "tk/tk_temp_chdir.h"

dbf_database::dbf_database(std::u16string folder, int a_mode, int cp)
    : udb_database(std::move(folder), 0, false), mode_(a_mode), cp_(cp) {
  TK_LOG(2, "dbf_database::ctor");
  dbf_codepage_table();
  // A container file as the source means its tables only, from its folder.
  std::string only;
  if (const std::filesystem::path named(tk_to_utf8(name_));
      tk_wstring::ends_with(name_, u".dbc", false) && std::filesystem::is_regular_file(named)) {
    only = named.string();
    name_ = tk_from_utf8(named.has_parent_path() ? named.parent_path().string() : ".");
  }
  {
    const tk_temp_chdir scan(name_);
    TK_ASSERT(scan.succeeded());
    std::vector<std::u16string> files;
    scan.find_files(u"*.dbf", files);
    tables_ = dbf_table_names(files);
    for (std::size_t i = 0; i < files.size(); ++i) {
      files_.emplace(tables_[i], files[i]);
      TK_WLOG(2, "Find table: '%s'", tables_[i]);
    }
  }
  // Paths below are taken from the current folder again, as the folder's own name is.
  take_containers(only);
  // Single-tag index files of no table here describe nothing the conversion can carry.
  for (const std::string& orphan : dbf_orphan_index_files(tk_to_utf8(name_))) {
    TK_LOG(3, "Index file %s belongs to no table of the folder and is left out", orphan);
  }
}

dbf_database::~dbf_database() = default;

void dbf_database::take_containers(const std::string& only) {
  const std::string folder = tk_to_utf8(name_);
  containers_ = std::make_unique<dbf_container_set>(folder, cp_, only);
  if (!only.empty()) {
    tables_.clear();
    files_.clear();
  }
  std::error_code error;
  for (const dbf_container_table& table : containers_->tables()) {
    // The folder's file of this table takes the container's name, in its place in the list.
    auto at = tables_.end();
    for (auto it = tables_.begin(); it != tables_.end(); ++it) {
      const auto file = files_.find(*it);
      if (file != files_.end() &&
          std::filesystem::equivalent(tk_to_utf8(get_full_table_name(file->second)), table.path,
                                      error)) {
        files_.erase(file);
        at = tables_.erase(it);
        break;
      }
    }
    TK_WLOG(2, "Container table: '%s'", table.name);
    tables_.insert(at, table.name);
    container_files_[table.name] = {table.path, table.entry};
  }
  relationships_ = containers_->relationships();
  // A free table that names a container which is not here converts as it stands.
  for (const auto& [name, file] : files_) {
    const std::string backlink = dbf_backlink_of(tk_to_utf8(get_full_table_name(file)));
    if (backlink.empty()) continue;
    std::string relative = backlink;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    if (!tk_resolve_path_nocase(folder + "/" + relative)) {
      TK_WLOG(3,
              "Table %s names the database container %s, which is absent: it converts as a "
              "free table",
              name, tk_from_utf8_lossy(backlink));
    }
  }
}

std::u16string dbf_database::get_full_table_name(const std::u16string& name) const {
  TK_WLOG(2, "dbf_database::get_full_table_name(%s)", name);
  std::u16string path = name_;
  if (!path.empty() && path.back() != u'/') path += u'/';
  path += name;
  if (!tk_wstring::ends_with(name, u".dbf", false) &&
      !tk_wstring::ends_with(name, u".dbt", false)) {
    path += u".dbf";
  }
  return path;
}

const dbf_dbc_table* dbf_database::container_entry(const std::u16string& name) const {
  const auto owned = container_files_.find(name);
  return owned != container_files_.end() ? owned->second.entry : nullptr;
}

std::string dbf_database::resolve(const std::u16string& name) const {
  if (const auto owned = container_files_.find(name); owned != container_files_.end())
    return owned->second.path;
  if (const auto listed = files_.find(name); listed != files_.end()) {
    return tk_to_utf8(get_full_table_name(listed->second));
  }
  const std::string path = tk_to_utf8(get_full_table_name(name));
  return tk_resolve_path_nocase(path).value_or(path);
}

std::unique_ptr<udb_recordset> dbf_database::get_table(const std::u16string& name) {
  return get_table(name, dbf_recordset::k_mode_read);
}

std::unique_ptr<dbf_recordset> dbf_database::get_table(const std::u16string& name, int a_mode) {
  TK_WLOG(2, "dbf_database::get_table(%s)", name);
  const std::string path = resolve(name);
  TK_ASSERT(tk_is_file_exist(path));
  const auto owned = container_files_.find(name);
  return std::make_unique<dbf_recordset>(
      tk_from_utf8(path), a_mode, cp_, this,
      owned != container_files_.end() ? owned->second.entry : nullptr);
}

bool dbf_database::get_query(const std::u16string&, std::u16string&) {
  return false;
}

bool dbf_database::test_query(const std::u16string&) {
  return false;
}

std::unique_ptr<udb_recordset> dbf_database::create_table(const std::u16string& name,
                                                          const udb_schema& schema,
                                                          const udb_indexes&) {
  return create_table(name, schema);
}

std::unique_ptr<dbf_recordset> dbf_database::create_table(const std::u16string& name,
                                                          const udb_schema& schema) {
  TK_WLOG(2, "dbf_database::create_table(%s)", name);
  if (is_table_exist(name)) return get_table(name, dbf_recordset::k_mode_append);

  dbf_fn_validator validator(schema);
  std::vector<std::array<unsigned char, 32>> descriptors;
  std::uint64_t record_length = 1;
  bool has_memo = false;
  for (const t_ftd& column : schema) {
    t_ftd named = column;
    if (!validator.is_acceptable(named.name)) {
      named.name = validator.get_safe_name(named.name);
      TK_WLOG(1, "udb_validator::add_existing_name(%s)", named.name);
      validator.add_existing_name(named.name);
    }
    std::array<unsigned char, 32> fd =
        dbf_create_field(named, static_cast<std::uint32_t>(record_length));
    const std::uint32_t width = dbf_get_size_1(fd.data());
    const char letter = static_cast<char>(fd[11]);
    has_memo = has_memo || letter == 'M';
    record_length += (letter == 'M' || letter == 'G' || letter == 'P') ? 10 : width;
    descriptors.push_back(fd);
  }
  const std::uint64_t header_length = 32 * descriptors.size() + 33;
  // Both lengths are 16-bit in the header: a wider table cannot be written at all.
  if (header_length > 0xFFFF || record_length > 0xFFFF) {
    throw dbf_exception("Too many or too wide fields for a DBF table");
  }

  const std::string path = tk_to_utf8(get_full_table_name(name));
  {
    tk_memory_file file(path, tk_file_mode_write | tk_file_mode_truncate);
    std::array<unsigned char, 32> header{};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    header[0] = has_memo ? 0x83 : 0x03;
    header[1] = static_cast<unsigned char>(local.tm_year % 100);
    header[2] = static_cast<unsigned char>(local.tm_mon + 1);
    header[3] = static_cast<unsigned char>(local.tm_mday);
    header[8] = static_cast<unsigned char>(header_length);
    header[9] = static_cast<unsigned char>(header_length >> 8);
    header[10] = static_cast<unsigned char>(record_length);
    header[11] = static_cast<unsigned char>(record_length >> 8);
    file.put_at(0, header.data(), header.size());
    for (std::size_t i = 0; i < descriptors.size(); ++i) {
      file.put_at(32 * (i + 1), descriptors[i].data(), 32);
    }
    const unsigned char terminator = 0x0D;
    file.put_at(static_cast<std::size_t>(header_length - 1), &terminator, 1);
  }
  if (has_memo) create_memo_file(name);
  tables_.push_back(dbf_table_name_of(tk_from_utf8(path)));
  return get_table(name, dbf_recordset::k_mode_append);
}

void dbf_database::create_memo_file(const std::u16string& name) {
  TK_WLOG(2, "dbf_database::create_memo_file(%s)", name);
  std::u16string memo_name = name;
  if (!tk_wstring::ends_with(memo_name, u".dbt", false)) memo_name += u".dbt";
  const std::string path = tk_to_utf8(get_full_table_name(memo_name));
  TK_LOG(1, "Full memo file name: %s", path);
  old_memo_file memo(path, dbf_memo_file::k_mode_create);
}

bool dbf_database::delete_tab(const std::u16string& name) {
  TK_WLOG(2, "dbf_database::delete_tab(%s)", name);
  if (name.empty()) return false;
  udb_database::delete_tab(name);
  const std::string path = resolve(name);
  files_.erase(name);
  if (!tk_is_file_exist(path)) TK_LOG(2, "File '%s' not exists", path);
  if (::unlink(path.c_str()) != 0) throw tk_exception_ex("Cannot delete file: ", errno, 0);
  for (const char* ext : {"dbt", "fpt", "smt", "dct"}) {
    if (const auto sibling = dbf_sibling_path(path, ext)) ::unlink(sibling->c_str());
  }
  return true;
}
