// The bars of a benchmark program, and whether its run meets them.
//
// A benchmark records the figures its bars compare (`record`), and reports a run that failed or
// timed out as an error (`fail`), never as a time: a failed run records nothing, so its bars say
// "not measured" and fail. A program lists its bars once, at namespace scope, as it lists its
// benchmarks; after every benchmark has run, each bar prints one line: the figure, its baseline,
// their ratio (or difference), the bar, what it is judged on and whether it holds.
//
//   const bench::Bars kBars{{.what = "warm show", .figure = "panel CPU", .baseline = "plain CPU",
//                            .limit = 1.5, .compare = bench::Compare::pairedRatioAtMost,
//                            .unit = "ms", .on = "CPU time of pairs run one after the other"}};
//   ...
//   bench::TookPairs shows;               // per iteration, in the benchmark
//   shows.add(bench::timeOf(showPanel, stood), bench::timeOf(showPlain, stood));
//   bench::record("panel", "plain", shows);  // "panel CPU" and "plain CPU" too
//   ...
//   return bench::runBenchmarks(argc, argv);  // in main, after the program's own set-up
//
// A bar is judged on a figure that the machine's load cannot flip: a time beside its baseline by
// the median of the ratios of pairs measured one right after the other (both meet the same load,
// and a pair hit by a burst is one outlier of many), by their CPU time where the work is the
// process's own, a cost by CPU time rather than wall time, memory by the anonymous pages that are
// the program's alone rather than by a share of pages that other processes map too. The program
// exits with 1 when a bar fails.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
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
  // The median of the ratios of figure to baseline in pairs measured one right after the other
  // is at most `limit` (recorded from `Pairs`).
  pairedRatioAtMost,
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
  // What the bar is judged on, printed beside it: the figure and how it was taken. A bar that
  // leaves it out says so when it prints.
  std::string on{};
};

// Registers bars of the program; checked by `runBenchmarks`.
class Bars {
 public:
  Bars(std::initializer_list<Bar> bars);
};

// Records a figure for the bars; a later record of the same name replaces it.
void record(std::string_view name, double value);

// Records that a figure cannot be measured here, and why; its report prints the reason, and a bar
// on it fails as not measured.
void recordUnavailable(std::string_view name, std::string_view reason);

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

// The CPU time, user and system, that this process has used, in seconds.
double processCpuSeconds();

// What a run took, in milliseconds: wall time, and the CPU time of this process with every thread
// (a loopback server of the benchmark's own included). On a busy machine a run waits for a core,
// which stretches its wall time but adds no CPU time.
struct Took {
  double wallMilliseconds = 0;
  double cpuMilliseconds = 0;
};

// What `run` took; `succeeded` is what it returned. For a pair's two runs, which meet the same
// load.
template <class Run>
Took timeOf(Run run, bool& succeeded) {
  const double cpuStart = processCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  succeeded = run();
  const auto end = std::chrono::steady_clock::now();
  return {std::chrono::duration<double, std::milli>(end - start).count(),
          (processCpuSeconds() - cpuStart) * 1e3};
}

// Figures measured in pairs, the figure right after its baseline or the other way round, so that
// both meet the same load.
class Pairs {
 public:
  void add(double figure, double baseline);
  bool empty() const { return m_figures.empty(); }
  int size() const { return static_cast<int>(m_ratios.size()); }
  double figureMedian() const { return median(m_figures); }
  double baselineMedian() const { return median(m_baselines); }
  double ratioMedian() const { return median(m_ratios); }

 private:
  static double median(const std::vector<double>& values);
  std::vector<double> m_figures;
  std::vector<double> m_baselines;
  std::vector<double> m_ratios;
};

// Records the medians of both figures of `pairs`, and the median of their ratios for a
// `Compare::pairedRatioAtMost` bar on `figure` and `baseline`.
void record(std::string_view figure, std::string_view baseline, const Pairs& pairs);

// Pairs of runs (`timeOf`) by CPU time, which a bar reads, and by wall time, shown beside it.
struct TookPairs {
  Pairs cpu;
  Pairs wall;

  void add(const Took& figure, const Took& baseline) {
    cpu.add(figure.cpuMilliseconds, baseline.cpuMilliseconds);
    wall.add(figure.wallMilliseconds, baseline.wallMilliseconds);
  }
};

// Records the wall time pairs as `figure` and `baseline`, the CPU time pairs as `figure` and
// `baseline` followed by " CPU".
void record(std::string_view figure, std::string_view baseline, const TookPairs& pairs);

// Records, when it goes, the CPU time of the process per iteration of the benchmark run that made
// it, in milliseconds, divided by the items each iteration handles; nothing for a failed run. Made
// before the benchmark loop. CPU time, not wall time: on a busy machine the run waits for a core,
// which stretches wall time but adds no CPU time; it suits work done in this process, not work
// that waits on another.
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
  double m_startSeconds;
};

// The positive whole number the environment variable `name` holds, else `fallback`: how a run
// is made longer or shorter than its default (TESSRA_BENCH_RUNS, sizes of its data).
std::size_t positiveFromEnvironment(const char* name, std::size_t fallback);

// Runs the benchmarks the command line selects, then checks every bar: 0 when every bar holds and
// no run failed.
int runBenchmarks(int argc, char** argv);

}  // namespace tessra::bench
