// The bars of a benchmark program, and whether its run meets them.
//
// A benchmark records the figures its bars compare (`record`), and reports a run that failed or
// timed out as an error (`fail`), never as a time: a failed run records nothing, so its bars say
// "not measured" and fail. A program lists its bars once, at namespace scope, as it lists its
// benchmarks; after every benchmark has run, each bar prints one line: the figure, its baseline,
// their ratio (or difference), the bar and whether it holds.
//
//   const bench::Bars kBars{{.what = "warm show", .figure = "panel", .baseline = "plain",
//                            .limit = 1.5, .unit = "ms"}};
//   ...
//   bench::Samples shows;                 // per iteration, in the benchmark
//   shows.add(seconds * 1e3);
//   bench::record("panel", shows.median());
//   ...
//   return bench::runBenchmarks(argc, argv);  // in main, after the program's own set-up
//
// Latencies are held to their bars by the median of their runs, which a loaded machine moves far
// less than the mean. The program exits with 1 when a bar fails.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tessra::bench {

enum class Compare {
  // The figure is at most `limit` times the baseline.
  ratioAtMost,
  // The figure is at least `limit` times below the baseline.
  timesBelowAtLeast,
  // The figure is at most `limit` above the baseline.
  moreAtMost,
  // The figure itself is at most `limit` (no baseline).
  atMost,
  // No bar: the figure is reported beside its baseline.
  reportOnly,
};

struct Bar {
  std::string what;
  // Names of recorded figures; no baseline for `Compare::atMost`.
  std::string figure;
  std::string baseline;
  double limit = 1;
  Compare compare = Compare::ratioAtMost;
  // The figures' unit, as printed.
  std::string unit;
};

// Registers bars of the program; checked by `runBenchmarks`.
class Bars {
 public:
  Bars(std::initializer_list<Bar> bars);
};

// Records a figure for the bars; a later record of the same name replaces it.
void record(std::string_view name, double value);

// Reports a failed or timed-out run of a benchmark as its error, and the program as failed. The
// benchmark loop must be left after it (`break`).
void fail(benchmark::State& state, const std::string& reason);

// The values of one figure over the iterations of a benchmark.
class Samples {
 public:
  void add(double value) { m_values.push_back(value); }
  bool empty() const { return m_values.empty(); }
  double median() const;

 private:
  std::vector<double> m_values;
};

// Records, when it goes, the wall time per iteration of the benchmark run that made it, in
// milliseconds, divided by the items each iteration handles; nothing for a failed run. Made before
// the benchmark loop.
class IterationTimer {
 public:
  IterationTimer(benchmark::State& state, std::string figure, int itemsPerIteration = 1);
  ~IterationTimer();
  IterationTimer(const IterationTimer&) = delete;
  IterationTimer& operator=(const IterationTimer&) = delete;

 private:
  benchmark::State& m_state;
  std::string m_figure;
  int m_itemsPerIteration;
  std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// Runs the benchmarks the command line selects, then checks every bar: 0 when every bar holds and
// no run failed.
int runBenchmarks(int argc, char** argv);

}  // namespace tessra::bench
