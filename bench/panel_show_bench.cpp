// How fast the floating panel stands on screen, and what it costs in memory at rest.
//
// Show: from the moment the 0.1 s show timer fires (size the panel, order it front) until the
// panel is mapped, has the keyboard and has painted its first frame; warm (shown before) and cold
// (a new panel). Baseline: a plain frameless window with a focused line edit, the least a window
// that takes typing needs. Memory: the resident set of a process at rest after one show and hide
// of the panel, beside a bare QApplication with one window (each in a process of its own).
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

#include "Tessra/shell/floating_controller.h"
#include "Tessra/shell/floating_window.h"

namespace {

using tessra::FloatingWindow;

// Counts the paints a widget's window makes.
class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// Runs events as they come (QTest's waits sleep in 10 ms steps, too coarse here) until
// `condition` holds; false after 5 s.
bool spinUntil(const std::function<bool()>& condition) {
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.start(5000);
  while (!condition()) {
    if (!deadline.isActive()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// Runs events until the window is mapped, focused and painted since `paintsBefore`.
bool waitStanding(QWidget* window, const PaintCounter& counter, int paintsBefore) {
  return spinUntil([&] {
    return window->isVisible() && window->windowHandle()->isExposed() &&
           QGuiApplication::focusWindow() == window->windowHandle() &&
           counter.paints > paintsBefore;
  });
}

bool waitHidden(FloatingWindow& panel) {
  panel.close();
  const bool hidden =
      QTest::qWaitFor([&] { return panel.isHidden() && !panel.controller()->isAnimating(); }, 5000);
  QTest::qWait(50);
  return hidden;
}

void showPanel(FloatingWindow& panel) {
  panel.controller()->recalculateSize();
  panel.makeKeyAndOrderFront();
}

void BM_PanelShowWarm(benchmark::State& state) {
  FloatingWindow panel;
  PaintCounter counter;
  panel.controller()->mainView()->installEventFilter(&counter);
  showPanel(panel);
  if (!waitStanding(&panel, counter, 0) || !waitHidden(panel)) {
    state.SkipWithError("the panel did not stand");
    return;
  }
  for (auto _ : state) {
    const int before = counter.paints;
    QElapsedTimer timer;
    timer.start();
    showPanel(panel);
    if (!waitStanding(&panel, counter, before)) state.SkipWithError("the panel did not stand");
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    if (!waitHidden(panel)) state.SkipWithError("the panel did not hide");
  }
}
BENCHMARK(BM_PanelShowWarm)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_PanelShowCold(benchmark::State& state) {
  for (auto _ : state) {
    auto panel = std::make_unique<FloatingWindow>();
    PaintCounter counter;
    panel->controller()->mainView()->installEventFilter(&counter);
    QElapsedTimer timer;
    timer.start();
    showPanel(*panel);
    if (!waitStanding(panel.get(), counter, 0)) state.SkipWithError("the panel did not stand");
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    if (!waitHidden(*panel)) state.SkipWithError("the panel did not hide");
  }
}
BENCHMARK(BM_PanelShowCold)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

std::unique_ptr<QWidget> makeBaseline(PaintCounter& counter) {
  auto window =
      std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
  window->setGeometry(1220, 0, 700, 1080);
  auto* edit = new QLineEdit(window.get());
  auto* layout = new QVBoxLayout(window.get());
  layout->addWidget(edit);
  edit->setFocus();
  edit->installEventFilter(&counter);
  return window;
}

void showBaseline(QWidget& window) {
  window.show();
  window.activateWindow();
}

void BM_BaselineShowWarm(benchmark::State& state) {
  PaintCounter counter;
  auto window = makeBaseline(counter);
  showBaseline(*window);
  if (!waitStanding(window.get(), counter, 0)) {
    state.SkipWithError("did not stand");
    return;
  }
  window->hide();
  for (auto _ : state) {
    const int before = counter.paints;
    QElapsedTimer timer;
    timer.start();
    showBaseline(*window);
    if (!waitStanding(window.get(), counter, before)) state.SkipWithError("did not stand");
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    window->hide();
    QTest::qWait(50);
  }
}
BENCHMARK(BM_BaselineShowWarm)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_BaselineShowCold(benchmark::State& state) {
  for (auto _ : state) {
    PaintCounter counter;
    auto window = makeBaseline(counter);
    QElapsedTimer timer;
    timer.start();
    showBaseline(*window);
    if (!waitStanding(window.get(), counter, 0)) state.SkipWithError("did not stand");
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    window->hide();
    QTest::qWait(50);
  }
}
BENCHMARK(BM_BaselineShowCold)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

long residentKiB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  return -1;
}

// The child processes of the memory comparison: print the resident set at rest, in KiB.
int runMemoryChild(const QString& mode) {
  std::unique_ptr<QWidget> keep;
  if (mode == u"bare") {
    keep = std::make_unique<QWidget>();
    keep->resize(700, 1080);
    keep->show();
    if (!QTest::qWaitForWindowExposed(keep.get())) return 1;
  } else {
    auto panel = std::make_unique<FloatingWindow>();
    PaintCounter counter;
    panel->controller()->mainView()->installEventFilter(&counter);
    showPanel(*panel);
    if (!waitStanding(panel.get(), counter, 0) || !waitHidden(*panel)) return 1;
    keep = std::move(panel);
  }
  QTest::qWait(500);  // at rest
  QTextStream(stdout) << residentKiB() << Qt::endl;
  return 0;
}

QString g_self;

double childResidentMiB(const QString& mode) {
  QProcess child;
  child.start(g_self, {QStringLiteral("--rss-child=") + mode});
  child.waitForFinished(30000);
  return child.readAllStandardOutput().trimmed().toDouble() / 1024.0;
}

void BM_RestingMemory(benchmark::State& state) {
  double bare = 0;
  double panel = 0;
  for (auto _ : state) {
    bare = childResidentMiB(QStringLiteral("bare"));
    panel = childResidentMiB(QStringLiteral("panel"));
  }
  state.counters["bare_MiB"] = bare;
  state.counters["panel_MiB"] = panel;
  state.counters["more_MiB"] = panel - bare;
}
BENCHMARK(BM_RestingMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  g_self = QCoreApplication::applicationFilePath();
  for (const QString& argument : QCoreApplication::arguments())
    if (argument.startsWith(u"--rss-child=")) return runMemoryChild(argument.mid(12));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
