#include "Tessra/chat_window/text_search_component.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace tessra {
namespace {

class TextSearchComponentTest : public ::testing::Test {
 protected:
  TextSearchComponentTest() {
    QObject::connect(&m_hub, &ChatViewSignals::messageUpdates,
                     [this](const MessageUpdate& update) { m_sent.push_back(update); });
    m_window.resize(500, 80);
    m_bar = new TextSearchComponent(m_hub, ChatSource::master, &m_window);
    m_bar->setVisible(false);
    m_window.show();
  }

  ChatViewSignals m_hub;
  QWidget m_window;
  TextSearchComponent* m_bar;
  std::vector<MessageUpdate> m_sent;
};

TEST_F(TextSearchComponentTest, ReturnSearchesTheTextAndShowsTheArrowsUntilTheBarHides) {
  const struct {
    const char* typed;
    std::string searched;
  } cases[] = {{"it's a \\ path", "it's a \\ path"}, {"", ""}};
  for (const auto& test : cases) {
    SCOPED_TRACE(test.typed);
    m_sent.clear();
    m_bar->show();
    EXPECT_FALSE(m_bar->previousButton()->isVisibleTo(m_bar)) << "no arrows before a search";

    QTest::keyClicks(m_bar->field(), QString::fromUtf8(test.typed));
    EXPECT_TRUE(m_sent.empty()) << "typing alone sends nothing";
    QTest::keyClick(m_bar->field(), Qt::Key_Return);
    ASSERT_EQ(m_sent.size(), 1u);
    EXPECT_EQ(m_sent[0], MessageUpdate::searchMessage(test.searched)) << "a text, even empty";
    EXPECT_TRUE(m_bar->previousButton()->isVisibleTo(m_bar));
    EXPECT_TRUE(m_bar->nextButton()->isVisibleTo(m_bar));

    m_bar->nextButton()->click();
    m_bar->previousButton()->click();
    QSignalSpy closing(m_bar, &TextSearchComponent::closeRequested);
    m_bar->closeButton()->click();
    EXPECT_EQ(closing.count(), 1);
    m_bar->hide();
    const std::vector<MessageUpdate> expected = {
        MessageUpdate::searchMessage(test.searched), MessageUpdate::nextSearchResult(true),
        MessageUpdate::nextSearchResult(false), MessageUpdate::searchMessage(std::nullopt)};
    EXPECT_EQ(m_sent, expected);
    EXPECT_EQ(m_bar->searchText(), "") << "hiding empties the text";
  }
}

TEST_F(TextSearchComponentTest, TheWindowGoingAwayIsNotTheBarHiding) {
  m_bar->show();
  m_bar->setSearchText(QStringLiteral("kept"));
  m_window.hide();
  m_window.show();
  EXPECT_TRUE(m_sent.empty());
  EXPECT_EQ(m_bar->searchText(), "kept");
}

}  // namespace
}  // namespace tessra
