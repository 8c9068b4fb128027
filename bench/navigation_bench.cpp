// The conversation lists with 10,000 conversations (and a topic list of 10,000 questions), each
// beside a plain Qt list of the same texts: a QListView over a QSortFilterProxyModel with uniform
// rows. The emoji palette beside a QListWidget in icon mode with the same emoji. "First paint"
// is the widget made, laid out and rendered once. Bars: each list at most 2x its plain list, one
// keystroke under 16 ms, the emoji palette at most 1.5x its plain list.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListView>
#include <QListWidget>
#include <QSortFilterProxyModel>
#include <QStringListModel>

#include "Tessra/navigation/conversation_list_floating_panel_view.h"
#include "Tessra/navigation/conversation_side_pane_view.h"
#include "Tessra/navigation/emoji_palette.h"
#include "Tessra/navigation/session_topic_list_floating_panel_view.h"
#include "Tessra/prompt_input/emoji_text_field.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/storage/chat_session_manager_test_access.h"
#include "bench/bars.h"

namespace tessra {
namespace {

constexpr int kCount = 10000;

constexpr const char* kOnCpu = "CPU time of the process, mean of the iterations";

bench::Bar twiceThePlainList(std::string what, std::string figure, std::string baseline) {
  return {.what = std::move(what),
          .figure = std::move(figure),
          .baseline = std::move(baseline),
          .limit = 2,
          .unit = "ms",
          .on = kOnCpu};
}

const bench::Bars kBars{
    twiceThePlainList("switcher first paint", "switcher paint", "plain paint"),
    twiceThePlainList("switcher keystroke", "switcher keystroke", "plain keystroke"),
    twiceThePlainList("side list build", "side list", "plain paint"),
    twiceThePlainList("topic list first paint", "topic list", "plain paint"),
    {.what = "one switcher keystroke",
     .figure = "switcher keystroke",
     .baseline = {},
     .limit = 16,
     .compare = bench::Compare::atMost,
     .unit = "ms",
     .on = kOnCpu},
    {.what = "emoji palette first paint",
     .figure = "emoji palette",
     .baseline = "plain icon list",
     .limit = 1.5,
     .unit = "ms",
     .on = kOnCpu},
};

QStringList names() {
  QStringList all;
  for (int i = 0; i < kCount; ++i) all.push_back(QStringLiteral("🍎 Conversation number %1").arg(i));
  return all;
}

void fillStore() {
  ChatSessionManager& store = ChatSessionManager::shared();
  ConversationList list{"LIST", "c0", {}};
  const QStringList all = names();
  for (int i = 0; i < kCount; ++i)
    list.conversations.push_back({"c" + std::to_string(i), all[i].toStdString(), {}, {}});
  ChatSessionManagerTestAccess::replaceList(store, std::move(list));
  ChatSession session{"c0", "🍎 Conversation number 0", {}};
  for (int i = 0; i < kCount; ++i)
    session.messages.emplace_back("m" + std::to_string(i), "question " + std::to_string(i),
                                  "answer", true, false);
  ChatSessionManagerTestAccess::sessions(store)["c0"] = std::move(session);
}

// The plain list of the baselines.
struct PlainList {
  QStringListModel source{names()};
  QSortFilterProxyModel proxy;
  QListView view;
  PlainList() {
    proxy.setSourceModel(&source);
    proxy.setFilterCaseSensitivity(Qt::CaseInsensitive);
    view.setModel(&proxy);
    view.setUniformItemSizes(true);
    view.resize(340, 400);
  }
};

const BoolBinding kAlwaysOpen{[] { return true; }, [](bool) {}};

void BM_SwitcherFirstPaint(benchmark::State& state) {
  fillStore();
  const bench::IterationTimer timer(state, "switcher paint");
  for (auto _ : state) {
    ConversationListFloatingPanelView view(
        "c0", [](const std::string&) {}, kAlwaysOpen);
    view.resize(340, 400);
    benchmark::DoNotOptimize(view.grab());
  }
}
BENCHMARK(BM_SwitcherFirstPaint)->Unit(benchmark::kMillisecond);

void BM_PlainListFirstPaint(benchmark::State& state) {
  const bench::IterationTimer timer(state, "plain paint");
  for (auto _ : state) {
    PlainList plain;
    benchmark::DoNotOptimize(plain.view.grab());
  }
}
BENCHMARK(BM_PlainListFirstPaint)->Unit(benchmark::kMillisecond);

// One letter typed and taken back: two filterings of 10,000 names, each repainted.
void BM_SwitcherKeystroke(benchmark::State& state) {
  fillStore();
  ConversationListFloatingPanelView view(
      "c0", [](const std::string&) {}, kAlwaysOpen);
  view.resize(340, 400);
  QLineEdit* field = view.searchList()->searchField();
  field->setText(QStringLiteral("number 1"));
  const bench::IterationTimer timer(state, "switcher keystroke", 2);
  for (auto _ : state) {
    field->setText(QStringLiteral("number 12"));
    benchmark::DoNotOptimize(view.grab());
    field->setText(QStringLiteral("number 1"));
    benchmark::DoNotOptimize(view.grab());
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_SwitcherKeystroke)->Unit(benchmark::kMillisecond);

void BM_PlainListKeystroke(benchmark::State& state) {
  PlainList plain;
  plain.proxy.setFilterFixedString(QStringLiteral("number 1"));
  const bench::IterationTimer timer(state, "plain keystroke", 2);
  for (auto _ : state) {
    plain.proxy.setFilterFixedString(QStringLiteral("number 12"));
    benchmark::DoNotOptimize(plain.view.grab());
    plain.proxy.setFilterFixedString(QStringLiteral("number 1"));
    benchmark::DoNotOptimize(plain.view.grab());
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_PlainListKeystroke)->Unit(benchmark::kMillisecond);

void BM_SideListBuild(benchmark::State& state) {
  fillStore();
  ChatViewSignals hub;
  const bench::IterationTimer timer(state, "side list");
  for (auto _ : state) {
    ConversationSidePaneView view(hub);
    view.resize(340, 400);
    benchmark::DoNotOptimize(view.grab());
  }
}
BENCHMARK(BM_SideListBuild)->Unit(benchmark::kMillisecond);

void BM_TopicListFirstPaint(benchmark::State& state) {
  fillStore();
  ChatViewSignals hub;
  const bench::IterationTimer timer(state, "topic list");
  for (auto _ : state) {
    SessionTopicListFloatingPanelView view(hub, "c0", ChatSource::master, kAlwaysOpen);
    view.resize(340, 400);
    benchmark::DoNotOptimize(view.grab());
  }
}
BENCHMARK(BM_TopicListFirstPaint)->Unit(benchmark::kMillisecond);

void BM_EmojiPaletteFirstPaint(benchmark::State& state) {
  const bench::IterationTimer timer(state, "emoji palette");
  for (auto _ : state) {
    EmojiPalette palette(EmojiTextField::pool(), {});
    palette.resize(palette.sizeHint());
    benchmark::DoNotOptimize(palette.grab());
  }
}
BENCHMARK(BM_EmojiPaletteFirstPaint)->Unit(benchmark::kMillisecond);

void BM_PlainIconListFirstPaint(benchmark::State& state) {
  const bench::IterationTimer timer(state, "plain icon list");
  for (auto _ : state) {
    QListWidget list;
    list.setViewMode(QListView::IconMode);
    QFont glyphs = list.font();
    glyphs.setPixelSize(24);
    list.setFont(glyphs);
    list.addItems(EmojiTextField::pool());
    list.resize(EmojiPalette::kColumns * EmojiPalette::kCell,
                EmojiPalette::kVisibleRows * EmojiPalette::kCell);
    benchmark::DoNotOptimize(list.grab());
  }
}
BENCHMARK(BM_PlainIconListFirstPaint)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessra
