// How fast the floating panel stands on screen, and what the program costs in memory at rest.
//
// Show: from the moment the 0.1 s show timer fires (size the panel, order it front) until the
// panel is mapped, has the keyboard and has painted its first frame; warm (shown before) and cold
// (a new panel). Baseline: a plain frameless window with a focused line edit, the least a window
// that takes typing needs, shown in turns with the panel so that both meet the same load. Held to
// the bar by the median of the shows.
//
// Memory: the proportional set (PSS) and the anonymous memory of the whole process tree (the
// program and its browser processes) at rest after one show and hide of the panel holding the chat
// view and its page, beside a bare QApplication whose one window shows a short page in a
// QWebEngineView, the least a window with the browser costs; each in a process of its own.
//
// Bars: the warm show at most 1.5x the plain window's; the panel's tree at most 40 MiB more PSS
// than the bare one.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Tessra/chat_window/chat_window_installation.h"
#include "Tessra/chat_window/messages_web_view.h"
#include "Tessra/chat_window/page_test_support.h"
#include "Tessra/navigation/navigation_installation.h"
#include "Tessra/shell/floating_controller.h"
#include "Tessra/shell/floating_window.h"
#include "Tessra/storage/chat_session_manager.h"
#include "bench/bars.h"
#include "bench/tree_memory.h"
#include "platform/ui/event_loop_queue.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

const bench::Bars kBars{
    {.what = "warm show (median)",
     .figure = "panel warm",
     .baseline = "plain warm",
     .limit = 1.5,
     .unit = "ms"},
    {.what = "cold show (median)",
     .figure = "panel cold",
     .baseline = "plain cold",
     .compare = bench::Compare::reportOnly,
     .unit = "ms"},
    {.what = "memory at rest, PSS of the process tree",
     .figure = "panel PSS",
     .baseline = "bare PSS",
     .limit = 40,
     .compare = bench::Compare::moreAtMost,
     .unit = "MiB"},
    {.what = "memory at rest, anonymous, of the process tree",
     .figure = "panel anonymous",
     .baseline = "bare anonymous",
     .compare = bench::Compare::reportOnly,
     .unit = "MiB"},
};

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

