#include "testing/panel_user.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <fstream>
#include <nlohmann/json.hpp>

namespace tessra::testing {

namespace {

using nlohmann::json;

constexpr int kWaitMs = 20000;
// Longer than a slide takes.
constexpr int kStillMs = 500;

}  // namespace

QStringList clickThen(QPoint at) {
  return {"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"};
}

void writeReturningUsersConversations(const std::filesystem::path& dataFolder) {
  std::filesystem::create_directories(dataFolder);
  std::ofstream(dataFolder / "notes.json") << json{
      {"id", "notes"},
      {"name", "Sorting notes"},
      {"messages",
       json::array({{{"id", "m1"},
                     {"type", "message"},
                     {"question", "How do I sort my notes?"},
                     {"shortQuestion", "How do I sort my notes?"},
                     {"answer", "By date, then by topic."},
                     {"finished", true},
                     {"endContext", false}}})}}.dump();
  std::ofstream(dataFolder / "plans.json")
      << json{{"id", "plans"}, {"name", "Plans"}, {"messages", json::array()}}.dump();
  std::ofstream(dataFolder / "conversations.json") << json{
      {"conversations", json::array({{{"id", "notes"}, {"name", "Sorting notes"}},
                                     {{"id", "plans"}, {"name", "Plans"}}})},
      {"latestSessionID", "notes"}}.dump();
}

std::size_t storedConversations(const std::filesystem::path& dataFolder) {
  std::ifstream file(dataFolder / "conversations.json");
  const json list = json::parse(file, nullptr, false);
  return list.is_object() ? list["conversations"].size() : 0;
}

QImage panelHeader(const QRect& frame) {
  return QGuiApplication::primaryScreen()
      ->grabWindow(0, frame.x() + 16, frame.y() + 8, 200, 30)
      .toImage();
}

QImage stillPanelHeader(const QRect& frame) {
  QImage header;
  QElapsedTimer still;
  still.start();
  const bool stood = QTest::qWaitFor(
      [&] {
        if (const QImage now = panelHeader(frame); now != header) {
          header = now;
          still.restart();
        }
        return still.elapsed() > kStillMs;
      },
      kWaitMs);
  return stood ? header : QImage();
}

}  // namespace tessra::testing
