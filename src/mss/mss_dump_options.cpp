#include "mss/mss_dump_options.h"

#include "tk/tk_log.h"

mss_dump_options::mss_dump_options() {
  TK_LOG(2, "mss_dump_options::ctor1");
}
