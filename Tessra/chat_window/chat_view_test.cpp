// The chat view with real widgets, the real engine against the loopback server, the store in a
// temporary folder and the real message page.
#include "Tessra/chat_window/chat_view.h"

#include <unistd.h>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "Tessra/chat_window/answer_task.h"
#include "Tessra/chat_window/attachment_chip.h"
#include "Tessra/chat_window/chat_view_test_fixture.h"
#include "Tessra/chat_window/detached_answer_screen.h"
#include "Tessra/chat_window/floating_panel_view.h"
#include "Tessra/chat_window/messages_web_view.h"
#include "Tessra/chat_window/page_test_support.h"
#include "Tessra/chat_window/text_search_component.h"
#include "Tessra/image_files/image_helpers.h"
#include "Tessra/localized_text/localized_text.h"
#include "Tessra/prompt_input/chat_attachment_on_drop_modifier.h"
#include "Tessra/prompt_input/chat_text_field.h"
#include "Tessra/prompt_input/chat_text_field_completion_view.h"
#include "Tessra/prompt_input/custom_text_view.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/storage/chat_session_manager_test_access.h"
#include "Tessra/storage/paths.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/small_views.h"
#include "Tessra/ui_foundation/widget_test_support.h"
#include "platform/foundation/json.h"
#include "platform/foundation/queue.h"
#include "testing/log_capture.h"
#include "testing/memory_ceiling.h"
#include "testing/png_header.h"
#include "testing/qt_wait.h"

namespace tessra {
namespace {

using namespace chat_window_test;
namespace fs = std::filesystem;
using nlohmann::json;
using Panel = ChatView::Panel;
using testing::colorfulPixels;

// Runs a slash command as Return does in the prompt: the "/" and a part of its title first.
void runSlashCommand(ChatView& view, const char* typed) {
  view.setText(QString::fromUtf8(typed));
  view.prompt()->submit();
}

TEST_F(ChatViewTest, OnlyAReadyQuestionIsSentAndOnlyOnce) {
  server().route("POST", "/v1/chat/completions",
                 streamedAnswer(std::vector<std::string>(40, "slow "), 50ms));
  ChatView& view = makeView();
  view.controller().setSessionID(makeConversation("🚦 Guards"));
  const std::size_t before = chatRequests().size();
  const ChatAttachment attachment{nullptr, "notes", "notes.txt"};

  // A blank prompt without an attachment is no question.
  view.setText(QStringLiteral("  \n\t"));
  view.sendMessage();
  EXPECT_FALSE(view.controller().busy());
  EXPECT_EQ(view.text(), "  \n\t");

  // Without a key the key entry opens; the text and the attachment stay.
  m_settings->setOpenAiKey("");
  view.setText(QStringLiteral("Hello"));
  view.setChatAttachment(attachment);
  view.sendMessage();
  EXPECT_TRUE(view.isPresenting(Panel::enterApiKey));
  EXPECT_EQ(view.text(), "Hello");
  EXPECT_EQ(view.chatAttachment(), attachment);
  EXPECT_FALSE(view.controller().busy());
  view.panel(Panel::enterApiKey)->setPresented(false);
  m_settings->setOpenAiKey("sk-view");

  // Return twice: the second press finds the answer under way.
  QTest::keyClick(view.prompt()->editor(), Qt::Key_Return);
  QTest::keyClick(view.prompt()->editor(), Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return view.controller().busy(); }, 5000));
  // The prompt gives the question up once its file holds it.
  ASSERT_TRUE(QTest::qWaitFor([&] { return view.text().isEmpty(); }, 5000));
  EXPECT_EQ(view.chatAttachment(), std::nullopt);
  view.setText(QStringLiteral("Another"));
  view.sendMessage();
  EXPECT_EQ(view.text(), "Another") << "a busy view keeps what is typed";
  ASSERT_TRUE(QTest::qWaitFor([&] { return chatRequests().size() > before; }, 10000));
  QTest::qWait(200);  // a check that nothing happens: no second request comes in this time
  EXPECT_EQ(chatRequests().size(), before + 1);
  const std::vector<MessageUpdate> appended = updatesOfKind(kAppend);
  ASSERT_EQ(appended.size(), 1u);
  const ChatMessage& sent = std::get<MessageUpdate::AppendMessage>(appended[0].value).message;
  EXPECT_EQ(sent.question, "Hello");
  EXPECT_EQ(sent.questionFile->text, "notes");
  EXPECT_EQ(
      chatRequests().back()["messages"].back()["content"].dump().find("notes") != std::string::npos,
      true);
  view.controller().stopGenerating();
  EXPECT_FALSE(view.controller().busy());
}

