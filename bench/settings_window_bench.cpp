// How fast the settings window stands: from building it to its first paint, and from choosing
// another page to that page's first paint, beside a plain Qt window with the same rows (a list
// of pages, a scrolling column of labelled switches and pickers), the two measured in pairs, one
// right after the other, so that both meet the same load. Bars: each at most 3x the plain window,
// by the median of the pairs' ratios.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
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

constexpr const char* kOnPairs = "wall time of pairs run one right after the other";

const bench::Bars kBars{
    {.what = "settings window to its first paint",
     .figure = "settings first paint",
     .baseline = "plain first paint",
     .limit = 3,
     .compare = bench::Compare::pairedRatioAtMost,
     .unit = "ms",
     .on = kOnPairs},
    {.what = "settings page switch",
     .figure = "settings page switch",
     .baseline = "plain page switch",
     .limit = 3,
     .compare = bench::Compare::pairedRatioAtMost,
     .unit = "ms",
     .on = kOnPairs},
};

double millisecondsOf(const QElapsedTimer& timer) {
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Counts paint events of one window's widgets.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(QWidget* window) : m_window(window) { qApp->installEventFilter(this); }
  ~PaintWatch() override { qApp->removeEventFilter(this); }
  void reset() { m_painted = false; }
  // Runs the event loop until the window painted; false after 10 s.
  [[nodiscard]] bool wait() {
    QElapsedTimer deadline;
    deadline.start();
    while (!m_painted) {
      if (deadline.hasExpired(10000)) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
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

// The milliseconds from `make` until the window it makes has painted; nothing after 10 s.
std::optional<double> firstPaint(const std::function<QWidget*()>& make) {
  QElapsedTimer timer;
  timer.start();
  const std::unique_ptr<QWidget> window(make());
  PaintWatch watch(window.get());
  window->show();
  if (!watch.wait()) return std::nullopt;
  const double milliseconds = millisecondsOf(timer);
  return milliseconds;
}

// The settings window and the plain one in turns, so that both meet the same load of the machine.
void BM_FirstPaintBesidePlain(benchmark::State& state) {
  bench::Pairs pairs;
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
    state.SetIterationTime(*settingsPaint / 1e3);
    pairs.add(*settingsPaint, *plainPaint);
  }
  state.counters["settings_ms"] = pairs.figureMedian();
  state.counters["plain_ms"] = pairs.baselineMedian();
  state.counters["ratio"] = pairs.ratioMedian();
  bench::record("settings first paint", "plain first paint", pairs);
}

// Runs `change` and the event loop until the watched window painted: the milliseconds it took,
// nothing after 10 s.
std::optional<double> timedPaint(PaintWatch& watch, const std::function<void()>& change) {
  QElapsedTimer timer;
  timer.start();
  watch.reset();
  change();
  if (!watch.wait()) return std::nullopt;
  return millisecondsOf(timer);
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
  bench::Pairs pairs;
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
    state.SetIterationTime(*settingsSwitch / 1e3);
    pairs.add(*settingsSwitch, *plainSwitch);
    general = !general;
  }
  state.counters["settings_ms"] = pairs.figureMedian();
  state.counters["plain_ms"] = pairs.baselineMedian();
  state.counters["ratio"] = pairs.ratioMedian();
  bench::record("settings page switch", "plain page switch", pairs);
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
