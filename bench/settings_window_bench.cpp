// How fast the settings window stands: from building it to its first paint, and from choosing
// another page to that page's first paint, beside a plain Qt window with the same rows (a list
// of pages, a scrolling column of labelled switches and pickers). The guard: at most 3× the
// plain window.
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

#include "Tessra/settings/settings_view.h"
#include "Tessra/settings/settings_window.h"
#include "platform/foundation/queue.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace {

using namespace tessra;

// Counts paint events of one window's widgets.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(QWidget* window) : m_window(window) { qApp->installEventFilter(this); }
  ~PaintWatch() override { qApp->removeEventFilter(this); }
  void reset() { m_painted = false; }
  // Runs the event loop until the window painted.
  void wait() {
    while (!m_painted) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
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

void firstPaint(benchmark::State& state, const std::function<QWidget*()>& make) {
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    QWidget* window = make();
    PaintWatch watch(window);
    window->show();
    watch.wait();
    state.SetIterationTime(timer.nsecsElapsed() / 1e9);
    delete window;
    QCoreApplication::processEvents();
  }
}

void BM_SettingsWindowFirstPaint(benchmark::State& state) {
  firstPaint(state, [] { return new SettingsWindow; });
}

void BM_PlainWindowFirstPaint(benchmark::State& state) {
  QScrollArea* detail = nullptr;
  firstPaint(state, [&] { return plainWindow(&detail); });
}

void BM_SettingsPageSwitch(benchmark::State& state) {
  auto* window = new SettingsWindow;
  PaintWatch watch(window);
  window->show();
  watch.wait();
  bool general = false;
  for (auto _ : state) {
    watch.reset();
    window->view()->select(general ? SettingsPage::Name::general : SettingsPage::Name::about);
    watch.wait();
    general = !general;
  }
  delete window;
}

void BM_PlainPageSwitch(benchmark::State& state) {
  QScrollArea* detail = nullptr;
  QWidget* window = plainWindow(&detail);
  PaintWatch watch(window);
  window->show();
  watch.wait();
  for (auto _ : state) {
    watch.reset();
    delete detail->takeWidget();
    detail->setWidget(plainRows());
    watch.wait();
  }
  delete window;
}

BENCHMARK(BM_SettingsWindowFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWindowFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SettingsPageSwitch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainPageSwitch)->Unit(benchmark::kMillisecond);

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
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
