// Counts heap allocations to show that parsing numbers and dates stays on the stack.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "ole/ole_date.h"
#include "ole/ole_variant.h"

namespace {
std::atomic<long> g_allocations{0};
}

// Kept out of line so the compiler does not pair a new expression with the free() inside.
[[gnu::noinline]] void* operator new(std::size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
  std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

TEST(ole_allocation, parsing_numbers_and_dates_into_a_value_allocates_nothing) {
  ole_variant v;
  const std::pair<const char*, ole_vartype> inputs[] = {
      {"  123456", VT_I4},
      {"-9223372036854775808", VT_I8},
      {"12345.6789", VT_DECIMAL},
      {"0.0000000000000000000000000001", VT_DECIMAL},
      {"-922337203685477.5808", VT_CY},
      {"12,50", VT_R8},
      {"20170612", VT_DATE},
      {"2017-06-12 10:20:30.25", VT_DATE},
      {"June 12, 2017 10:20", VT_DATE},
      {"T", VT_BOOL},
  };
  const long before = g_allocations.load();
  for (const auto& [text, kind] : inputs) v.assign_from_string(text, kind);
  v.assign_from_wstring(u"123.45", VT_DECIMAL);
  v.assign_from_wstring(u"20170612", VT_DATE);
  EXPECT_EQ(g_allocations.load() - before, 0);
  EXPECT_EQ(v.to_string(), "2017-06-12");
}

TEST(ole_allocation, refilling_text_reuses_the_buffer) {
  ole_variant v;
  v.set_text(u"a text long enough to need the heap for its characters");
  const long before = g_allocations.load();
  v.set_i4(1);
  v.set_text(u"another text, still shorter than the first one was");
  v.assign_from_string("short", VT_BSTR);
  EXPECT_EQ(g_allocations.load() - before, 0);
}

}  // namespace
