#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "app/error_handler.h"
#include "app/init_conversion.h"
#include "app/talvex_bool_rule.h"
#include "app/talvex_converter.h"
#include "app/talvex_row_formatter.h"
#include "app/talvex_row_helper.h"
#include "dbf/dbf_database.h"
#include "dbf/dbf_error_sink.h"
#include "dbf/dbf_record.h"
#include "dbf/dbf_record_stream.h"
#include "dbf/dbf_recordset.h"
#include "mss/mss_database.h"
#include "mss/mss_dmp_database.h"
#include "mss/mss_dmp_recordset.h"
#include "mss/mss_engine.h"
#include "mss/mss_validator.h"
#include "tk/tk_console.h"
#include "tk/tk_cpu.h"
#include "tk/tk_encoding.h"
#include "tk/tk_interrupt.h"
#include "tk/tk_log.h"
#include "udb/udb_custom_conversion.h"
#include "udb/udb_name_compare.h"

namespace {

void console_line(bool silent, std::FILE* stream, const std::string& text) {
  if (silent) return;
  // One write, so that lines of tables loading at once do not mix.
  std::fputs((text + '\n').c_str(), stream);
  // A run's lines show as they happen also where the output goes to a file or a pipe.
  std::fflush(stream);
}

// Records between two progress reports: often enough for a smooth line, rare enough to cost
// nothing per row.
constexpr std::int64_t k_progress_step = 4096;

// Tables up to this many records are read without a decoding thread: too short to gain.
constexpr std::int64_t k_stream_threshold = 4 * dbf_record_stream::k_batch_records;

// A failure a table survives (a missing memo file) is reported with the table's path while the
// run goes on.
class dbf_error_report : public dbf_error_sink {
 public:
  dbf_error_report() { dbf_set_error_sink(this); }
  ~dbf_error_report() override { dbf_set_error_sink(nullptr); }
  dbf_error_report(const dbf_error_report&) = delete;
  dbf_error_report& operator=(const dbf_error_report&) = delete;

  void report(const std::string& context, const tk_exception& error) override {
    error_handler::instance().report(context, error);
  }
};

}  // namespace

double talvex_seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string talvex_converter::summary_line(const run_totals& t) {
  return "Tables converted: " + std::to_string(t.tables_converted) +
         ", tables failed: " + std::to_string(t.tables_failed) +
         ", rows read: " + std::to_string(t.rows_read) +
         ", rows written: " + std::to_string(t.rows_written) +
         ", rows skipped (deleted): " + std::to_string(t.rows_skipped) +
         ", records failed: " + std::to_string(t.records_failed) +
         ", tables skipped (already there): " + std::to_string(t.tables_skipped);
}

std::unique_ptr<udb_database> talvex_converter::open_target() {
  if (direct) {
    if (!engine().is_initialized()) connect_mssql_server();
    if (engine().is_db_exist(dest)) {
      return engine().open_db(dest, mode() != 0 ? mss_open_append : mss_open_existing);
    }
    return engine().create_db(dest);
  }
  dump_options.creator = "Talvex 2.3 ";
  return engine().create_dump(dest, dump_options);
}

void talvex_converter::operator()() {
  TK_LOG(2, "talvex_converter::operator()");
  const init_conversion run(finished);
  failed = false;
  totals_ = run_totals();
  tables_.clear();
  const auto run_start = std::chrono::steady_clock::now();

  error_handler& errors = error_handler::instance();
  const dbf_error_report memo_reports;
  try {
    dbf_database source(src, dbf_recordset::k_mode_read, code_page);
    const std::unique_ptr<udb_database> target = open_target();
    TK_LOG(1, "After initializing DBs");
    if (auto* server = dynamic_cast<mss_database*>(target.get())) {
      for (const std::string& line : server->drop_leftovers()) tell(line);
    }

    udb_custom_conversion rules;
    if (bool_dbf) rules.add_rule(std::make_unique<talvex_bool_rule>());

    if (console_ && table_list.empty()) table_list = source.tables();
    tables_total = static_cast<int>(table_list.size());
    TK_WLOG(3, "Converting database %s (%d tables)", src, tables_total);
    if (console_) {
      console_line(silent, tk_console_stream(),
                   "Converting database " + tk_to_ansi(src) + "(" + std::to_string(tables_total) +
                       " tables)");
    }

    mss_tn_validator names(table_list, target->get_tables());
    for (const std::u16string& name : table_list) name_map.emplace_back(name, std::u16string());

    std::vector<std::u16string> converted;
    auto* server = dynamic_cast<mss_database*>(target.get());
    const int parallel =
        server != nullptr ? std::min(jobs, static_cast<int>(table_list.size())) : 1;
    if (parallel > 1) {
      convert_in_parallel(source, *server, names, parallel, converted);
    } else {
      convert_in_turn(source, *target, names, converted);
    }
    if (!skip_idx) create_relationships(source, *target, converted);
    create_checks(source, *target, converted);
    describe_tables(source, *target, converted);
    create_views(source, *target, converted);
    tables_done = 0;
    tables_total = 0;
    if (auto* dump = dynamic_cast<mss_dmp_database*>(target.get())) dump->close();
    // A server that went away during the last table is tried once more; when it cannot be
    // reached the run fails as a whole rather than end as if it had succeeded.
    if (auto* server = dynamic_cast<mss_database*>(target.get())) server->reconnect_if_lost();
    if (auto* server = dynamic_cast<mss_database*>(target.get())) {
      tell("Tables are in the schema " + tk_to_utf8_lossy(server->owner()) + " of the database " +
           tk_to_utf8_lossy(server->name()));
    }
    if (direct) {
      const std::string summary = summary_line(totals_);
      TK_LOG(3, "%s", summary);
      if (console_) console_line(silent, tk_console_stream(), summary);
    }
  } catch (const tk_final_exception&) {
  } catch (const tk_exception& e) {
    errors.handle(e, true);
  } catch (const std::exception& e) {
    TK_LOG(3, "ERROR:\n%s", e.what());
    console_line(silent, stderr, e.what());
    failed = true;
  }
  run_seconds_ = talvex_seconds_since(run_start);
}

talvex_converter::run_totals& talvex_converter::run_totals::operator+=(const run_totals& more) {
  tables_converted += more.tables_converted;
  tables_failed += more.tables_failed;
  tables_skipped += more.tables_skipped;
  rows_read += more.rows_read;
  rows_written += more.rows_written;
  rows_skipped += more.rows_skipped;
  records_failed += more.records_failed;
  return *this;
}

talvex_converter::table_totals::outcome talvex_converter::passed_over(const table_run& run) {
  return run.totals.tables_skipped > 0 ? table_totals::outcome::skipped
                                       : table_totals::outcome::missing;
}

void talvex_converter::count_table(const table_run& run, table_totals::outcome result) {
  table_totals record;
  record.name = run.name;
  record.result = result;
  record.rows_read = run.totals.rows_read;
  record.rows_written = run.totals.rows_written;
  record.rows_skipped = run.totals.rows_skipped;
  record.records_failed = run.totals.records_failed;
  record.seconds = talvex_seconds_since(run.started);
  const std::lock_guard lock(counting_);
  totals_ += run.totals;
  if (result == table_totals::outcome::converted) ++totals_.tables_converted;
  if (result == table_totals::outcome::failed) ++totals_.tables_failed;
  ++tables_done;
  tables_.push_back(std::move(record));
}

void talvex_converter::convert_in_turn(dbf_database& source, udb_database& target,
                                       mss_tn_validator& names,
                                       std::vector<std::u16string>& converted) {
  for (const std::u16string& name : table_list) {
    current_table = name;
    records_total = 0;
    records_done = 0;
    table_run run{name};
    run.shown = true;
    try {
      if (convert_table(source, target, names, run)) {
        count_table(run, table_totals::outcome::converted);
        converted.push_back(name);
      } else {
        count_table(run, passed_over(run));
      }
    } catch (const tk_exception& e) {
      count_table(run, table_totals::outcome::failed);
      error_handler::instance().report(tk_to_ansi(name), e);
    } catch (const tk_final_exception&) {
      // The user's Abort: the table counts as failed, and the run ends.
      count_table(run, table_totals::outcome::failed);
      throw;
    }
    if (progress_ != nullptr) progress_->table_end();
  }
}