TEST_F(ChatViewTest, TheQuestionShowsAsSentOnceItsFileHoldsItAndGoesOnce) {
  ChatView& view = makeView();
  // A conversation whose file takes a while to encode and write.
  ChatMessage earlier = finishedMessage("Earlier");
  earlier.answer = std::string(std::size_t{2} << 20, 'x');
  const std::string id = conversationWith({earlier});
  view.controller().setSessionID(id);
  const std::size_t before = chatRequests().size();
  const auto fileHoldsIt = [&] {
    std::ifstream file(Paths::sessionFile(id).rawValue());
    const std::string content{std::istreambuf_iterator<char>(file), {}};
    return content.find(R"("question":"Sent?")") != std::string::npos;
  };
  // Where the window shows the question as sent, and whether its file held it then.
  std::vector<std::pair<std::string, bool>> shown;
  QObject::connect(&m_hub, &ChatViewSignals::messageUpdates, &view,
                   [&](const MessageUpdate& update) {
                     if (update.value.index() == kAppend) shown.emplace_back("page", fileHoldsIt());
                   });
  QObject::connect(&view, &ChatView::textChanged, &view, [&](const QString& text) {
    if (!text.startsWith(u"Sent?")) shown.emplace_back("prompt", fileHoldsIt());
  });

  view.setText(QStringLiteral("Sent?"));
  view.setChatAttachment(ChatAttachment{nullptr, "notes", "notes.txt"});
  view.sendMessage();
  // Typed while the question is written; then Cancel, and Return, which must not send it again.
  view.prompt()->editor()->moveCursor(QTextCursor::End);
  view.prompt()->editor()->insertPlainText(QStringLiteral(" more"));
  view.controller().stopGenerating();
  view.sendMessage();

  ASSERT_TRUE(QTest::qWaitFor([&] { return view.text() == " more"; }, 10000))
      << view.text().toStdString();
  EXPECT_EQ(view.chatAttachment(), std::nullopt);
  ASSERT_EQ(shown.size(), 2u);
  for (const auto& [where, held] : shown)
    EXPECT_TRUE(held) << where << " showed the question before its file held it";
  const auto& messages = ChatSessionManager::shared().sessions().at(id).messages;
  ASSERT_EQ(messages.size(), 2u) << "the question went once";
  EXPECT_EQ(messages[1].question, "Sent?");
  EXPECT_TRUE(messages[1].finished);
  EXPECT_EQ(chatRequests().size(), before) << "stopped before its request started";
}

TEST_F(ChatViewTest, ASendWaitsForTheKeyringsFirstAnswer) {
  server().route("POST", "/v1/chat/completions", streamedAnswer({"Hi"}, 0ms));
  for (const std::optional<std::string>& stored :
       {std::optional<std::string>("sk-stored"), std::optional<std::string>()}) {
    SCOPED_TRACE(stored.value_or("no key"));
    auto settings = makeSettings(stored);
    ChatView& view = makeView(settings.get());
    view.controller().setSessionID(makeConversation("🔑 Keyring"));
    const std::size_t before = chatRequests().size();
    ASSERT_FALSE(settings->loaded());
    view.setText(QStringLiteral("Who am I?"));
    view.sendMessage();
    view.sendMessage();
    EXPECT_FALSE(view.isPresenting(Panel::enterApiKey)) << "no key form before the answer";
    ASSERT_TRUE(QTest::qWaitFor([&] { return settings->loaded(); }, 10000));
    if (stored) {
      ASSERT_TRUE(QTest::qWaitFor(
          [&] { return !view.controller().busy() && view.text().isEmpty(); }, 10000));
      ASSERT_TRUE(server().waitForRequest(server().requestCount() - 1));
      EXPECT_EQ(chatRequests().size(), before + 1);
      EXPECT_EQ(server().requests().back().header("Authorization"), "Bearer sk-stored");
    } else {
      ASSERT_TRUE(QTest::qWaitFor([&] { return view.isPresenting(Panel::enterApiKey); }, 10000));
      EXPECT_EQ(view.text(), "Who am I?");
      EXPECT_EQ(chatRequests().size(), before);
    }
    m_window.reset();
  }
}

