#include "bench/bars.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <map>
#include <optional>

#include "platform/foundation/logger.h"

namespace tessra::bench {
namespace {

std::vector<Bar>& registeredBars() {
  static std::vector<Bar> bars;
  return bars;
}

std::map<std::string, double, std::less<>>& figures() {
  static std::map<std::string, double, std::less<>> recorded;
  return recorded;
}

std::map<std::string, std::string, std::less<>>& unavailable() {
  static std::map<std::string, std::string, std::less<>> reasons;
  return reasons;
}

// Whether a benchmark reported a failed run.
bool g_failed = false;

std::optional<double> figure(std::string_view name) {
  const auto it = figures().find(name);
  if (it == figures().end()) return std::nullopt;
  return it->second;
}

std::string pairKey(std::string_view figureName, std::string_view baselineName) {
  return fmt::format("{} per pair of {}", figureName, baselineName);
}

std::string pairCountKey(std::string_view figureName, std::string_view baselineName) {
  return pairKey(figureName, baselineName) + ", pairs";
}

// The median of the pairs' ratios as printed, when the figures were measured in pairs.
std::optional<std::string> pairRatioText(const Bar& bar) {
  const std::optional<double> ratio = figure(pairKey(bar.figure, bar.baseline));
  const std::optional<double> count = figure(pairCountKey(bar.figure, bar.baseline));
  if (!ratio || !count) return std::nullopt;
  return fmt::format("median of the ratios of {:g} pairs {:.3g}x", *count, *ratio);
}

std::string unitSuffix(const std::string& unit) { return unit.empty() ? unit : " " + unit; }

std::string amount(double value, const std::string& unit) {
  return fmt::format("{:.3g}{}", value, unitSuffix(unit));
}

// Checks one bar and prints its line; false when it fails. A bar whose figures were not recorded
// fails, unless the command line chose only some of the benchmarks and none of them failed.
bool check(const Bar& bar, bool everyBenchmarkRan) {
  for (const std::string* name : {&bar.figure, &bar.baseline}) {
    const auto reason = unavailable().find(*name);
    if (reason == unavailable().end()) continue;
    if (bar.compare == Compare::reportOnly) {
      platform::logInfo("figure: {}: unavailable: {}", bar.what, reason->second);
      return true;
    }
    platform::logError("bar: {}: unavailable: {}: fails", bar.what, reason->second);
    return false;
  }
  const std::optional<double> value = figure(bar.figure);
  const bool absolute = bar.compare == Compare::atMost;
  const std::optional<double> baseline = absolute ? std::optional<double>(0) : figure(bar.baseline);
  if (!value || !baseline) {
    if (!everyBenchmarkRan && !g_failed) {
      platform::logInfo("bar: {}: not run", bar.what);
      return true;
    }
    platform::logError("bar: {}: not measured: fails", bar.what);
    return false;
  }
  const std::string on = bar.on.empty() ? "judged on: not said" : "judged on: " + bar.on;
  std::string comparison;
  bool holds = false;
  switch (bar.compare) {
    case Compare::pairedRatioAtMost: {
      const std::optional<std::string> ratioText = pairRatioText(bar);
      if (!ratioText) {
        platform::logError("bar: {}: not measured in pairs: fails", bar.what);
        return false;
      }
      holds = *figure(pairKey(bar.figure, bar.baseline)) <= bar.limit;
      comparison = fmt::format("{}, bar at most {:g}x", *ratioText, bar.limit);
      break;
    }
    case Compare::ratioAtMost: {
      const double ratio = *value / *baseline;
      holds = ratio <= bar.limit;
      comparison = fmt::format("{:.3g}x, bar at most {:g}x", ratio, bar.limit);
      break;
    }
    case Compare::timesBelowAtLeast: {
      const double times = *baseline / *value;
      holds = times >= bar.limit;
      comparison = fmt::format("{:.3g}x below, bar at least {:g}x below", times, bar.limit);
      break;
    }
    case Compare::moreAtMost: {
      const double more = *value - *baseline;
      holds = more <= bar.limit;
      comparison = fmt::format("{:+.3g}{}, bar at most {:+g}{}", more, unitSuffix(bar.unit),
                               bar.limit, unitSuffix(bar.unit));
      break;
    }
    case Compare::atMost:
      holds = *value <= bar.limit;
      comparison = "bar at most " + amount(bar.limit, bar.unit);
      break;
    case Compare::reportOnly: {
      const std::string ratio =
          pairRatioText(bar).value_or(fmt::format("{:.3g}x", *value / *baseline));
      platform::logInfo("figure: {}: {} against {}, {}, no bar, {}", bar.what,
                        amount(*value, bar.unit), amount(*baseline, bar.unit), ratio, on);
      return true;
    }
  }
  const std::string against = absolute ? "" : " against " + amount(*baseline, bar.unit);
  const std::string line =
      fmt::format("bar: {}: {}{}, {}, {}: {}", bar.what, amount(*value, bar.unit), against,
                  comparison, on, holds ? "holds" : "fails");
  if (holds) {
    platform::logInfo("{}", line);
  } else {
    platform::logError("{}", line);
  }
  return holds;
}

}  // namespace

Bars::Bars(std::initializer_list<Bar> bars) {
  registeredBars().insert(registeredBars().end(), bars.begin(), bars.end());
}

void record(std::string_view name, double value) { figures()[std::string(name)] = value; }

void recordUnavailable(std::string_view name, std::string_view reason) {
  unavailable()[std::string(name)] = reason;
}

void Pairs::add(double figure, double baseline) {
  m_figures.push_back(figure);
  m_baselines.push_back(baseline);
  m_ratios.push_back(figure / baseline);
}

double Pairs::median(const std::vector<double>& values) {
  Samples samples;
  for (const double value : values) samples.add(value);
  return samples.median();
}

void record(std::string_view figure, std::string_view baseline, const Pairs& pairs) {
  if (pairs.empty()) return;
  record(figure, pairs.figureMedian());
  record(baseline, pairs.baselineMedian());
  record(pairKey(figure, baseline), pairs.ratioMedian());
  record(pairCountKey(figure, baseline), pairs.size());
}

void record(std::string_view figure, std::string_view baseline, const TookPairs& pairs) {
  record(figure, baseline, pairs.wall);
  record(std::string(figure) + " CPU", std::string(baseline) + " CPU", pairs.cpu);
}

void fail(benchmark::State& state, const std::string& reason) {
  g_failed = true;
  state.SkipWithError(reason.c_str());
}

double Samples::median() const {
  if (m_values.empty()) return 0;
  std::vector<double> sorted = m_values;
  std::sort(sorted.begin(), sorted.end());
  const std::size_t middle = sorted.size() / 2;
  return sorted.size() % 2 == 1 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

double processCpuSeconds() {
  // The C clock counts the CPU time of the whole process, every thread included.
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

IterationTimer::IterationTimer(benchmark::State& state, std::string figure, int itemsPerIteration)
    : m_state(state),
      m_figure(std::move(figure)),
      m_itemsPerIteration(itemsPerIteration),
      m_startSeconds(processCpuSeconds()) {}

IterationTimer::~IterationTimer() {
  if (m_state.error_occurred() || m_state.iterations() == 0) return;
  const double milliseconds = (processCpuSeconds() - m_startSeconds) * 1e3;
  record(m_figure, milliseconds / static_cast<double>(m_state.iterations()) /
                       static_cast<double>(m_itemsPerIteration));
}

std::size_t positiveFromEnvironment(const char* name, std::size_t fallback) {
  const char* text = std::getenv(name);
  const long value = text ? std::strtol(text, nullptr, 10) : 0;
  return value > 0 ? static_cast<std::size_t>(value) : fallback;
}

int runBenchmarks(int argc, char** argv) {
  const bool everyBenchmarkRan = std::none_of(argv + 1, argv + argc, [](const char* argument) {
    return std::string_view(argument).starts_with("--benchmark_filter");
  });
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bool allHold = true;
  for (const Bar& bar : registeredBars()) allHold = check(bar, everyBenchmarkRan) && allHold;
  return allHold && !g_failed ? 0 : 1;
}

}  // namespace tessra::bench