bool talvex_converter::convert_table(dbf_database& source, udb_database& target,
                                     mss_tn_validator& names, table_run& run) {
  const std::u16string& name = run.name;
  // The source and the names are shared with the tables loading beside this one.
  std::unique_lock preparing(preparing_);
  if (console_ && !source.is_table_exist(name)) {
    console_line(silent, stderr, "Table " + tk_to_ansi(name) + " not exists");
    return false;
  }
  const std::unique_ptr<dbf_recordset> table = source.get_table(name, dbf_recordset::k_mode_read);

  // A name used before is restricted, so a second table of that name gets a generated one.
  const bool accepted = names.is_acceptable(name);
  const std::u16string target_name = accepted ? name : names.get_safe_name(name);

  if (target.is_table_exist(target_name)) {
    if (mode() == 2) {
      ++run.totals.tables_skipped;
      return false;
    }
    if (mode() == 1) target.delete_tab(target_name);
  }

  const udb_indexes indexes = skip_idx ? udb_indexes() : table->indexes();
  std::unique_ptr<udb_recordset> written =
      target.create_table(target_name, table->schema(), indexes);

  if (mode() == 3 && !bool_dbf && !table->schema().conform_to(written->schema())) {
    throw tk_exception("The structure of data source does not conform to the destination table.",
                       0);
  }
  if (!accepted) {
    TK_WLOG(2, "Store generated table name '%s'", target_name);
    target.names_map().add_tn_mapping(name, target_name);
    TK_WLOG(1, "udb_validator::add_existing_name(%s)", target_name);
    names.add_existing_name(target_name);
  }
  names.add_restricted_name(target_name);
  preparing.unlock();

  run.records_total = table->record_count();
  if (run.shown) records_total = run.records_total;
  if (const std::int64_t past = table->records_past_count(); past > 0) {
    TK_WLOG(3, "Converting table %s (%d records; %lld more past the record count are not read)",
            name, static_cast<int>(run.records_total), static_cast<long long>(past));
  } else {
    TK_WLOG(3, "Converting table %s (%d records)", name, static_cast<int>(run.records_total));
  }
  if (console_) {
    console_line(silent, tk_console_stream(),
                 "Converting table " + tk_to_ansi(name) + "(" + std::to_string(run.records_total) +
                     " records)");
  }
  const run_totals before = run.totals;
  // A table not loaded whole does not stay behind.
  const auto abandon = [&] {
    written.reset();
    target.discard_table(target_name);
  };
  const auto load = [&] {
    const std::int64_t written_before = run.totals.rows_written;
    try {
      if (run.records_total > 0 && !tab_def) copy_records(*table, *written, run);
      // Ends the table's load; a server writer checks here that every row sent arrived.
      written->flush();
    } catch (const tk_exception&) {
      // Of a failed table, count only what the writer knows arrived.
      if (written->rows_written() >= 0)
        run.totals.rows_written = written_before + written->rows_written();
      abandon();
      throw;
    } catch (const tk_final_exception&) {
      // The user's Abort in the error dialog.
      abandon();
      throw;
    }
  };
  load();
  // Indexes come after the rows: the load does not maintain them, and whether the rows allow
  // a unique one is known only now. The writer is closed first, so a script's table ends
  // before its indexes.
  const udb_schema columns = written->schema();
  written.reset();
  if (!target.publish_table(target_name)) {
    // The existing table refused some of the rows: they go in one by one, so that each
    // refused record is reported and the others arrive.
    report_server_findings(target, name);
    run.totals = before;
    run.records_done = 0;
    if (run.shown) records_done = 0;
    written = target.append_table(target_name);
    load();
    written.reset();
  }
  target.create_indexes(target_name, columns, indexes);
  report_server_findings(target, name);
  return true;
}

void talvex_converter::tell(const std::string& line) {
  TK_LOG(3, "%s", line);
  if (console_) console_line(silent, tk_console_stream(), line);
}

void talvex_converter::report_server_findings(udb_database& target, const std::u16string& context) {
  auto* server = dynamic_cast<mss_database*>(&target);
  if (server == nullptr) return;
  for (const std::string& report : server->take_reports()) {
    error_handler::instance().report(tk_to_ansi(context), tk_exception(report, 0));
  }
}

void talvex_converter::create_relationships(const dbf_database& source, udb_database& target,
                                            const std::vector<std::u16string>& converted) {
  const auto done = [&](const std::u16string& table) {
    return std::any_of(converted.begin(), converted.end(), [&](const std::u16string& name) {
      return udb_names_equal_nocase(name, table);
    });
  };
  udb_relationships keys;
  for (const udb_relationship& fk : source.relationships()) {
    if (done(fk.fk_table) && done(fk.pk_table)) {
      keys.push_back(fk);
    } else {
      TK_WLOG(3, "Foreign key %s is left out: its tables were not both converted", fk.name);
    }
  }
  if (keys.empty()) return;
  target.create_relationships(keys);
  report_server_findings(target, {});
}

