// Typing at the end of a long prompt against a short one, a paste of 50 MB on one line, and a
// screenshot made into a pending attachment against a plain grab of the root window with one JPEG
// encode. Bars: a keystroke at the end of a 10,000-line prompt stays within a frame (16 ms); the
// paste is in hand as the long-text attachment within 250 ms (laid out in the prompt, it held the
// window for over a minute); the rest is reported beside its baseline.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QScreen>
#include <QTest>

#include "Tessra/image_files/image_helpers.h"
#include "Tessra/prompt_input/attachment_image.h"
#include "Tessra/prompt_input/chat_text_field.h"
#include "Tessra/prompt_input/custom_text_view.h"
#include "bench/bars.h"
#include "platform/ui/window_capture.h"

namespace tessra {
namespace {

constexpr const char* kOnCpu = "CPU time of the process, mean of the iterations";

const bench::Bars kBars{
    {.what = "one keystroke at the end of a 10,000-line prompt",
     .figure = "keystroke/10000",
     .baseline = {},
     .limit = 16,
     .compare = bench::Compare::atMost,
     .unit = "ms",
     .on = kOnCpu},
    {.what = "a paste of 50 MB on one line, until the window is free again",
     .figure = "long paste",
     .baseline = {},
     .limit = 250,
     .compare = bench::Compare::atMost,
     .unit = "ms",
     .on = kOnCpu},
    {.what = "keystroke in a 10,000-line prompt, against a 10-line one",
     .figure = "keystroke/10000",
     .baseline = "keystroke/10",
     .compare = bench::Compare::reportOnly,
     .unit = "ms",
     .on = kOnCpu},
    {.what = "screenshot to attachment, against a plain grab and JPEG",
     .figure = "screenshot",
     .baseline = "plain grab",
     .compare = bench::Compare::reportOnly,
     .unit = "ms",
     .on = "CPU time of the process, without the X server's share, mean of the iterations"},
};

// One keystroke and its undo (a letter, then Backspace), each with the edit and the height rule,
// at the end of a prompt of `lines` lines.
void BM_KeystrokeAtEndOfPrompt(benchmark::State& state) {
  ChatTextField field;
  field.resize(480, 200);
  field.show();
  QString text;
  for (int line = 0; line < state.range(0); ++line)
    text += QStringLiteral("a line of a long prompt, line %1\n").arg(line);
  field.setText(text);
  CustomTextView* editor = field.editor();
  editor->moveCursor(QTextCursor::End);
  QCoreApplication::processEvents();
  const bench::IterationTimer timer(state, "keystroke/" + std::to_string(state.range(0)), 2);
  for (auto _ : state) {
    QTest::keyClick(editor, Qt::Key_X);
    QTest::keyClick(editor, Qt::Key_Backspace);
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_KeystrokeAtEndOfPrompt)->Arg(10)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Ctrl+V of 50 MB on one line into the prompt, and the events it leaves, until the window would
// take the next key.
void BM_PasteOfALongLine(benchmark::State& state) {
  ChatTextField field;
  field.resize(480, 200);
  field.show();
  int pasted = 0;
  QObject::connect(&field, &ChatTextField::attachmentPasted, [&] { ++pasted; });
  QApplication::clipboard()->setText(QString(50 << 20, u'x'));
  QCoreApplication::processEvents();
  const bench::IterationTimer timer(state, "long paste");
  for (auto _ : state) {
    const int before = pasted;
    QTest::keyClick(field.editor(), Qt::Key_V, Qt::ControlModifier);
    QCoreApplication::processEvents();
    if (pasted != before + 1 || !field.text().isEmpty()) {
      bench::fail(state, "the paste went into the prompt");
      break;
    }
  }
}
BENCHMARK(BM_PasteOfALongLine)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ScreenshotToAttachment(benchmark::State& state) {
  const bench::IterationTimer timer(state, "screenshot");
  for (auto _ : state) {
    std::optional<QImage> shot = platform::captureScreen();
    if (!shot) {
      bench::fail(state, "the screen could not be captured");
      return;
    }
    std::optional<ChatAttachment> attachment = imageAttachment(*shot, "Screenshot");
    benchmark::DoNotOptimize(attachment);
  }
}
BENCHMARK(BM_ScreenshotToAttachment)->Unit(benchmark::kMillisecond);

void BM_PlainRootGrabAndJpeg(benchmark::State& state) {
  QScreen* screen = QGuiApplication::primaryScreen();
  const bench::IterationTimer timer(state, "plain grab");
  for (auto _ : state) {
    const QImage grab = screen->grabWindow(0).toImage();
    std::optional<Bytes> jpeg = jpegData(grab);
    benchmark::DoNotOptimize(jpeg);
  }
}
BENCHMARK(BM_PlainRootGrabAndJpeg)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessra
