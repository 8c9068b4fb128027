// How fast the settings window stands: from building it to its first paint, and from choosing
// another page to that page's first paint, beside a plain Qt window with the same rows (a list
// of pages, a scrolling column of labelled switches and pickers), the two measured in pairs, one
// right after the other, so that both meet the same load. Bars: each at most 3x the plain window's
// CPU time, by the median of the pairs' ratios: the CPU time of this process, which a loaded
// machine does not stretch as it stretches the wall time.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>
#include <memory>
#include <optional>

#include "Tessra/settings/settings_view.h"
#include "Tessra/settings/settings_window.h"
#include "bench/bars.h"
#include "platform/foundation/queue.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace {

using namespace tessra;

constexpr const char* kOnCpu = "CPU time of this process in pairs run one right after the other";
constexpr const char* kOnWall = "wall time of the same pairs, which stretches with the load";

const bench::Bars kBars{
    {.what = "settings window to its first paint",
     .figure = "settings first paint CPU",
     .baseline = "plain first paint CPU",
     .limit = 3,
     .compare = bench::Compare::pairedRatioAtMost,
     .unit = "ms",
     .on = kOnCpu},
    {.what = "settings page switch",
     .figure = "settings page switch CPU",
     .baseline = "plain page switch CPU",
     .limit = 3,
     .compare = bench::Compare::pairedRatioAtMost,
     .unit = "ms",
     .on = kOnCpu},
    {.what = "settings window to its first paint, wall time",
     .figure = "settings first paint",
     .baseline = "plain first paint",
     .compare = bench::Compare::reportOnly,
     .unit = "ms",
     .on = kOnWall},
    {.what = "settings page switch, wall time",
     .figure = "settings page switch",
     .baseline = "plain page switch",
     .compare = bench::Compare::reportOnly,
     .unit = "ms",
     .on = kOnWall},
};

// Counts paint events of one window's widgets.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(QWidget* window) : m_window(window) { qApp->installEventFilter(this); }
  ~PaintWatch() override { qApp->removeEventFilter(this); }
  void reset() { m_painted = false; }
  // Runs the event loop until the window painted; false after 10 s. It sleeps between events, so
  // that the wait costs no CPU time.
  [[nodiscard]] bool wait() {
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(10000);
    while (!m_painted) {
      if (!deadline.isActive()) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == m_window)
      m_painted = true;
    return false;
  }

 private:
  QWidget* m_window;
  bool m_painted = false;
};

// The rows of the General page, built of plain Qt controls.
QWidget* plainRows() {
  auto* page = new QWidget;
  auto* column = new QVBoxLayout(page);
  const auto picker = [&](const char* title, int choices) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(title));
    auto* box = new QComboBox;
    for (int i = 0; i < choices; ++i) box->addItem(QStringLiteral("Choice %1").arg(i));
    row->addWidget(box);
    column->addLayout(row);
  };
  picker("Language", 3);
  for (const char* title : {"Launch at Login", "Show in Tray", "Show Side Icon", "Sound Effects"})
    column->addWidget(new QCheckBox(title));
  column->addWidget(new QLabel("Shortcuts"));
  column->addWidget(new QLabel("Open Tessra"));
  column->addWidget(new QLabel("Appearance"));
  picker("Position", 2);
  picker("Size", 6);
  picker("Vertical Padding", 6);
  column->addStretch(1);
  return page;
}

QWidget* plainWindow(QScrollArea** detail) {
  auto* window = new QWidget;
  window->resize(716, 522);
  auto* row = new QHBoxLayout(window);
  auto* list = new QListWidget;
  for (const char* page : {"General", "Models Settings", "OpenAI", "Anthropic", "Mistral", "About"})
    list->addItem(page);
  list->setFixedWidth(215);
  row->addWidget(list);
  *detail = new QScrollArea;
  (*detail)->setWidgetResizable(true);
  (*detail)->setWidget(plainRows());
  row->addWidget(*detail, 1);
  return window;
}

// What it takes from `make` until the window it makes has painted; nothing after 10 s.
std::optional<bench::Took> firstPaint(const std::function<QWidget*()>& make) {
  bool painted = false;
  std::unique_ptr<QWidget> window;
  const bench::Took took = bench::timeOf(
      [&] {
        window.reset(make());
        PaintWatch watch(window.get());
        window->show();
        return watch.wait();
      },
      painted);
  return painted ? std::optional(took) : std::nullopt;
}

void record(benchmark::State& state, const bench::TookPairs& pairs, const char* figure,
            const char* baseline) {
  state.counters["settings_ms"] = pairs.wall.figureMedian();
  state.counters["plain_ms"] = pairs.wall.baselineMedian();
  state.counters["cpu_ratio"] = pairs.cpu.ratioMedian();
  bench::record(figure, baseline, pairs);
}

// The settings window and the plain one in turns, so that both meet the same load of the machine.
void BM_FirstPaintBesidePlain(benchmark::State& state) {
  bench::TookPairs pairs;
  for (auto _ : state) {
    QScrollArea* detail = nullptr;
    const auto settingsPaint = firstPaint([] { return new SettingsWindow; });
    QCoreApplication::processEvents();
    const auto plainPaint = firstPaint([&] { return plainWindow(&detail); });
    QCoreApplication::processEvents();
    if (!settingsPaint || !plainPaint) {
      bench::fail(state, "a window never painted");
      return;
    }
    state.SetIterationTime(settingsPaint->wallMilliseconds / 1e3);
    pairs.add(*settingsPaint, *plainPaint);
  }
  record(state, pairs, "settings first paint", "plain first paint");
}

// Runs `change` and the event loop until the watched window painted: what it took, nothing after
// 10 s.
std::optional<bench::Took> timedPaint(PaintWatch& watch, const std::function<void()>& change) {
  bool painted = false;
  const bench::Took took = bench::timeOf(
      [&] {
        watch.reset();
        change();
        return watch.wait();
      },
      painted);
  return painted ? std::optional(took) : std::nullopt;
}

// A switch between General and About, and the plain window's rows built anew, in turns.
void BM_PageSwitchBesidePlain(benchmark::State& state) {
  const auto window = std::make_unique<SettingsWindow>();
  QScrollArea* detail = nullptr;
  const std::unique_ptr<QWidget> plainOne(plainWindow(&detail));
  PaintWatch watch(window.get());
  PaintWatch plainWatch(plainOne.get());
  window->show();
  plainOne->show();
  if (!watch.wait() || !plainWatch.wait()) {
    bench::fail(state, "a window never painted");
    return;
  }
  bool general = false;
  bench::TookPairs pairs;
  for (auto _ : state) {
    const auto settingsSwitch = timedPaint(watch, [&] {
      window->view()->select(general ? SettingsPage::Name::general : SettingsPage::Name::about);
    });
    const auto plainSwitch = timedPaint(plainWatch, [&] {
      delete detail->takeWidget();
      detail->setWidget(plainRows());
    });
    if (!settingsSwitch || !plainSwitch) {
      bench::fail(state, "a page never painted");
      return;
    }
    state.SetIterationTime(settingsSwitch->wallMilliseconds / 1e3);
    pairs.add(*settingsSwitch, *plainSwitch);
    general = !general;
  }
  record(state, pairs, "settings page switch", "plain page switch");
}

BENCHMARK(BM_FirstPaintBesidePlain)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageSwitchBesidePlain)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  // Settings of the run's own, never the user's.
  tessra::testing::TempDir home;
  tessra::testing::ScopedEnv config("TESSRA_CONFIG_DIR", (home / "config").string());
  tessra::testing::ScopedEnv xdgConfig("XDG_CONFIG_HOME", (home / "xdg").string());
  QApplication app(argc, argv);
  platform::mainQueue().setPoster([](platform::Job job) {
    QMetaObject::invokeMethod(qApp, std::move(job), Qt::QueuedConnection);
  });
  return tessra::bench::runBenchmarks(argc, argv);
}
