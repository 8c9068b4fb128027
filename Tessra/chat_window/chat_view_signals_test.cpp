#include "Tessra/chat_window/chat_view_signals.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <vector>

namespace tessra {
namespace {

ChatMessage message(const std::string& id, const std::string& answer) {
  ChatMessage m(id, "question", answer, false, false);
  m.createdAt = platform::Date::fromReferenceDate(10);
  return m;
}

TEST(MessageUpdateTest, EqualWhenSameCaseAndEqualPayload) {
  const std::vector<MessageUpdate> distinct = {
      MessageUpdate::appendMessage(message("a", "x")),
      MessageUpdate::appendMessage(message("a", "y")),
      MessageUpdate::editMessage(message("a", "x")),
      MessageUpdate::deleteMessage("a"),
      MessageUpdate::deleteMessage("b"),
      MessageUpdate::scrollToMessage("a"),
      MessageUpdate::searchMessage("a"),
      MessageUpdate::searchMessage(""),
      MessageUpdate::searchMessage(std::nullopt),
      MessageUpdate::nextSearchResult(true),
      MessageUpdate::nextSearchResult(false),
      MessageUpdate::clearMessages(),
  };
  for (std::size_t i = 0; i < distinct.size(); ++i) {
    for (std::size_t j = 0; j < distinct.size(); ++j)
      EXPECT_EQ(distinct[i] == distinct[j], i == j) << i << " vs " << j;
  }
  // Equal payloads made apart compare equal.
  EXPECT_EQ(MessageUpdate::editMessage(message("a", "x")),
            MessageUpdate::editMessage(message("a", "x")));
  EXPECT_EQ(MessageUpdate::searchMessage("same"), MessageUpdate::searchMessage("same"));
  EXPECT_EQ(MessageUpdate::searchMessage(std::nullopt), MessageUpdate::searchMessage(std::nullopt));
  EXPECT_EQ(MessageUpdate::clearMessages(), MessageUpdate::clearMessages());
}

TEST(ChatViewSignalsTest, OverlayCountFollowsPanelsAndAnnouncesChanges) {
  ChatViewSignals hub;
  QSignalSpy changes(&hub, &ChatViewSignals::overlayCountChanged);
  EXPECT_EQ(hub.overlayCount(), 0);
  hub.setOverlayCount(hub.overlayCount() + 1);
  hub.setOverlayCount(hub.overlayCount() + 1);
  EXPECT_EQ(hub.overlayCount(), 2);
  hub.setOverlayCount(hub.overlayCount() - 1);
  EXPECT_EQ(hub.overlayCount(), 1);
  hub.setOverlayCount(hub.overlayCount() - 1);
  EXPECT_EQ(hub.overlayCount(), 0);
  hub.setOverlayCount(0);
  ASSERT_EQ(changes.size(), 4);
  EXPECT_EQ(changes.at(1).at(0).toInt(), 2);
}

TEST(ChatViewSignalsTest, UpdatesReachListenersPresentWhenSent) {
  ChatViewSignals hub;
  emit hub.messageUpdates(MessageUpdate::deleteMessage("lost"));
  std::vector<MessageUpdate> received;
  QObject::connect(&hub, &ChatViewSignals::messageUpdates,
                   [&](const MessageUpdate& update) { received.push_back(update); });
  emit hub.messageUpdates(MessageUpdate::scrollToMessage("kept"));
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received.front(), MessageUpdate::scrollToMessage("kept"));
}

}  // namespace
}  // namespace tessra
