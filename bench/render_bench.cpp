// Renderer cost per value for the edit descriptors and free-form layouts the
// output kinds use most.
#include <benchmark/benchmark.h>

#include <fcntl.h>

#include <cmath>
#include <random>
#include <vector>

#include "decimal_digits.hpp"
#include "format.hpp"
#include "free_form.hpp"
#include "numeric_fields.hpp"

namespace {

std::vector<double> sampleValues() {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-12, 12);
  std::vector<double> values(4096);
  for (double& v : values) v = mantissa(rng) * std::pow(10.0, exponent(rng));
  return values;
}

const std::vector<double>& values() {
  static const std::vector<double> v = sampleValues();
  return v;
}

// Renders one item per call through a compiled format into a reused buffer.
void renderWith(benchmark::State& state, const char* list, bool integer) {
  const gw::Format format(list);
  gw::TextOut out(::open("/dev/null", O_WRONLY), "/dev/null", 0, true);
  std::size_t i = 0;
  for (auto _ : state) {
    double v = values()[i++ & 4095];
    if (integer) format(out, static_cast<int>(v));
    else format(out, v);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_I5(benchmark::State& s) { renderWith(s, "(I5)", true); }
void BM_1PE12_4(benchmark::State& s) { renderWith(s, "(1P,E12.4)", false); }
void BM_E14_5(benchmark::State& s) { renderWith(s, "(E14.5)", false); }

// A whole node line of the TECPLOT writer: ten values.
void BM_TecplotNodeLine(benchmark::State& state) {
  const gw::Format format("(1P,E12.4,9(',',1P,E12.4))");
  gw::TextOut out(::open("/dev/null", O_WRONLY), "/dev/null", 0, true);
  std::size_t i = 0;
  for (auto _ : state) {
    const double* v = &values()[(i += 9) & 4087];
    format(out, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
  }
  state.SetItemsProcessed(state.iterations() * 9);
}

// A whole row of a time series: the time and 200 values.
void BM_SeriesRow(benchmark::State& state) {
  const gw::Format format("(E16.7,200(',',1P,E14.5))");
  gw::TextOut out(::open("/dev/null", O_WRONLY), "/dev/null", 0, true);
  std::vector<gw::Item> items;
  for (int k = 0; k <= 200; ++k) items.emplace_back(values()[static_cast<std::size_t>(k) * 7 & 4095]);
  for (auto _ : state) format.write(out, items);
  state.SetItemsProcessed(state.iterations() * 200);
}

// The same row straight from its doubles.
void BM_SeriesRowOfReals(benchmark::State& state) {
  const gw::Format format("(E16.7,200(',',1P,E14.5))");
  gw::TextOut out(::open("/dev/null", O_WRONLY), "/dev/null", 0, true);
  std::vector<double> row;
  for (int k = 0; k <= 200; ++k) row.push_back(values()[static_cast<std::size_t>(k) * 7 & 4095]);
  for (auto _ : state) format.writeReals(out, row);
  state.SetItemsProcessed(state.iterations() * 200);
}

void BM_FreeDouble(benchmark::State& state) {
  char field[24];
  std::size_t i = 0;
  for (auto _ : state) {
    gw::fields::freeDouble(field, values()[i++ & 4095]);
    benchmark::DoNotOptimize(field);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_FreeSingle(benchmark::State& state) {
  char field[15];
  std::size_t i = 0;
  for (auto _ : state) {
    gw::fields::freeSingle(field, static_cast<float>(values()[i++ & 4095]));
    benchmark::DoNotOptimize(field);
  }
  state.SetItemsProcessed(state.iterations());
}

// A FEMAP entity line: integer, text, 32-bit real.
void BM_FreeEntityLine(benchmark::State& state) {
  gw::TextOut out(::open("/dev/null", O_WRONLY), "/dev/null", 0, true);
  std::size_t i = 0;
  for (auto _ : state) {
    gw::writeFree(out, static_cast<int>(i), ",", static_cast<float>(values()[i & 4095]));
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_I5);
BENCHMARK(BM_1PE12_4);
BENCHMARK(BM_E14_5);
BENCHMARK(BM_TecplotNodeLine);
BENCHMARK(BM_SeriesRow);
BENCHMARK(BM_SeriesRowOfReals);
BENCHMARK(BM_FreeDouble);
BENCHMARK(BM_FreeSingle);
BENCHMARK(BM_FreeEntityLine);

namespace {

// Five significant digits (the 1PE12.4 field) by the integer path and by the general one.
void BM_Digits5Integer(benchmark::State& state) {
  char d[32];
  int e;
  std::size_t i = 0;
  for (auto _ : state) {
    gw::roundedDigits(std::fabs(values()[i++ & 4095]), 5, d, e);
    benchmark::DoNotOptimize(d);
  }
}
void BM_Digits5General(benchmark::State& state) {
  char d[32];
  int e;
  std::size_t i = 0;
  for (auto _ : state) {
    gw::roundedDigitsGeneral(std::fabs(values()[i++ & 4095]), 5, d, e);
    benchmark::DoNotOptimize(d);
  }
}

}  // namespace

BENCHMARK(BM_Digits5Integer);
BENCHMARK(BM_Digits5General);