TEST_F(ChatViewTest, NoSendGoesIntoAConversationTheStoreDoesNotHold) {
  auto& store = ChatSessionManager::shared();
  makeConversation("🥇 First");
  ChatSessionManagerTestAccess::conversationList(store)->latestSessionID = "deleted-elsewhere";
  ChatView& view = makeView();
  const std::string first = store.conversationList()->conversations.front().id;
  EXPECT_EQ(view.controller().sessionID(), first)
      << "a stale latest conversation opens the first one";

  view.controller().setSessionID("no-such-conversation");
  EXPECT_EQ(view.controller().sessionID(), first);
  EXPECT_FALSE(store.sessions().contains("no-such-conversation"));
  EXPECT_FALSE(fs::exists(Paths::sessionFile("no-such-conversation").rawValue()));

  const std::string doomed = makeConversation("🗑 Doomed");
  view.controller().setSessionID(doomed);
  store.deleteConversation(doomed);
  const std::size_t before = chatRequests().size();
  view.setText(QStringLiteral("Lost?"));
  view.sendMessage();
  EXPECT_FALSE(view.controller().busy());
  EXPECT_EQ(view.text(), "Lost?");
  EXPECT_EQ(chatRequests().size(), before);
  EXPECT_FALSE(store.sessions().contains(doomed));
  EXPECT_FALSE(fs::exists(Paths::sessionFile(doomed).rawValue()));
}

TEST_F(ChatViewTest, SwitchingMidAnswerFinishesThePreviousConversationAndLeavesTheNewOneAlone) {
  server().route("POST", "/v1/chat/completions",
                 streamedAnswer(std::vector<std::string>(60, "word "), 40ms));
  ChatView& view = makeView();
  const std::string first = makeConversation("1️⃣ First");
  const std::string second = conversationWith({finishedMessage("Earlier", false)});
  ChatMessage unfinished = finishedMessage("Left open");
  unfinished.finished = false;
  ChatSessionManager::shared().upsertMessage(unfinished, second);
  FileWriteCounter firstWrites(Paths::sessionFile(first).rawValue());
  FileWriteCounter secondWrites(Paths::sessionFile(second).rawValue());

  view.controller().setSessionID(first);
  view.setText(QStringLiteral("Tell me a long story"));
  view.sendMessage();
  const std::string messageID = view.controller().messageTask()->messageID();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const auto last = ChatSessionManager::shared().lastMessage(first);
        return last && !last->answer.empty();
      },
      10000));

  m_updates.clear();
  view.controller().setSessionID(second);
  EXPECT_FALSE(view.controller().busy());
  const ChatMessage stopped = *ChatSessionManager::shared().lastMessage(first);
  EXPECT_EQ(stopped.id, messageID);
  EXPECT_TRUE(stopped.finished);
  EXPECT_FALSE(stopped.error);
  ChatSessionManager::shared().waitForSaves();
  EXPECT_EQ(firstWrites.count(), 2) << "the question, then the stopped answer";
  EXPECT_EQ(sessionFile(first)["messages"][0]["answer"], stopped.answer);
  EXPECT_EQ(*ChatSessionManager::shared().lastMessage(second), unfinished)
      << "the new conversation is left alone";
  QTest::qWait(200);  // a check that nothing happens: the later chunks of the stopped answer
  EXPECT_EQ(secondWrites.count(), 0);
  EXPECT_TRUE(updatesOfKind(kEdit).empty()) << "the page of the new conversation hears nothing";
  EXPECT_EQ(*ChatSessionManager::shared().lastMessage(first), stopped) << "later chunks dropped";
}

TEST_F(ChatViewTest, DeletingMovesTheContextBreakAndClearingRemovesTheFiles) {
  ChatView& view = makeView();
  const ChatMessage first = finishedMessage("one");
  const ChatMessage second = finishedMessage("two", true);
  const ChatMessage third = finishedMessage("three");
  const std::string id = conversationWith({first, second, third});
  view.controller().setSessionID(id);

  // The page asks, the user confirms.
  view.requestDeleteMessage(second.id);
  ASSERT_TRUE(view.deleteMessageWarningIsVisible());
  auto* card = view.confirmation()->findChild<ConfirmationView*>();
  ASSERT_NE(card, nullptr);
  EXPECT_EQ(view.window()->focusWidget(), card->cancelButton()) << "Return keeps the message";
  card->confirmButton()->click();
  EXPECT_FALSE(view.deleteMessageWarningIsVisible());
  ChatMessage firstWithBreak = first;
  firstWithBreak.endContext = true;
  EXPECT_EQ(m_updates, (std::vector<MessageUpdate>{MessageUpdate::deleteMessage(second.id),
                                                   MessageUpdate::editMessage(firstWithBreak)}));
  EXPECT_EQ(sessionFile(id)["messages"].size(), 2u);
  EXPECT_EQ(sessionFile(id)["messages"][0]["endContext"], true);

  // The first message has nothing before it to show again; cancelling deletes nothing.
  m_updates.clear();
  view.requestDeleteMessage(third.id);
  view.confirmation()->findChild<ConfirmationView*>()->cancelButton()->click();
  view.requestDeleteMessage(first.id);
  view.confirmation()->findChild<ConfirmationView*>()->confirmButton()->click();
  EXPECT_EQ(m_updates, std::vector<MessageUpdate>{MessageUpdate::deleteMessage(first.id)});

  // Clearing removes every message and the files of their attachments.
  QImage picture(64, 64, QImage::Format_RGB32);
  picture.fill(Qt::red);
  ChatMessage withFile = finishedMessage("picture");
  withFile.questionFile =
      ChatMessageFile{"red.jpg", saveAsJPEGFile(picture), std::nullopt, saveAsJPEGFile(picture),
                      ChatMessageFile::ChatMessageFileType::image};
  ChatSessionManager::shared().upsertMessage(withFile, id);
  const std::string imagePath =
      QUrl(QString::fromStdString(*withFile.questionFile->path)).toLocalFile().toStdString();
  ASSERT_TRUE(fs::exists(imagePath));
  m_updates.clear();
  view.toggleClearMessagesConfirmation();
  view.confirmation()->findChild<ConfirmationView*>()->confirmButton()->click();
  EXPECT_EQ(m_updates, std::vector<MessageUpdate>{MessageUpdate::clearMessages()});
  EXPECT_TRUE(view.controller().sessionIsEmpty());
  EXPECT_TRUE(sessionFile(id)["messages"].empty());
  EXPECT_FALSE(fs::exists(imagePath));
  EXPECT_FALSE(fs::exists(QUrl(QString::fromStdString(*withFile.questionFile->thumbnailPath))
                              .toLocalFile()
                              .toStdString()));
}

TEST_F(ChatViewTest, DeleteAndClearStopTheAnswerFirst) {
  server().route("POST", "/v1/chat/completions",
                 streamedAnswer(std::vector<std::string>(60, "word "), 40ms));
  ChatView& view = makeView();
  for (bool clear : {false, true}) {
    SCOPED_TRACE(clear ? "clear" : "delete");
    const ChatMessage kept = finishedMessage("kept");
    const std::string id = conversationWith({kept});
    view.controller().setSessionID(id);
    view.setText(QStringLiteral("Stream"));
    view.sendMessage();
    ASSERT_TRUE(view.controller().busy());
    const std::string streaming = view.controller().messageTask()->messageID();
    if (clear) {
      view.controller().clearMessages();
    } else {
      view.controller().deleteMessage(kept.id);
    }
    EXPECT_FALSE(view.controller().busy());
    QTest::qWait(150);  // a check that nothing happens: no later chunk brings a message back
    const auto& messages = ChatSessionManager::shared().sessions().at(id).messages;
    if (clear) {
      EXPECT_TRUE(messages.empty());
    } else {
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].id, streaming);
      EXPECT_TRUE(messages[0].finished);
    }
  }
}

TEST_F(ChatViewTest, TheContextBreakTogglesOnTheLastMessageButNotWhileAnAnswerStreams) {
  server().route("POST", "/v1/chat/completions",
                 streamedAnswer(std::vector<std::string>(60, "word "), 40ms));
  ChatView& view = makeView();
  const ChatMessage last = finishedMessage("last");
  const std::string id = conversationWith({last});
  view.controller().setSessionID(id);
  FileWriteCounter writes(Paths::sessionFile(id).rawValue());

  runSlashCommand(view, "/clear");
  ChatMessage marked = last;
  marked.endContext = true;
  EXPECT_EQ(m_updates, std::vector<MessageUpdate>{MessageUpdate::editMessage(marked)});
  EXPECT_EQ(writes.count(), 1);
  EXPECT_EQ(sessionFile(id)["messages"][0]["endContext"], true);

  view.setText(QStringLiteral("Stream"));
  view.sendMessage();
  EXPECT_FALSE(view.contextBreakButton()->isEnabled());
  m_updates.clear();
  view.controller().toggleEndContext();
  EXPECT_TRUE(updatesOfKind(kEdit).empty());
  view.controller().stopGenerating();
  EXPECT_TRUE(view.contextBreakButton()->isEnabled());
}

TEST_F(ChatViewTest, EscapeDoesTheFirstThingThatApplies) {
  ChatView& view = makeView();
  view.controller().setSessionID(makeConversation("⎋ Escape"));
  const ChatAttachment attachment{nullptr, "x", std::nullopt};
  const struct {
    const char* name;
    std::function<void()> arrange;
    std::function<bool()> after;
  } cases[] = {
      {"a confirmation is cancelled", [&] { view.toggleClearMessagesConfirmation(); },
       [&] { return !view.showClearMessagesConfirmation(); }},
      {"the search text is emptied, the bar stays",
       [&] {
         view.setSearchVisible(true);
         view.setSearchText(QStringLiteral("needle"));
       },
       [&] { return view.searchVisible() && view.searchText().isEmpty(); }},
      {"an empty search bar hides", [&] { view.setSearchVisible(true); },
       [&] { return !view.searchVisible(); }},
      {"the prompt is emptied with its attachment",
       [&] {
         view.setText(QStringLiteral("draft"));
         view.setChatAttachment(attachment);
       },
       [&] { return view.text().isEmpty() && !view.chatAttachment(); }},
      {"an attachment alone is removed", [&] { view.setChatAttachment(attachment); },
       [&] { return !view.chatAttachment() && m_closes == 0; }},
      {"a pinned window is unpinned",
       [&] {
         if (!view.pinWindow()) view.togglePinWindow();
       },
       [&] { return !view.pinWindow() && !isWindowPinned() && m_closes == 0; }},
      {"then the window closes", [] {}, [&] { return m_closes == 1; }},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    test.arrange();
    view.handleEscape();
    EXPECT_TRUE(test.after());
  }
}

TEST_F(ChatViewTest, SlashCommandsAndThePinRunTheirActions) {
  // Made and wired as the panel's own, so that a lost tie to the program's pin shows here.
  ChatView& view = makeInstalledView();
  const std::string id = makeConversation("/ Commands");
  view.controller().setSessionID(id);
  view.setText(QStringLiteral("/"));
  QStringList offered;
  for (const QAction* command : view.prompt()->completionView()->filteredCommands())
    offered.append(command->text());
  using Chat = LocalizedText::Chat;
  EXPECT_EQ(offered, QStringList({Chat::openConversationCommand(), Chat::listTopicsCommand(),
                                  Chat::pinWindowCommand(), Chat::clearContextCommand(),
                                  Chat::settingsCommand(), Chat::deleteAllMessagesCommand()}));

  const bool pinnedBefore = isWindowPinned();
  runSlashCommand(view, "/pin");
  EXPECT_EQ(view.pinWindow(), !pinnedBefore);
  EXPECT_EQ(isWindowPinned(), view.pinWindow());
  view.togglePinWindow();
  EXPECT_EQ(isWindowPinned(), pinnedBefore);

  runSlashCommand(view, "/open");
  runSlashCommand(view, "/open");
  EXPECT_TRUE(view.isPresenting(Panel::conversationList)) << "the command only opens";
  EXPECT_EQ(m_contexts.back().slot, "switcher");
  EXPECT_EQ(m_contexts.back().sessionID, id);
  view.panel(Panel::conversationList)->setPresented(false);
  runSlashCommand(view, "/topics");
  EXPECT_TRUE(view.isPresenting(Panel::topicList));
  view.panel(Panel::topicList)->setPresented(false);
  runSlashCommand(view, "/delete");
  EXPECT_TRUE(view.showClearMessagesConfirmation());
  view.handleEscape();

  runSlashCommand(view, "/settings");
  view.openSettings();
  std::vector<QWidget*> settingsWindows;
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->objectName() == u"settings" && window->isVisible())
      settingsWindows.push_back(window);
  ASSERT_EQ(settingsWindows.size(), 1u) << "an open settings window is raised, not duplicated";
  // Centred in the work area of its screen, as from every other entry point.
  const QRect area = settingsWindows[0]->screen()->availableGeometry();
  const QSize size = settingsWindows[0]->size();
  EXPECT_EQ(settingsWindows[0]->pos(), QPoint(area.x() + (area.width() - size.width()) / 2,
                                              area.y() + (area.height() - size.height()) / 2));

  // A rename asked for by the list, then Ctrl+N: the new-conversation form creates one.
  const Conversation* conversation = ChatSessionManager::shared().conversation(id);
  emit view.chatViewSignals().editChatSession(*conversation);
  EXPECT_TRUE(view.isPresenting(Panel::newConversation));
  EXPECT_EQ(m_contexts.back().editing, *conversation);
  view.panel(Panel::newConversation)->setPresented(false);
  view.toggleNewConversation();
  EXPECT_EQ(m_contexts.back().slot, "new conversation");
  EXPECT_EQ(m_contexts.back().editing, std::nullopt);
  view.toggleNewConversation();

  view.controller().editCurrentSettings();
  EXPECT_EQ(m_contexts.back().slot, "conversation settings");
  EXPECT_EQ(m_contexts.back().editing, *conversation);
  view.panel(Panel::conversationSettings)->setPresented(false);
}

