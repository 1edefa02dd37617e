// Cost per value of parsing field text into a value that is refilled in place, as the DBF
// reader does for every field of every record.
#include <benchmark/benchmark.h>

#include <array>
#include <string_view>

#include "ole/ole_date.h"
#include "ole/ole_variant.h"

namespace {

template <std::size_t N>
void parse_each(benchmark::State& state, const std::array<std::string_view, N>& texts,
                ole_vartype kind) {
  ole_variant value;
  for (auto _ : state) {
    for (const std::string_view text : texts) {
      value.assign_from_string(text, kind);
      benchmark::DoNotOptimize(value);
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * N));
}

constexpr std::array<std::string_view, 8> k_integers = {
    "42", "  -1234567", "2147483647", "0", "  987654", "-5", "100000", "31"};
constexpr std::array<std::string_view, 8> k_decimals = {
    "123.45", "-0.0001", "  99999999.99",           "7.9228162514264337593543950335",
    "0",      "1,5",     "-123456789012345678.123", "42"};
constexpr std::array<std::string_view, 8> k_currencies = {
    "2.5", "-922337203685477.5808", "  1234.5678", "0.0001", "19.99", "-3", "1000000", "0,05"};
constexpr std::array<std::string_view, 8> k_doubles = {
    "12,50",         "3.141592653589793",       " -1.5e-10", "0",
    "123456789.125", "2.2250738585072014e-308", "1e300",     "-0.1"};
constexpr std::array<std::string_view, 8> k_dates = {
    "20170612",   "20170612143000", "2017-06-12", "2017/06/12 10:20:30.25",
    "31.12.2017", "12:30",          "02:30 PM",   "2017-06-12 10:20"};

void integer(benchmark::State& state) {
  parse_each(state, k_integers, VT_I4);
}
void decimal(benchmark::State& state) {
  parse_each(state, k_decimals, VT_DECIMAL);
}
void currency(benchmark::State& state) {
  parse_each(state, k_currencies, VT_CY);
}
void floating(benchmark::State& state) {
  parse_each(state, k_doubles, VT_R8);
}
void date(benchmark::State& state) {
  parse_each(state, k_dates, VT_DATE);
}

// Printing is the other half of every value's way into a script.
void print_decimal(benchmark::State& state) {
  const ole_variant value = ole_variant::from_string("-12345678.9012", VT_DECIMAL);
  std::u16string out;
  for (auto _ : state) {
    value.to_wstring(out);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations());
}

void print_date(benchmark::State& state) {
  const ole_variant value = ole_variant::from_string("2017-06-12 10:20:30.25", VT_DATE);
  std::u16string out;
  for (auto _ : state) {
    value.to_wstring(out);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(integer);
BENCHMARK(decimal);
BENCHMARK(currency);
BENCHMARK(floating);
BENCHMARK(date);
BENCHMARK(print_decimal);
BENCHMARK(print_date);

BENCHMARK_MAIN();
