// Tables converted several at a time on a server: each job takes the next table on a
// connection of its own. A failure that ends the run stops the other jobs between two records,
// and once all have stopped each table's end is told in table order.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <thread>

#include "app/error_handler.h"
#include "app/talvex_converter.h"
#include "mss/mss_database.h"
#include "tk/tk_cpu.h"
#include "tk/tk_encoding.h"
#include "tk/tk_interrupt.h"
#include "tk/tk_log.h"

namespace {

// How a job left a table.
struct table_end {
  std::exception_ptr failure;  // one that ends the run, told once every job has stopped
  bool converted = false;
  bool aborted = false;  // the user's Abort in the error dialog
};

// A failure that would end the run, told while another one ends it: the run is already
// stopping, so it is only reported.
class told_failure : public tk_exception {
 public:
  explicit told_failure(const tk_exception& e) : tk_exception(e.message(), 0) {
    set_code(e.code());
  }
};

std::string seconds_text(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", seconds);
  return text;
}

}  // namespace

int mssql_converter_impl::default_jobs() {
  return std::clamp(tk_usable_cpus(), 1, k_max_default_jobs);
}

std::vector<std::u16string> talvex_converter::running_tables() const {
  const std::lock_guard lock(counting_);
  return running_;
}

void talvex_converter::convert_in_parallel(dbf_database& source, mss_database& target,
                                           mss_tn_validator& names, int jobs,
                                           std::vector<std::u16string>& converted) {
  // The first job loads on the target's own connection.
  std::vector<std::unique_ptr<mss_database>> siblings;
  for (int i = 1; i < jobs; ++i) {
    try {
      siblings.push_back(target.open_sibling());
    } catch (const tk_exception& e) {
      // A server that takes fewer connections loads with those it gave.
      TK_LOG(3, "Connection %d of %d could not be made, the tables load on %d: %s", i + 1, jobs, i,
             e.what());
      break;
    }
  }
  if (siblings.empty()) {
    convert_in_turn(source, target, names, converted);
    return;
  }
  TK_LOG(3, "Converting %d tables at a time", static_cast<int>(siblings.size()) + 1);

  // A stop this run asks for is its own: the next run starts without it.
  std::atomic<bool> stopped_here{false};
  const auto stop_all = [&] {
    if (tk_interrupt_signal.exchange(1) == 0) stopped_here = true;
  };
  struct restore_signal {
    std::atomic<bool>& stopped;
    ~restore_signal() {
      if (stopped) tk_interrupt_signal.store(0);
    }
  } const restore{stopped_here};

  error_handler& errors = error_handler::instance();
  std::vector<table_end> ends(table_list.size());
  const auto convert_one = [&](mss_database& db, std::size_t index) {
    table_end& end = ends[index];
    table_run run{table_list[index]};
    {
      const std::lock_guard lock(counting_);
      running_.push_back(run.name);
    }
    struct leave_running {
      talvex_converter& c;
      const std::u16string& name;
      ~leave_running() {
        const std::lock_guard lock(c.counting_);
        std::erase(c.running_, name);
      }
    } const leave{*this, run.name};
    try {
      end.converted = convert_table(source, db, names, run);
      count_table(run, end.converted ? table_totals::outcome::converted : passed_over(run));
      if (end.converted) {
        tell("Table " + tk_to_ansi(run.name) + ": " + std::to_string(run.totals.rows_written) +
             " rows written in " + seconds_text(talvex_seconds_since(run.started)) + " s");
      }
    } catch (const tk_exception& e) {
      count_table(run, table_totals::outcome::failed);
      if (e.level() == 0) {
        try {
          errors.report(tk_to_ansi(run.name), e);
        } catch (const tk_final_exception&) {
          end.aborted = true;
          stop_all();
        }
      } else {
        end.failure = std::current_exception();
        stop_all();
      }
    } catch (const tk_final_exception&) {
      count_table(run, table_totals::outcome::failed);
      end.aborted = true;
      stop_all();
    } catch (...) {
      end.failure = std::current_exception();
      stop_all();
    }
  };
  std::atomic<std::size_t> next{0};
  {
    const auto job = [&](mss_database& db) {
      while (!tk_interrupted()) {
        const std::size_t index = next++;
        if (index >= table_list.size()) break;
        convert_one(db, index);
      }
    };
    std::vector<std::jthread> threads;
    for (const std::unique_ptr<mss_database>& db : siblings) {
      threads.emplace_back(job, std::ref(*db));
    }
    job(target);
  }
  for (const std::unique_ptr<mss_database>& db : siblings) target.adopt(*db);
  // The tables in the order of the list, whichever job finished first.
  std::stable_sort(
      tables_.begin(), tables_.end(), [&](const table_totals& a, const table_totals& b) {
        const auto at = [&](const std::u16string& name) {
          return std::find(table_list.begin(), table_list.end(), name) - table_list.begin();
        };
        return at(a.name) < at(b.name);
      });

  bool aborted = false;
  std::vector<std::size_t> ending;
  for (std::size_t i = 0; i < ends.size(); ++i) {
    if (ends[i].converted) converted.push_back(table_list[i]);
    if (ends[i].failure) ending.push_back(i);
    aborted = aborted || ends[i].aborted;
  }
  // Each failure that stopped a table is told; the last one ends the run as it would have
  // alone, unless the user's Abort already did.
  for (std::size_t k = 0; k < ending.size(); ++k) {
    const std::size_t i = ending[k];
    try {
      std::rethrow_exception(ends[i].failure);
    } catch (const tk_exception& e) {
      if (k + 1 == ending.size() && !aborted) {
        errors.report(tk_to_ansi(table_list[i]), e);
      } else {
        errors.report(tk_to_ansi(table_list[i]), told_failure(e));
      }
    }
  }
  if (aborted) throw tk_final_exception();
}
