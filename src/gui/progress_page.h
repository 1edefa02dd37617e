// The progress page: the conversion on one worker thread, shown by a 200 ms timer.
#pragma once

#include <atomic>
#include <thread>

#include "gui/wizard_page.h"

class QLabel;
class QProgressBar;
class QTimer;

class progress_page : public wizard_page {
  Q_OBJECT
 public:
  explicit progress_page(wizard_shell* shell);
  ~progress_page() override;
  int nextId() const override;
  bool isComplete() const override { return false; }

  bool is_running() const { return worker_.joinable(); }
  // Asks the run to stop between records; the wizard closes when it has.
  void stop_and_close();
  // The bar's value for the counters.
  static int percent(int tables_done, int tables_total, long long records_done,
                     long long records_total);

 protected:
  void page_init() override;

 private:
  void on_timer();
  void wait_for_worker();
  QLabel* status_;
  QProgressBar* bar_;
  QTimer* timer_;
  std::thread worker_;
  std::atomic<bool> done_{false};
  bool close_when_done_ = false;
  bool started_ = false;
};