TEST_F(ChatViewTest, FloatingPanelsDimTheChatWhileAnyIsOpen) {
  ChatView& view = makeView();
  view.controller().setSessionID(makeConversation("🌗 Dim"));
  EXPECT_FALSE(view.isDimmed());
  view.panel(Panel::topicList)->setPresented(true);
  view.panel(Panel::conversationSettings)->setPresented(true);
  EXPECT_EQ(m_hub.overlayCount(), 2);
  EXPECT_TRUE(view.isDimmed());
  view.panel(Panel::topicList)->setPresented(false);
  EXPECT_TRUE(view.isDimmed());
  view.panel(Panel::conversationSettings)->setPresented(false);
  EXPECT_FALSE(view.isDimmed());
  EXPECT_EQ(m_hub.overlayCount(), 0);

  // Sized from the window: the topic list takes 0.8 by 0.6 of it, centred.
  view.panel(Panel::topicList)->setPresented(true);
  const QRect frame = m_window->geometry();
  const QRect panel = view.panel(Panel::topicList)->panel()->geometry();
  EXPECT_EQ(panel.size(), QSize(400, 540));
  EXPECT_EQ(panel.center(), frame.center());
  view.panel(Panel::topicList)->setPresented(false);
}

TEST_F(ChatViewTest, AFaintVeilLiesOverTheColumnAndTheHintsNameCtrl) {
  ChatView& view = makeView();
  view.controller().setSessionID(makeConversation("🌫️ Veil"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view.window()));
  // The header's "#313338" under black at 0.1.
  const QColor header = view.grab().toImage().pixelColor(view.width() / 2, 3);
  EXPECT_EQ(header, QColor(44, 46, 50)) << header.name().toStdString();
  // The veil takes no clicks: the button under it is what the pointer finds.
  QAbstractButton* button = view.contextBreakButton();
  EXPECT_EQ(QApplication::widgetAt(button->mapToGlobal(button->rect().center())), button);

  auto* hint = button->findChild<HintPopover*>();
  ASSERT_NE(hint, nullptr);
  testing::enter(button);
  ASSERT_NE(hint->popup(), nullptr);
  QStringList caps;
  for (KeyView* key : hint->popup()->findChildren<KeyView*>()) caps << key->text();
  EXPECT_EQ(caps, (QStringList{"Ctrl", "J"}));
  testing::leave(button);
}

TEST_F(ChatViewTest, TheHeadersEmojiIsInColourAndTheDeleteAllQuestionIsOpaque) {
  ChatView& view = makeView();
  // A smiley the desktop's sans-serif font has only as a monochrome outline.
  view.controller().setSessionID(makeConversation("😀 Groceries"));
  EXPECT_GT(colorfulPixels(view.grab(QRect(0, 0, view.width(), 40)).toImage()), 20);

  view.toggleClearMessagesConfirmation();
  ASSERT_NE(view.confirmation(), nullptr);
  auto* card = view.confirmation()->findChild<ConfirmationView*>();
  ASSERT_NE(card, nullptr);
  const QImage shot = card->grab().toImage();
  EXPECT_EQ(shot.pixelColor(card->width() / 2, 4), palette::background())
      << "nothing of the chat shows through";
  EXPECT_NE(shot.pixelColor(0, 0), palette::background()) << "rounded as the other sheets";
  EXPECT_EQ(shot.pixelColor(card->width() / 2, shot.height() - 4), palette::secondaryBackground())
      << "the buttons' row";
  view.toggleClearMessagesConfirmation();
}

