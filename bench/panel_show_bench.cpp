// How fast the floating panel stands on screen, and what the program costs in memory at rest.
//
// Show: from the moment the 0.1 s show timer fires (size the panel, order it front) until the
// panel is mapped, has the keyboard and has painted its first frame; warm (shown before) and cold
// (a new panel). Baseline: a plain frameless window with a focused line edit, the least a window
// that takes typing needs. The two are shown in pairs, one right after the other, so that both
// meet the same load, and held to the bar by the median of the pairs' ratios of their CPU time
// (this process's: the panel has no browser page here): a burst of load hits one pair, an outlier
// among many, and waiting for a core adds no CPU time where it stretches the wall time. Beside
// it, the wall time, and the instructions this process and its children retire per show, which no
// load moves, where the kernel gives a counter.
//
// Memory: the anonymous memory and the proportional set (PSS) of the whole process tree (the
// program and its browser processes) at rest after one show and hide of the panel holding the chat
// view and its page, beside a bare QApplication whose one window shows a short page in a
// QWebEngineView, the least a window with the browser costs; each in a process of its own, its
// page's script garbage collected before the reading. The bar is on the anonymous memory, the
// program's alone: PSS splits shared pages among every process that maps them, so other programs
// on the machine move it.
//
// Bars: the warm show at most 1.5x the plain window's CPU time; the panel's tree at most 40 MiB
// more anonymous memory than the bare one.
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Tessra/chat_window/chat_window_installation.h"
#include "Tessra/chat_window/messages_web_view.h"
#include "Tessra/chat_window/page_test_support.h"
#include "Tessra/navigation/navigation_installation.h"
#include "Tessra/shell/floating_controller.h"
#include "Tessra/shell/floating_window.h"
#include "Tessra/storage/chat_session_manager.h"
#include "bench/bars.h"
#include "bench/instruction_count.h"
#include "bench/tree_memory.h"
#include "platform/ui/event_loop_queue.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

constexpr int kWarmPairs = 100;
constexpr int kColdPairs = 10;

constexpr const char* kOnCpu =
    "CPU time of this process, every thread included, in pairs run one right after the other";
constexpr const char* kOnWall =
    "wall time of the same pairs, which waits on the X server and stretches with the load";

const bench::Bars kBars{
    {.what = "warm show",
     .figure = "panel warm CPU",
     .baseline = "plain warm CPU",
     .limit = 1.5,
     .compare = bench::Compare::pairedRatioAtMost,
     .unit = "ms",
     .on = kOnCpu},
    {.what = "warm show, wall time",
     .figure = "panel warm",
     .baseline = "plain warm",
     .compare = bench::Compare::reportOnly,
     .unit = "ms",
     .on = kOnWall},
    {.what = "warm show, instructions retired",
     .figure = "panel warm instructions",
     .baseline = "plain warm instructions",
     .compare = bench::Compare::reportOnly,
     .unit = "M",
     .on = "instructions of this process and its children, in the same pairs"},
    {.what = "cold show",
     .figure = "panel cold CPU",
     .baseline = "plain cold CPU",
     .compare = bench::Compare::reportOnly,
     .unit = "ms",
     .on = kOnCpu},
    {.what = "cold show, wall time",
     .figure = "panel cold",
     .baseline = "plain cold",
     .compare = bench::Compare::reportOnly,
     .unit = "ms",
     .on = kOnWall},
    {.what = "cold show, instructions retired",
     .figure = "panel cold instructions",
     .baseline = "plain cold instructions",
     .compare = bench::Compare::reportOnly,
     .unit = "M",
     .on = "instructions of this process and its children, in the same pairs"},
    {.what = "memory at rest, anonymous, of the process tree",
     .figure = "panel anonymous",
     .baseline = "bare anonymous",
     .limit = 40,
     .compare = bench::Compare::moreAtMost,
     .unit = "MiB",
     .on = "anonymous memory of each tree, the program's alone, after its pages collected their "
           "garbage"},
    {.what = "memory at rest, PSS of the process tree",
     .figure = "panel PSS",
     .baseline = "bare PSS",
     .compare = bench::Compare::reportOnly,
     .unit = "MiB",
     .on = "PSS, which other processes' shared pages move"},
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

// One show until the window stands: what it took and the instructions retired meanwhile.
struct Show {
  bench::Took took;
  double instructions = 0;
};

// Times `show` until `window` stands; nothing after 5 s.
std::optional<Show> timedShow(QWidget* window, const PaintCounter& counter,
                              const bench::InstructionCount& instructions,
                              const std::function<void()>& show) {
  const int before = counter.paints;
  const std::uint64_t instructionsBefore = instructions.read();
  bool stood = false;
  const bench::Took took = bench::timeOf(
      [&] {
        show();
        return waitStanding(window, counter, before);
      },
      stood);
  if (!stood) return std::nullopt;
  return Show{took, static_cast<double>(instructions.read() - instructionsBefore) / 1e6};
}

bool hideBaseline(QWidget& window) {
  window.hide();
  QTest::qWait(50);
  return window.isHidden();
}

// The shows of the panel and of the plain window, in pairs.
struct ShowPairs {
  bench::TookPairs took;
  bench::Pairs instructions;
};

// One show of the panel and one of the plain window, each until it stands, then hidden again; the
// panel's time is the iteration's. False, reported on `state`, when either did not stand or hide.
bool showInTurn(benchmark::State& state, FloatingWindow& panel, const PaintCounter& panelPaints,
                QWidget& plain, const PaintCounter& plainPaints,
                const bench::InstructionCount& instructions, ShowPairs& pairs) {
  const auto panelShow = timedShow(&panel, panelPaints, instructions, [&] { showPanel(panel); });
  if (!panelShow || !waitHidden(panel)) {
    bench::fail(state, "the panel did not stand and hide");
    return false;
  }
  const auto plainShow = timedShow(&plain, plainPaints, instructions, [&] { showBaseline(plain); });
  if (!plainShow || !hideBaseline(plain)) {
    bench::fail(state, "the plain window did not stand and hide");
    return false;
  }
  state.SetIterationTime(panelShow->took.wallMilliseconds / 1e3);
  pairs.took.add(panelShow->took, plainShow->took);
  pairs.instructions.add(panelShow->instructions, plainShow->instructions);
  return true;
}

void recordShows(benchmark::State& state, const std::string& kind, const ShowPairs& pairs,
                 const bench::InstructionCount& instructions) {
  state.counters["panel_ms"] = pairs.took.wall.figureMedian();
  state.counters["plain_ms"] = pairs.took.wall.baselineMedian();
  state.counters["cpu_ratio"] = pairs.took.cpu.ratioMedian();
  bench::record("panel " + kind, "plain " + kind, pairs.took);
  if (!instructions.available()) {
    bench::recordUnavailable("panel " + kind + " instructions", instructions.whyUnavailable());
    return;
  }
  state.counters["instructions_ratio"] = pairs.instructions.ratioMedian();
  bench::record("panel " + kind + " instructions", "plain " + kind + " instructions",
                pairs.instructions);
}

// The panel and the plain window shown in turns, so that both meet the same load of the machine.
void BM_WarmShowBesidePlain(benchmark::State& state) {
  FloatingWindow panel;
  PaintCounter panelPaints;
  panel.controller()->mainView()->installEventFilter(&panelPaints);
  PaintCounter plainPaints;
  const std::unique_ptr<QWidget> plain = makeBaseline(plainPaints);
  const bench::InstructionCount instructions(::getpid());
  ShowPairs pairs;
  // Shown once before: a warm show is a show again.
  if (!showInTurn(state, panel, panelPaints, *plain, plainPaints, instructions, pairs)) return;
  pairs = {};
  for (auto _ : state) {
    if (!showInTurn(state, panel, panelPaints, *plain, plainPaints, instructions, pairs)) return;
  }
  recordShows(state, "warm", pairs, instructions);
}
BENCHMARK(BM_WarmShowBesidePlain)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kWarmPairs);

void BM_ColdShowBesidePlain(benchmark::State& state) {
  ShowPairs pairs;
  // Made once the panels' threads run, so that it follows them.
  std::optional<bench::InstructionCount> instructions;
  for (auto _ : state) {
    FloatingWindow panel;
    PaintCounter panelPaints;
    panel.controller()->mainView()->installEventFilter(&panelPaints);
    PaintCounter plainPaints;
    const std::unique_ptr<QWidget> plain = makeBaseline(plainPaints);
    if (!instructions) instructions.emplace(::getpid());
    if (!showInTurn(state, panel, panelPaints, *plain, plainPaints, *instructions, pairs)) return;
  }
  if (instructions) recordShows(state, "cold", pairs, *instructions);
}
BENCHMARK(BM_ColdShowBesidePlain)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kColdPairs);

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
      !waitHidden(panel) || !bench::collectGarbage(*page))
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
  if (std::any_of(argv + 1, argv + argc, [](const char* argument) {
        return std::string_view(argument).starts_with("--rest-child=");
      }))
    tessra::bench::exposeGarbageCollection();
  QApplication app(argc, argv);
  tessra::g_self = QCoreApplication::applicationFilePath();
  for (const QString& argument : QCoreApplication::arguments()) {
    if (argument == u"--rest-child=panel") return tessra::restAfterPanel();
    if (argument == u"--rest-child=bare") return tessra::bench::printBareWebViewMemory();
  }
  return tessra::bench::runBenchmarks(argc, argv);
}
