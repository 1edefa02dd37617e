#pragma once

// Visual FoxPro local view SQL translated into the SELECT of a T-SQL CREATE VIEW, with the
// names the source gives tables and fields replaced by their names on the server, and the
// order in which views that read each other must be created.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// What a column holds, as far as the translation needs it: EMPTY() tests differ by type, and
// some Visual FoxPro operators mean something else on text or dates. unknown is always
// allowed; a construct that needs the type then fails.
enum class mss_view_kind { unknown, text, number, date, logical };

struct mss_view_column {
  std::u16string field;   // long name as Visual FoxPro SQL spells it (any case)
  std::u16string column;  // name on the server
  mss_view_kind kind = mss_view_kind::unknown;
};

// A table or an already translated view the SQL may read.
struct mss_view_source {
  std::u16string name;                   // as Visual FoxPro SQL spells it (any case), without "db!"
  std::u16string target;                 // name on the server, plain or bracketed
  std::vector<mss_view_column> columns;  // in the table's order (what "*" gives)

  mss_view_source& add(std::u16string_view field, std::u16string_view column,
                       mss_view_kind kind = mss_view_kind::unknown);
  // The column of `field`, case ignored; null when the source has none.
  const mss_view_column* find(std::u16string_view field) const;
};

// Names the translation needs: for each table (as Visual FoxPro SQL spells it,
// case-insensitive) its target name, and for each of its fields (long name, case-insensitive)
// its target column name.
struct mss_view_names {
  std::vector<mss_view_source> sources;

  // Adds a source and returns it for its columns.
  mss_view_source& add(std::u16string_view name, std::u16string_view target);
  // The source of `name`, case ignored; null when there is none.
  const mss_view_source* find(std::u16string_view name) const;
};

struct mss_view_translation {
  std::u16string sql;                // CREATE VIEW body (the SELECT), T-SQL; empty when it failed
  std::vector<std::u16string> uses;  // target tables/views it reads (for dependency order)
  std::vector<std::string> notes;    // level-3 remarks (e.g. "ORDER BY dropped: ...")
  std::string failure;               // why it does not translate (empty when it does)
  // The view's result columns: field = the name Visual FoxPro gives the column, column = its
  // name in the T-SQL view. A view read by later views is added to mss_view_names with them.
  std::vector<mss_view_column> columns;
};

// Translates one local view's SQL (UTF-8). Never throws for any input: what it cannot
// translate faithfully comes back as `failure`.
mss_view_translation mss_translate_vfp_view(std::string_view vfp_sql, const mss_view_names& names);

// Translates a field or row validation rule of `table` (an xBase condition, UTF-8) into the
// condition of a T-SQL CHECK constraint: the view's expression rules, without subqueries or
// aggregates. Never throws; what does not translate comes back as `failure`.
mss_view_translation mss_translate_vfp_condition(std::string_view rule,
                                                 const mss_view_source& table);

// Orders views so that a view comes after the views it uses; cycles or unknowns keep input
// order. `view_names` are the views' target names, index for index with `views`.
std::vector<std::size_t> mss_view_order(const std::vector<mss_view_translation>& views,
                                        const std::vector<std::u16string>& view_names);