TEST_F(ChatViewTest, WhatIsDroppedOnTheMessagesBecomesThePendingAttachment) {
  ChatView& view = makeView();
  view.controller().setSessionID(conversationWith({finishedMessage("look")}));
  ASSERT_TRUE(testing::waitForPage(*view.page()));
  auto* dropTarget = view.findChild<ChatAttachmentOnDropModifier*>();
  auto* chip = view.findChild<ChatAttachmentView*>();
  ASSERT_TRUE(dropTarget && chip);
  QImage red(64, 48, QImage::Format_RGB32);
  red.fill(Qt::red);
  const QString picture = QString::fromStdString((m_dir / "cat.png").string());
  ASSERT_TRUE(red.save(picture));

  const struct {
    QList<QUrl> urls;
    QString text;
    std::optional<std::string> fileName;
  } drops[] = {
      {{QUrl::fromLocalFile(picture)}, {}, "cat.png"},
      {{}, QStringLiteral("dropped words"), std::nullopt},
  };
  for (const auto& test : drops) {
    SCOPED_TRACE(test.fileName.value_or("text"));
    view.setChatAttachment(std::nullopt);
    tessra::testing::LogCapture log;
    QMimeData mime;
    if (!test.urls.isEmpty()) mime.setUrls(test.urls);
    if (!test.text.isEmpty()) mime.setText(test.text);
    // Sent where a drag over the middle of the messages arrives: the widget under the pointer.
    const QPoint global = view.page()->mapToGlobal(view.page()->rect().center());
    QWidget* under = QApplication::widgetAt(global);
    ASSERT_TRUE(under == view.page() || view.page()->isAncestorOf(under));
    const QPoint at = under->mapFromGlobal(global);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(under, &enter);
    EXPECT_TRUE(dropTarget->overlay()->isVisible()) << "the hover highlight";
    EXPECT_TRUE(dropTarget->overlay()->geometry().contains(
        dropTarget->overlay()->parentWidget()->mapFromGlobal(global)));
    QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(under, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(under, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_FALSE(dropTarget->overlay()->isVisible());

    const std::optional<ChatAttachment>& attachment = view.chatAttachment();
    ASSERT_TRUE(attachment);
    EXPECT_EQ(attachment->fileName, test.fileName);
    EXPECT_EQ(attachment->image != nullptr, !test.urls.isEmpty());
    ASSERT_TRUE(chip->isVisible());
    if (test.fileName) {
      EXPECT_EQ(chip->card()->grab().toImage().pixelColor(20, 97), palette::tertiaryBackground())
          << "the file's name under the picture";
    }
    // The page stays where it is, with what it showed.
    EXPECT_EQ(view.page()->url(), MessagesWebView::pageUrl());
    EXPECT_EQ(
        testing::evaluate(*view.page(), "document.querySelectorAll('#messages article').length")
            .toInt(),
        1);
    EXPECT_TRUE(log.linesAtLeast(platform::LogLevel::error).empty()) << log.all();
  }
}

TEST_F(ChatViewTest, TheSidePaneWidensTheWindowAndTheHeaderFollowsTheEdge) {
  ChatView& view = makeView();
  const bool before = view.isSidePaneVisible();
  const int recalculations = m_recalculations;
  view.setSidePaneVisible(!before);
  EXPECT_EQ(UserSettings::shared().value(setting::sideBarVisible), !before);
  EXPECT_EQ(m_recalculations, recalculations + 1);
  view.setSidePaneVisible(before);
  EXPECT_EQ(UserSettings::shared().value(setting::sideBarVisible), before);
}

TEST_F(ChatViewTest, TheHeaderShowsANameThatLooksLikeMarkupAsTyped) {
  ChatView& view = makeView();
  ASSERT_TRUE(testing::waitForPage(*view.page()));
  const std::string id = makeConversation("🐱 <img src=/dev/zero>");
  const QString name = QString::fromStdString(ChatSessionManager::shared().conversation(id)->name);
  // The header's label is sized by its text: taken for markup, it would read "/dev/zero" without
  // end, at every start once the conversation is the latest.
  const testing::MemoryCeiling ceiling(64 << 20);
  view.controller().setSessionID(id);
  (void)m_window->grab();
  const auto labels = m_window->findChildren<QLabel*>();
  EXPECT_TRUE(std::ranges::any_of(labels, [&](QLabel* label) { return label->text() == name; }));
  EXPECT_EQ(testing::labelsGuessingTheirFormat(*m_window), std::vector<std::string>{});
}

// A copied picture of 20,000 x 20,000 pixels is more than any reader decodes: pasted, it attaches
// nothing, and the page says so instead of nothing happening at all.
TEST_F(ChatViewTest, AnImageThatCannotBeReadIsToldWhenPasted) {
  ChatView& view = makeView();
  ASSERT_TRUE(testing::waitForPage(*view.page()));
  const auto notice = [&](const char* property) {
    return testing::evaluate(*view.page(),
                             QStringLiteral("document.getElementById('notice').") + property);
  };
  EXPECT_TRUE(notice("hidden").toBool());
  auto* copied = new QMimeData;
  copied->setData(QStringLiteral("image/png"),
                  QByteArray::fromStdString(testing::pngHeader(20000, 20000)));
  QApplication::clipboard()->setMimeData(copied);

  view.prompt()->editor()->paste();

  ASSERT_EVENTUALLY(!notice("hidden").toBool(), 5000);
  EXPECT_EQ(notice("textContent").toString(), LocalizedText::MessagePage::imageNotAttached());
  EXPECT_FALSE(view.chatAttachment());
  EXPECT_EQ(view.text(), "");
}

TEST_F(ChatViewTest, AMessageOpensAloneInItsOwnWindow) {
  ChatView& view = makeView();
  // The window's title shows the question as typed, the title's placeholder mark included.
  const ChatMessage message = finishedMessage("[*] " + std::string(90, 'q'));
  const std::string id = conversationWith({message});
  view.controller().setSessionID(id);
  ASSERT_TRUE(testing::waitForPage(*view.page()));
  const int dock = openDockWindowCount();

  testing::evaluate(*view.page(), QStringLiteral("document.querySelector('button.action.open')"
                                                 ".click(); true"));
  FloatingPanelView* detached = nullptr;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        for (QWidget* window : QApplication::topLevelWidgets())
          if (auto* found = qobject_cast<FloatingPanelView*>(window)) detached = found;
        return detached != nullptr;
      },
      10000));
  EXPECT_EQ(m_closes, 1) << "the floating panel closes";
  EXPECT_EQ(openDockWindowCount(), dock + 1);
  EXPECT_EQ(detached->windowHandle()->title().toStdString(), message.shortQuestion);
  EXPECT_EQ(detached->windowHandle()->title().size(), 80);
  EXPECT_FALSE(detached->closeAutomatically());
  const QRect area = detached->screen()->availableGeometry();
  EXPECT_EQ(detached->pos(),
            QPoint(area.x() + (area.width() - 624) / 2, area.y() + (area.height() - 512) / 2))
      << "centred in the work area, as the settings window is";

  auto* screen = qobject_cast<DetachedAnswerScreen*>(detached->content());
  ASSERT_NE(screen, nullptr);
  ASSERT_TRUE(testing::waitForPage(*screen->page()));
  // The answer goes on changing in the store, as one still streaming does: the window follows.
  ChatMessage grown = message;
  grown.answer += " And it grew.";
  ChatSessionManager::shared().upsertMessage(grown, id);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return testing::evaluate(*screen->page(), QStringLiteral("document.body.textContent"))
            .toString()
            .contains(u"And it grew.");
      },
      10000));
  // Its own page: delete does nothing, opening the message opens a further window.
  testing::evaluate(*screen->page(),
                    QStringLiteral("document.querySelector('button.action.delete').click(); true"));
  testing::evaluate(*screen->page(),
                    QStringLiteral("document.querySelector('button.action.open').click(); true"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return openDockWindowCount() == dock + 2; }, 10000));
  EXPECT_EQ(ChatSessionManager::shared().sessions().at(id).messages.size(), 1u);

  // A pinned panel stays when a message opens in a window of its own.
  view.togglePinWindow();
  const int closes = m_closes;
  testing::evaluate(*view.page(), QStringLiteral("document.querySelector('button.action.open')"
                                                 ".click(); true"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return openDockWindowCount() == dock + 3; }, 10000));
  EXPECT_EQ(m_closes, closes) << "the pinned panel stays";
  view.togglePinWindow();

  // At the quit, the windows still open go before the application object, with their pages.
  QPointer<MessagesWebView> page = screen->page();
  DetachedAnswerScreen::deleteAll();
  EXPECT_TRUE(page.isNull());
  for (QWidget* window : QApplication::topLevelWidgets())
    EXPECT_EQ(qobject_cast<FloatingPanelView*>(window), nullptr);
  EXPECT_EQ(openDockWindowCount(), dock) << "each window counted out once";
  EXPECT_EQ(DetachedAnswerScreen::open(id, "unknown"), nullptr);
}

}  // namespace
}  // namespace tessra
