// How fast a global shortcut reaches its action: an XTEST key press until the action runs, beside
// a bare X client that grabs the same kind of key and waits on its socket; and what the dispatch
// costs per event, with its fresh read of the stored shortcut. The press to the action is reported
// beside the bare client (medians); no bar.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "bench/bars.h"
#include "shortcuts/global_shortcuts.h"
#include "testing/fake_keyboard.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace {

using namespace tessra;
using Clock = std::chrono::steady_clock;

constexpr int kPresses = 200;
constexpr int kTimeoutMs = 5000;

const bench::Bars kBars{{.what = "press to action, against a bare X client's grab (median)",
                         .figure = "press to action",
                         .baseline = "bare client",
                         .compare = bench::Compare::reportOnly,
                         .unit = "us",
                         .on = "wall time, median of each's presses, one after the other"}};

double medianMicroseconds(std::vector<Clock::duration> samples) {
  std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
  return std::chrono::duration<double, std::micro>(samples[samples.size() / 2]).count();
}

void BM_PressToAction(benchmark::State& state) {
  testing::TempDir config;
  testing::ScopedEnv configDir("TESSRA_CONFIG_DIR", config.path().string());
  const shortcuts::Name name(
      "benchPress",
      shortcuts::Shortcut(shortcuts::Key::f7, Qt::ControlModifier | Qt::ShiftModifier));
  bool fired = false;
  shortcuts::GlobalShortcuts::onKeyDown(name, [&] { fired = true; });
  testing::FakeKeyboard keyboard;
  QEventLoop loop;
  for (auto _ : state) {
    std::vector<Clock::duration> samples;
    for (int i = 0; i < kPresses; ++i) {
      fired = false;
      const auto start = Clock::now();
      keyboard.press({"LCTL", "LFSH", "FK07"});
      QTimer deadline;
      deadline.setSingleShot(true);
      deadline.start(kTimeoutMs);
      while (!fired && deadline.isActive()) loop.processEvents(QEventLoop::WaitForMoreEvents);
      if (!fired) {
        bench::fail(state, "the shortcut's action never ran");
        shortcuts::GlobalShortcuts::removeAllActionHandlers();
        return;
      }
      samples.push_back(Clock::now() - start);
      keyboard.release({"FK07", "LFSH", "LCTL"});
      loop.processEvents();
    }
    state.counters["median_us"] = medianMicroseconds(samples);
    bench::record("press to action", medianMicroseconds(samples));
  }
  shortcuts::GlobalShortcuts::removeAllActionHandlers();
}

void BM_BareXcbPressToEvent(benchmark::State& state) {
  testing::FakeKeyboard keyboard;
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  xcb_grab_key(c, 1, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT, keyboard.keycode("FK06"),
               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
  xcb_flush(c);
  pollfd socket{xcb_get_file_descriptor(c), POLLIN, 0};
  // False when no such event came within the time allowed.
  const auto waitFor = [&](std::uint8_t type) {
    while (true) {
      while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
        const bool match = (event->response_type & 0x7f) == type;
        std::free(event);
        if (match) return true;
      }
      if (poll(&socket, 1, kTimeoutMs) <= 0) return false;
    }
  };
  for (auto _ : state) {
    std::vector<Clock::duration> samples;
    for (int i = 0; i < kPresses; ++i) {
      const auto start = Clock::now();
      keyboard.press({"LCTL", "LFSH", "FK06"});
      const bool pressed = waitFor(XCB_KEY_PRESS);
      samples.push_back(Clock::now() - start);
      keyboard.release({"FK06", "LFSH", "LCTL"});
      if (!pressed || !waitFor(XCB_KEY_RELEASE)) {
        bench::fail(state, "the bare client's grab saw no key");
        xcb_disconnect(c);
        return;
      }
    }
    state.counters["median_us"] = medianMicroseconds(samples);
    bench::record("bare client", medianMicroseconds(samples));
  }
  xcb_disconnect(c);
}

void BM_DispatchPerEvent(benchmark::State& state) {
  testing::TempDir config;
  testing::ScopedEnv configDir("TESSRA_CONFIG_DIR", config.path().string());
  const shortcuts::Shortcut shortcut(shortcuts::Key::f3, Qt::ControlModifier | Qt::AltModifier);
  const shortcuts::Name name("benchDispatch", shortcut);
  std::int64_t calls = 0;
  shortcuts::GlobalShortcuts::onKeyDown(name, [&] { ++calls; });
  for (auto _ : state) shortcuts::GlobalShortcuts::handleOnKeyDown(shortcut);
  benchmark::DoNotOptimize(calls);
  shortcuts::GlobalShortcuts::removeAllActionHandlers();
}

BENCHMARK(BM_PressToAction)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareXcbPressToEvent)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DispatchPerEvent)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  return tessra::bench::runBenchmarks(argc, argv);
}