void talvex_converter::copy_records(dbf_recordset& source, udb_recordset& target, table_run& run) {
  const auto report = [&run](std::int64_t record_no, const tk_exception& e) {
    ++run.totals.records_failed;
    error_handler::instance().report(error_handler::record_context(run.name, record_no), e);
  };
  // A writer that sends rows in batches reports a refused row after later appends, up to its
  // flush, which comes after this function: the handler holds nothing of this frame.
  target.set_reject_handler([&run, report](std::int64_t record_no, const tk_exception& e) {
    --run.totals.rows_written;
    report(record_no, e);
  });
  // False once the user asked the run to stop: the rows sent so far are kept. `append`
  // writes the row.
  const auto copy = [&](bool present, bool deleted, const auto& append) {
    if (tk_interrupted()) return false;
    ++run.totals.rows_read;
    if (present && skip_del && deleted) {
      ++run.totals.rows_skipped;
    } else if (present) {
      try {
        target.set_record_no(run.records_done + 1);
        append();
        ++run.totals.rows_written;
      } catch (const tk_exception& e) {
        if (e.ends_table()) throw;
        report(run.records_done + 1, e);
      }
    }
    ++run.records_done;
    if (run.shown) {
      records_done = run.records_done;
      if (progress_ != nullptr && records_done % k_progress_step == 0) {
        progress_->records(records_done, records_total);
      }
    }
    return true;
  };
  const auto copy_record = [&](dbf_record* record) {
    return copy(record != nullptr, record != nullptr && record->is_deleted(),
                [&] { target.append_record(*record); });
  };
  source.reset();
  bool whole = true;
  auto* script = dynamic_cast<mss_dmp_recordset*>(&target);
  // While detail traces are written, records are read one by one, so that the trace tells
  // each record's story in order. Otherwise a script's rows are written from the records'
  // bytes, and other writers' records of large tables are decoded a batch ahead on a second
  // thread.
  if (tk_log_gate > 2 && script != nullptr && source.layouts().size() == target.schema().size()) {
    talvex_row_formatter values(source, target.schema());
    std::unique_ptr<dbf_record> decoded;  // for a row the script does not take as values
    // Writes the row of the record at `position`: `append` writes it, or answers false when
    // the script does not take it as values yet; `unreadable` then tells how many of its
    // fields held no number.
    const auto write_row = [&](std::int64_t position, const auto& append, const auto& unreadable) {
      const auto report_unreadable = [&] {
        if (unreadable() != 0) source.report_unreadable(position, unreadable());
      };
      bool taken = false;
      try {
        taken = append();
      } catch (...) {
        report_unreadable();
        throw;
      }
      report_unreadable();
      if (taken) return;
      if (decoded == nullptr) decoded = source.make_record();
      source.fill_record(*decoded, position);
      script->append_record(*decoded);
    };
    const auto copy_here = [&](std::int64_t position) {
      const char* bytes = source.record_bytes(position);
      values.set_record(bytes);
      const bool more = copy(true, bytes[0] == '*', [&] {
        write_row(
            position, [&] { return script->append_values(values, values.record_layout()); },
            [&] { return values.unreadable(); });
      });
      source.set_position(position + 1);
      return more;
    };
    // With a second processor, runs of rows are formatted on a helper thread, once the script
    // takes rows of values (after the table's first row). Its rows are written in order.
    const bool helper_pays = tk_log_gate > 3 && tk_usable_cpus() >= 2;
    std::unique_ptr<talvex_row_helper> helper;
    // The caller's run: as many rows as the helper's last run held (long rows end a helper's
    // run early, and the two threads should take turns at like shares).
    std::int64_t share = 0;
    const std::int64_t count = source.record_count();
    for (std::int64_t position = 0; position < count && whole;) {
      if (helper == nullptr) {
        whole = copy_here(position++);
        if (helper_pays && count - position >= 4 && script->takes_values(values.record_layout())) {
          helper = std::make_unique<talvex_row_helper>(source, *script, skip_del);
          share = helper->run_records();
        }
        continue;
      }
      const std::int64_t mine = std::min(share, count - position);
      const std::int64_t theirs = std::min(helper->run_records(), count - position - mine);
      if (theirs > 0) helper->start(source, position + mine, theirs);
      for (const std::int64_t end = position + mine; position < end && whole;)
        whole = copy_here(position++);
      if (theirs == 0 || !whole) continue;
      const std::vector<talvex_row_helper::row>& rows = helper->finish();
      share = std::max<std::int64_t>(1, static_cast<std::int64_t>(rows.size()));
      std::size_t start = 0;
      for (const talvex_row_helper::row& row : rows) {
        const std::string_view text = helper->text().substr(start, row.end - start);
        start = row.end;
        whole = copy(true, row.deleted, [&] {
          write_row(
              position,
              [&] {
                if (row.error != nullptr) std::rethrow_exception(row.error);
                return script->append_formatted(text, values.record_layout());
              },
              [&] { return row.unreadable; });
        });
        source.set_position(++position);
        if (!whole) break;
      }
    }
  } else if (tk_log_gate > 2 && source.record_count() > k_stream_threshold) {
    dbf_record_stream stream(source);
    while (dbf_record* record = stream.next()) {
      if (!(whole = copy_record(record))) break;
    }
  } else {
    for (; !source.is_eof() && whole; source.next()) {
      TK_LOG(1, "Converting %d record", static_cast<int>(run.records_done + 1));
      whole = copy_record(static_cast<dbf_record*>(source.get_item()));
    }
  }
  if (!whole) {
    target.flush();
    throw tk_exception("The run was interrupted: table " + tk_to_ansi(run.name) +
                           " was cut after " + std::to_string(run.records_done) + " of " +
                           std::to_string(run.records_total) + " records.",
                       1);
  }
}