double millisecondsOf(const QElapsedTimer& timer) {
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

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

// The milliseconds from `show` until `window` stands; nothing after 5 s.
std::optional<double> timedShow(QWidget* window, const PaintCounter& counter,
                                const std::function<void()>& show) {
  const int before = counter.paints;
  QElapsedTimer timer;
  timer.start();
  show();
  if (!waitStanding(window, counter, before)) return std::nullopt;
  return millisecondsOf(timer);
}

bool hideBaseline(QWidget& window) {
  window.hide();
  QTest::qWait(50);
  return window.isHidden();
}

// One show of the panel and one of the plain window, each until it stands, then hidden again; the
// panel's time is the iteration's. False, reported on `state`, when either did not stand or hide.
bool showInTurn(benchmark::State& state, FloatingWindow& panel, const PaintCounter& panelPaints,
                QWidget& plain, const PaintCounter& plainPaints, bench::Samples& panelShows,
                bench::Samples& plainShows) {
  const auto panelShow = timedShow(&panel, panelPaints, [&] { showPanel(panel); });
  if (!panelShow || !waitHidden(panel)) {
    bench::fail(state, "the panel did not stand and hide");
    return false;
  }
  const auto plainShow = timedShow(&plain, plainPaints, [&] { showBaseline(plain); });
  if (!plainShow || !hideBaseline(plain)) {
    bench::fail(state, "the plain window did not stand and hide");
    return false;
  }
  state.SetIterationTime(*panelShow / 1e3);
  panelShows.add(*panelShow);
  plainShows.add(*plainShow);
  return true;
}

void recordShows(benchmark::State& state, const std::string& kind, const bench::Samples& panelShows,
                 const bench::Samples& plainShows) {
  state.counters["panel_ms"] = panelShows.median();
  state.counters["plain_ms"] = plainShows.median();
  bench::record("panel " + kind, panelShows.median());
  bench::record("plain " + kind, plainShows.median());
}

// The panel and the plain window shown in turns, so that both meet the same load of the machine.
void BM_WarmShowBesidePlain(benchmark::State& state) {
  FloatingWindow panel;
  PaintCounter panelPaints;
  panel.controller()->mainView()->installEventFilter(&panelPaints);
  PaintCounter plainPaints;
  const std::unique_ptr<QWidget> plain = makeBaseline(plainPaints);
  bench::Samples panelShows;
  bench::Samples plainShows;
  // Shown once before: a warm show is a show again.
  if (!showInTurn(state, panel, panelPaints, *plain, plainPaints, panelShows, plainShows)) return;
  panelShows = {};
  plainShows = {};
  for (auto _ : state) {
    if (!showInTurn(state, panel, panelPaints, *plain, plainPaints, panelShows, plainShows)) return;
  }
  recordShows(state, "warm", panelShows, plainShows);
}
BENCHMARK(BM_WarmShowBesidePlain)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

void BM_ColdShowBesidePlain(benchmark::State& state) {
  bench::Samples panelShows;
  bench::Samples plainShows;
  for (auto _ : state) {
    FloatingWindow panel;
    PaintCounter panelPaints;
    panel.controller()->mainView()->installEventFilter(&panelPaints);
    PaintCounter plainPaints;
    const std::unique_ptr<QWidget> plain = makeBaseline(plainPaints);
    if (!showInTurn(state, panel, panelPaints, *plain, plainPaints, panelShows, plainShows)) return;
  }
  recordShows(state, "cold", panelShows, plainShows);
}
BENCHMARK(BM_ColdShowBesidePlain)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The panel as the program makes it, with the chat view and its page, shown and hidden once.
int restAfterPanel() {
  const testing::TempDir data;
  qputenv("TESSRA_DATA_DIR", QByteArray::fromStdString(data.path().string()));
  platform::runMainQueueOnEventLoop();
  ChatSessionManager::shared().load();
  installChatWindow();
  installNavigation();
  FloatingWindow panel;
  PaintCounter counter;
  panel.controller()->mainView()->installEventFilter(&counter);
  showPanel(panel);
  auto* page = panel.findChild<MessagesWebView*>();
  if (page == nullptr || !waitStanding(&panel, counter, 0) || !testing::waitForPage(*page) ||
      !waitHidden(panel))
    return 1;
  bench::printTreeMemory("panel");
  return 0;
}

QString g_self;

void BM_RestingMemory(benchmark::State& state) {
  for (auto _ : state) {
    const auto bare = bench::memoryOfChildRun(g_self, {QStringLiteral("--rest-child=bare")});
    const auto panel = bench::memoryOfChildRun(g_self, {QStringLiteral("--rest-child=panel")});
    if (!bare || !panel || !bare->contains("bare") || !panel->contains("panel")) {
      bench::fail(state, "a run at rest failed");
      return;
    }
    const testing::TreeMemory& bareUse = bare->at("bare");
    const testing::TreeMemory& panelUse = panel->at("panel");
    state.counters["bare_pss_MiB"] = bench::mebibytes(bareUse.pssBytes);
    state.counters["panel_pss_MiB"] = bench::mebibytes(panelUse.pssBytes);
    bench::record("bare PSS", bench::mebibytes(bareUse.pssBytes));
    bench::record("panel PSS", bench::mebibytes(panelUse.pssBytes));
    bench::record("bare anonymous", bench::mebibytes(bareUse.anonymousBytes));
    bench::record("panel anonymous", bench::mebibytes(panelUse.anonymousBytes));
  }
}
BENCHMARK(BM_RestingMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessra

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  tessra::g_self = QCoreApplication::applicationFilePath();
  for (const QString& argument : QCoreApplication::arguments()) {
    if (argument == u"--rest-child=panel") return tessra::restAfterPanel();
    if (argument == u"--rest-child=bare") return tessra::bench::printBareWebViewMemory();
  }
  return tessra::bench::runBenchmarks(argc, argv);
}
