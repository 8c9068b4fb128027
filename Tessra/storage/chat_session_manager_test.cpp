#include "Tessra/storage/chat_session_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "Tessra/storage/chat_session_manager_test_access.h"
#include "Tessra/storage/notification_names.h"
#include "Tessra/storage/paths.h"
#include "Tessra/storage/settings_table.h"
#include "Tessra/storage/storage_test_support.h"
#include "Tessra/storage/welcome.h"
#include "files/file_error.h"
#include "files/json_file.h"
#include "platform/foundation/json.h"
#include "platform/foundation/queue.h"
#include "platform/foundation/uuid.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

namespace fs = std::filesystem;
using storage_test::readFile;
using storage_test::writeFile;

// Every regular file under a folder with its content.
std::map<std::string, std::string> snapshot(const fs::path& root) {
  std::map<std::string, std::string> files;
  if (!fs::exists(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) files[entry.path().string()] = readFile(entry.path());
  return files;
}

ChatMessage message(const std::string& id, bool endContext = false) {
  ChatMessage m(id, "question " + id, "answer " + id, true, endContext);
  m.createdAt = platform::Date::fromReferenceDate(700000000.5);
  return m;
}

class ChatSessionManagerTest : public ::testing::Test {
 protected:
  ChatSessionManagerTest() {
    fs::remove_all(storage());
    m_token = m_center.addObserver(std::string(notification_names::kConversationListDidChanged),
                                   [this](const platform::Notification&) { ++m_listPosts; });
  }

  static fs::path storage() { return fs::path(Paths::storageDirectory().rawValue()); }
  static fs::path filesFolder() { return fs::path(Paths::filesDirectory().rawValue()); }
  static fs::path sessionFile(const std::string& id) { return storage() / (id + ".json"); }
  static std::string fileUrl(const std::string& name) {
    return "file://" + Paths::filesDirectory().rawValue() + name;
  }

  // A store that starts from what is on disk, as the next run of the program would.
  std::unique_ptr<ChatSessionManager> reloaded() {
    auto store = std::make_unique<ChatSessionManager>(m_center, m_defaults);
    store->load();
    return store;
  }

  ConversationList listOnDisk() {
    return files::JsonFile<ConversationList>(Paths::conversationsFile()).read();
  }
  ChatSession sessionOnDisk(const std::string& id) {
    return files::JsonFile<ChatSession>(Paths::sessionFile(id)).read();
  }
  std::unordered_map<std::string, ChatSession>& cachedSessions() {
    return ChatSessionManagerTestAccess::sessions(m_store);
  }

  testing::TempDir m_dir;
  platform::UserDefaults m_defaults{m_dir / "defaults.json"};
  platform::NotificationCenter m_center;
  platform::NotificationCenter::ObserverToken m_token;
  int m_listPosts = 0;
  ChatSessionManager m_store{m_center, m_defaults};
  storage_test::LogCapture m_log;
};

// --- Load and seed
// ---------------------------------------------------------------------------------

TEST_F(ChatSessionManagerTest, FirstStartSeedsTheWelcomeConversationOnce) {
  ASSERT_FALSE(fs::exists(storage()));
  m_store.load();
  EXPECT_TRUE(fs::is_directory(storage()));
  EXPECT_EQ(fs::status(storage()).permissions(), fs::perms::owner_all) << "for the user alone";
  ASSERT_TRUE(fs::exists(sessionFile("welcome")));
  ASSERT_TRUE(fs::exists(Paths::conversationsFile().rawValue()));
  EXPECT_EQ(m_store.sessions().size(), 1u);
  EXPECT_TRUE(m_store.sessions().contains("welcome"));
  EXPECT_EQ(m_listPosts, 1);
  EXPECT_EQ(m_store.conversationList(), initialConversationList());
  EXPECT_TRUE(m_store.contextMessages("welcome").empty());

  const auto before = snapshot(storage());
  m_store.load();
  EXPECT_EQ(m_listPosts, 1);
  EXPECT_EQ(snapshot(storage()), before);

  auto next = reloaded();
  EXPECT_EQ(next->conversationList(), m_store.conversationList());
  EXPECT_TRUE(next->sessions().empty());
  next->loadSession("welcome", false);
  EXPECT_EQ(next->sessions().at("welcome"), m_store.sessions().at("welcome"));
  EXPECT_EQ(snapshot(storage()), before);
}

TEST_F(ChatSessionManagerTest, UnreadableListIsMovedAsideAndNothingIsOverwritten) {
  const std::string truncated = R"({"id":"L","conversations":[{"id":"mine","name":"My)";
  const std::string myWelcome = platform::encodeJson(
      nlohmann::json(ChatSession{"welcome", "🎉 Tessra", {message("u1"), message("u2")}}));
  writeFile(Paths::conversationsFile().rawValue(), truncated);
  writeFile(sessionFile("welcome"), myWelcome);
  writeFile(sessionFile("mine"), "{\"id\":\"mine\",\"name\":\"My\",\"messages\":[]}");
  const auto before = snapshot(storage());

  m_store.load();

  std::vector<fs::path> aside;
  for (const auto& entry : fs::directory_iterator(storage()))
    if (entry.path().filename().string().starts_with("conversations.json.unreadable-"))
      aside.push_back(entry.path());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(readFile(aside[0]), truncated);
  EXPECT_EQ(readFile(sessionFile("welcome")), myWelcome);
  EXPECT_EQ(readFile(sessionFile("mine")), before.at(sessionFile("mine").string()));
  // The seed, and the session found beside it: it has no question to be named by.
  ASSERT_EQ(listOnDisk().conversations.size(), 2u);
  EXPECT_EQ(listOnDisk().conversations[0], initialConversationList().conversations[0]);
  EXPECT_EQ(listOnDisk().conversations[1].id, "mine");
  EXPECT_EQ(listOnDisk().conversations[1].name, "💬 Untitled");
  EXPECT_TRUE(m_log.contains("Failed to read the conversation list"));
  // The user's own welcome session is what the seeded conversation opens.
  m_store.loadSession("welcome", true);
  EXPECT_EQ(m_store.sessions().at("welcome").messages.size(), 2u);
}

// "conversations.json" cut short by ten bytes: every session file that reads is a conversation
// again, named by its first question, oldest first; one that does not read stays as it is.
TEST_F(ChatSessionManagerTest, ConversationsComeBackFromTheirSessionFilesWhenTheListIsLost) {
  const auto session = [](const std::string& id, const std::string& question, double created) {
    ChatMessage first(id + "-1", question, "an answer", true, false);
    first.createdAt = platform::Date::fromReferenceDate(created);
    return ChatSession{id, "🦜 Its own name", {first, message(id + "-2")}};
  };
  const std::string thirty(30, 'x');
  const struct {
    std::string id;
    std::string question;
    std::string name;
  } cases[] = {
      {"b", "What is a monad?", "💬 What is a monad? 2"},
      {"a", "  Two lines\n  of text  ", "💬 Two lines of text"},
      {"c", thirty + "y", "💬 " + std::string(29, 'x') + "…"},
      {"d", "Hi", "💬 Untitled"},
      {"e", "What is a monad?", "💬 What is a monad?"},
      {"f", "à" + std::string(40, 'e'), "💬 à" + std::string(28, 'e') + "…"},
  };
  fs::create_directories(storage());
  ConversationList lost{"L", "b", {}};
  double created = 1000;
  for (const auto& test : cases) {
    files::JsonFile<ChatSession>(Paths::sessionFile(test.id))
        .write(session(test.id, test.question, created--));
    lost.conversations.push_back({test.id, "🦜 Its own name", platform::Date::now(), {}});
  }
  const std::string list = platform::encodeJson(nlohmann::json(lost));
  writeFile(Paths::conversationsFile().rawValue(), list.substr(0, list.size() - 10));
  writeFile(sessionFile("broken"), "{\"id\":\"broken\",\"name\":");
  writeFile(storage() / "notes.txt", "not a session");

  m_store.load();

  const ConversationList back = listOnDisk();
  ASSERT_EQ(back.conversations.size(), 1 + std::size(cases));
  EXPECT_EQ(back.conversations[0].id, kWelcomeSessionId);
  EXPECT_EQ(back.latestSessionID, kWelcomeSessionId);
  // Oldest first: the table was written newest first.
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& test = cases[std::size(cases) - 1 - i];
    SCOPED_TRACE(test.id);
    const Conversation& found = back.conversations[i + 1];
    EXPECT_EQ(found.id, test.id);
    EXPECT_EQ(found.name, test.name);
    EXPECT_EQ(found.config->model, setting::openAiModel.read(m_defaults));
    m_store.loadSession(found.id, false);
    EXPECT_EQ(m_store.sessions().at(found.id).messages.size(), 2u);
  }
  EXPECT_EQ(readFile(sessionFile("broken")), "{\"id\":\"broken\",\"name\":");
  EXPECT_TRUE(m_log.contains("Left a session file that cannot be read as it is"));
  std::size_t aside = 0;
  for (const auto& entry : fs::directory_iterator(storage()))
    if (entry.path().filename().string().starts_with("conversations.json.unreadable-")) ++aside;
  EXPECT_EQ(aside, 1u) << "the list that was cut short stays for the user";
}

TEST_F(ChatSessionManagerTest, ExistingListIsReadAsItIs) {
  const ConversationList list{"L",
                              "b",
                              {{"a", "A", platform::Date::fromReferenceDate(5), {}},
                               {"b", "B", platform::Date::fromReferenceDate(6), {}}}};
  fs::create_directories(storage());
  files::JsonFile<ConversationList>(Paths::conversationsFile()).write(list);
  m_store.load();
  EXPECT_EQ(m_store.conversationList(), list);
  EXPECT_TRUE(m_store.sessions().empty());
  EXPECT_EQ(m_listPosts, 1);
}

// A list whose entries share an id (written by hand or by another program): every entry stays
// reachable with the messages it opened, and a delete takes exactly the row that was picked.
TEST_F(ChatSessionManagerTest, EntriesSharingAnIdKeepTheirMessagesAndADeleteTakesOnlyThePickedOne) {
  const std::string nfc = "caf\u00e9";
  const std::string nfd = "cafe\u0301";
  const auto session = [](const std::string& id, int messages) {
    ChatSession s{id, "n", {}};
    for (int i = 0; i < messages; ++i) s.messages.push_back(message(id + std::to_string(i)));
    return s;
  };
  fs::create_directories(storage());
  files::JsonFile<ConversationList>(Paths::conversationsFile())
      .write(ConversationList{"L",
                              "same",
                              {{"same", "🅰️ First", platform::Date::now(), {}},
                               {"same", "🅱️ Second", platform::Date::now(), {}},
                               {nfc, "☕ Composed", platform::Date::now(), {}},
                               {nfd, "☕ Decomposed", platform::Date::now(), {}},
                               {"same", "🆑 Third", platform::Date::now(), {}}}});
  files::JsonFile<ChatSession>(Paths::sessionFile("same")).write(session("same", 3));
  files::JsonFile<ChatSession>(Paths::sessionFile(nfc)).write(session(nfc, 1));
  files::JsonFile<ChatSession>(Paths::sessionFile(nfd)).write(session(nfd, 2));

  m_store.load();

  const auto entries = [&] { return m_store.conversationList()->conversations; };
  ASSERT_EQ(entries().size(), 5u);
  std::vector<std::string> names;
  for (const Conversation& entry : entries()) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{"🅰️ First", "🅱️ Second", "☕ Composed",
                                             "☕ Decomposed", "🆑 Third"}));
  EXPECT_EQ(entries()[0].id, "same");
  EXPECT_EQ(entries()[2].id, nfc);
  const std::size_t expectedMessages[] = {3, 3, 1, 2, 3};
  for (std::size_t i = 0; i < entries().size(); ++i) {
    SCOPED_TRACE(entries()[i].name);
    for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(sameText(entries()[i].id, entries()[j].id));
    m_store.loadSession(entries()[i].id, false);
    EXPECT_EQ(m_store.sessions().at(entries()[i].id).messages.size(), expectedMessages[i]);
  }
  EXPECT_EQ(listOnDisk(), m_store.conversationList());
  EXPECT_FALSE(fs::exists(sessionFile(nfd))) << "the file of one entry alone went with it";
  EXPECT_TRUE(m_log.contains("another one has its id same"));

  // The user picks the second row.
  const Conversation picked = entries()[1];
  m_store.deleteConversation(picked);
  auto next = reloaded();
  ASSERT_EQ(next->conversationList()->conversations.size(), 4u);
  EXPECT_EQ(next->conversationList()->conversations[0].name, "🅰️ First");
  EXPECT_EQ(next->conversation(picked.id), nullptr);
  EXPECT_EQ(sessionOnDisk("same").messages.size(), 3u);
  EXPECT_FALSE(fs::exists(sessionFile(picked.id)));
}

// Image files written for a question or an answer whose conversation was never saved with them
// (the program quit meanwhile) go at the next start; whatever a conversation names, and whatever
// the program does not write itself, stays.
TEST_F(ChatSessionManagerTest, LeftoverImageFilesNoConversationNamesGoAtTheNextStart) {
  const auto uuidName = [] { return platform::makeUuidString() + ".jpg"; };
  const std::string orphan = uuidName(), outside = uuidName(), named = uuidName(),
                    namedThumbnail = uuidName(), namedByBrokenFile = uuidName(),
                    folder = uuidName(), link = uuidName(), lowerCase = uuidName();
  for (const std::string& name : {orphan, named, namedThumbnail, namedByBrokenFile})
    writeFile(filesFolder() / name, "jpeg " + name);
  writeFile(filesFolder() / folder / "inside.jpg", "inside");
  writeFile(m_dir / "elsewhere.jpg", "elsewhere");
  fs::create_symlink(m_dir / "elsewhere.jpg", filesFolder() / link);
  std::string lower = lowerCase;
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  writeFile(filesFolder() / lower, "not a name the program writes");
  writeFile(filesFolder() / "photo.jpg", "the user's own");
  writeFile(storage() / outside, "beside the sessions, not in the files folder");

  ChatMessage withFiles = message("1");
  withFiles.questionFile = ChatMessageFile{"q.jpg",
                                           fileUrl(named),
                                           {},
                                           fileUrl(namedThumbnail),
                                           ChatMessageFile::ChatMessageFileType::image};
  files::JsonFile<ChatSession>(Paths::sessionFile("kept"))
      .write(ChatSession{"kept", "n", {withFiles}});
  writeFile(sessionFile("broken"), "{\"messages\":[{\"path\":\"" + fileUrl(namedByBrokenFile));
  const auto before = snapshot(storage());

  m_store.load();
  ASSERT_TRUE(storage_test::waitUntil(
      [&] { return m_log.contains("leftover attachment files that no conversation names"); },
      [] { std::this_thread::yield(); }));

  auto expected = before;
  expected.erase((filesFolder() / orphan).string());
  auto after = snapshot(storage());
  after.erase(Paths::conversationsFile().rawValue());
  after.erase(sessionFile("welcome").string());
  EXPECT_EQ(after, expected);
  EXPECT_TRUE(fs::is_symlink(filesFolder() / link));
  EXPECT_TRUE(m_log.contains("Removed 1 leftover attachment files"));
}

// --- Sessions
// --- Sessions
// --- Sessions
// --------------------------------------------------------------------------------------

TEST_F(ChatSessionManagerTest, LoadSessionCases) {
  m_store.load();
  const Conversation created = m_store.createConversation("💬 Notes");
  cachedSessions().erase(created.id);

  m_store.loadSession(created.id, false);
  EXPECT_EQ(m_store.sessions().at(created.id), (ChatSession{created.id, "💬 Notes", {}}));
  EXPECT_FALSE(fs::exists(sessionFile(created.id)));
  EXPECT_EQ(m_store.conversationList()->latestSessionID, "welcome");

  cachedSessions().erase(created.id);
  m_store.loadSession(created.id, true);
  EXPECT_TRUE(fs::exists(sessionFile(created.id)));
  EXPECT_EQ(listOnDisk().latestSessionID, created.id);

  // Cached already: nothing changes, not even the latest session.
  const auto before = snapshot(storage());
  m_store.loadSession("welcome", true);
  EXPECT_EQ(m_store.conversationList()->latestSessionID, created.id);
  EXPECT_EQ(snapshot(storage()), before);

  m_store.loadSession("nobody", false);
  const ChatSession& untitled = m_store.sessions().at("nobody");
  EXPECT_EQ(untitled.name, "Untitled");
  EXPECT_EQ(untitled.id.size(), 36u);
  EXPECT_NE(untitled.id, "nobody");
  EXPECT_FALSE(fs::exists(sessionFile("nobody")));
}

TEST_F(ChatSessionManagerTest, SessionWithOneBadMessageIsReportedAndKept) {
  m_store.load();
  const Conversation created = m_store.createConversation("🐞 Bugs");
  m_store.upsertMessage(message("1"), created.id);
  m_store.saveSession(created.id);
  std::string text = readFile(sessionFile(created.id));
  const auto at = text.find("\"finished\":true");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, std::string("\"finished\":true").size(), "\"finished\":\"yes\"");
  writeFile(sessionFile(created.id), text);

  auto next = reloaded();
  const auto before = snapshot(storage());
  try {
    next->loadSession(created.id, true);
    FAIL() << "read";
  } catch (const files::FileError& error) {
    EXPECT_EQ(error.kind(), files::FileError::Kind::readFromFileFail);
  }
  EXPECT_FALSE(next->sessions().contains(created.id));
  EXPECT_THROW(next->renameConversation(created.id, "🐞 Renamed"), files::FileError);
  next->upsertMessage(message("2"), created.id);
  next->saveSession(created.id);
  EXPECT_EQ(snapshot(storage()), before);
  EXPECT_EQ(next->conversationList()->conversations.back().name, "🐞 Bugs");

  // Why it cannot be read is kept for the user, until it reads again.
  const auto why = next->readError(created.id);
  ASSERT_TRUE(why);
  EXPECT_TRUE(why->starts_with(sessionFile(created.id).string() + ": ")) << *why;
  EXPECT_NE(why->find("finished"), std::string::npos) << *why;
  int posts = 0;
  QObject listening;
  QObject::connect(next.get(), &ChatSessionManager::sessionFileStateChanged, &listening,
                   [&](const std::string& id) {
                     EXPECT_EQ(id, created.id);
                     ++posts;
                   });
  EXPECT_THROW(next->loadSession(created.id, false), files::FileError);
  EXPECT_EQ(posts, 0) << "the same failure is told once";
  writeFile(
      sessionFile(created.id),
      platform::encodeJson(nlohmann::json(ChatSession{created.id, "🐞 Bugs", {message("1")}})));
  next->loadSession(created.id, false);
  EXPECT_EQ(next->readError(created.id), std::nullopt);
  EXPECT_EQ(posts, 1);
}

TEST_F(ChatSessionManagerTest, AnAnswerLeftUnfinishedByAnEarlierRunReadsAsFinished) {
  m_store.load();
  const Conversation created = m_store.createConversation("⚡ Cut");
  ChatMessage cut = message("1");
  cut.finished = false;
  cut.answer = "Half of";
  // Its tool was running when that run ended: the step ends with it.
  cut.functionCalls = {{"Done", ChatMessageFunctionCall::Status::done},
                       ChatMessageFunctionCall::running("Painter")};
  m_store.upsertMessage(message("0"), created.id);
  m_store.upsertMessage(cut, created.id);
  m_store.saveSession(created.id);
  const std::string onDisk = readFile(sessionFile(created.id));

  auto next = reloaded();
  next->loadSession(created.id, false);
  cut.finished = true;
  cut.functionCalls->back() = {"Painter", ChatMessageFunctionCall::Status::failed};
  EXPECT_EQ(next->sessions().at(created.id).messages.back(), cut);
  EXPECT_EQ(readFile(sessionFile(created.id)), onDisk) << "in memory only";
}

// A folder in the session file's place makes its atomic replacement fail, whoever runs the test.
TEST_F(ChatSessionManagerTest, AFailedSaveIsToldUntilASaveSucceeds) {
  m_store.load();
  const Conversation created = m_store.createConversation("💾 Disk");
  std::vector<std::optional<std::string>> told;
  QObject listening;
  QObject::connect(&m_store, &ChatSessionManager::sessionFileStateChanged, &listening,
                   [&](const std::string&) { told.push_back(m_store.saveError(created.id)); });
  const auto save = [&](bool background) {
    if (!background) return m_store.saveSession(created.id);
    m_store.saveSessionInBackground(created.id);
    m_store.waitForSaves();
    platform::mainQueue().drain();
  };
  m_store.upsertMessage(message("1"), created.id);
  fs::create_directory(sessionFile(created.id));
  for (const bool background : {false, true}) {
    SCOPED_TRACE(background ? "in the background" : "at once");
    save(background);
    ASSERT_TRUE(m_store.saveError(created.id));
    EXPECT_EQ(*m_store.saveError(created.id),
              sessionFile(created.id).string() + ": Is a directory");
  }
  EXPECT_EQ(told.size(), 1u) << "the same failure is told once";
  EXPECT_TRUE(m_log.contains("Failed to save changes"));

  fs::remove(sessionFile(created.id));
  for (const bool background : {true, false}) {
    SCOPED_TRACE(background ? "in the background" : "at once");
    m_store.upsertMessage(message(background ? "2" : "3"), created.id);
    save(background);
    EXPECT_EQ(m_store.saveError(created.id), std::nullopt);
    EXPECT_EQ(sessionOnDisk(created.id), m_store.sessions().at(created.id));
  }
  ASSERT_EQ(told.size(), 2u);
  EXPECT_EQ(told[1], std::nullopt);
}

TEST_F(ChatSessionManagerTest, BackgroundSavesNeverLandAfterALaterSaveOrDelete) {
  m_store.load();
  const Conversation created = m_store.createConversation("🧵 Order");
  for (int i = 0; i < 40; ++i) {
    m_store.upsertMessage(message(std::to_string(i)), created.id);
    m_store.saveSessionInBackground(created.id);
  }
  m_store.upsertMessage(message("last"), created.id);
  m_store.saveSession(created.id);
  EXPECT_EQ(sessionOnDisk(created.id), m_store.sessions().at(created.id));
  m_store.waitForSaves();
  EXPECT_EQ(sessionOnDisk(created.id), m_store.sessions().at(created.id));

  for (int i = 0; i < 40; ++i) {
    m_store.upsertMessage(message("again " + std::to_string(i)), created.id);
    m_store.saveSessionInBackground(created.id);
  }
  m_store.deleteConversation(created.id);
  m_store.waitForSaves();
  platform::mainQueue().drain();
  EXPECT_FALSE(fs::exists(sessionFile(created.id)));
  EXPECT_EQ(m_store.saveError(created.id), std::nullopt);
}

TEST_F(ChatSessionManagerTest, SessionFileThatIsNoPlainFileIsNeverReplacedByAnEmptySession) {
  m_store.load();
  const Conversation linked = m_store.createConversation("🔗 Linked");
  const Conversation folder = m_store.createConversation("📁 Folder");
  const Conversation dangling = m_store.createConversation("🪢 Dangling");
  cachedSessions().clear();

  // The user keeps one session elsewhere and links it in.
  const fs::path elsewhere = m_dir / "synced" / "session.json";
  const std::string mine = platform::encodeJson(
      nlohmann::json(ChatSession{linked.id, "🔗 Linked", {message("1"), message("2")}}));
  writeFile(elsewhere, mine);
  fs::create_symlink(elsewhere, sessionFile(linked.id));
  fs::create_directories(sessionFile(folder.id));
  writeFile(sessionFile(folder.id) / "inside", "kept");
  fs::create_symlink(m_dir / "nowhere.json", sessionFile(dangling.id));

  m_store.loadSession(linked.id, true);
  EXPECT_EQ(m_store.sessions().at(linked.id).messages.size(), 2u);
  m_store.saveSession(linked.id);
  EXPECT_EQ(readFile(elsewhere), mine);
  EXPECT_TRUE(fs::is_symlink(sessionFile(linked.id)));

  for (const Conversation& unreadable : {folder, dangling}) {
    SCOPED_TRACE(unreadable.name);
    EXPECT_THROW(m_store.loadSession(unreadable.id, true), files::FileError);
    EXPECT_FALSE(m_store.sessions().contains(unreadable.id));
    m_store.upsertMessage(message("3"), unreadable.id);
    m_store.saveSession(unreadable.id);
  }
  EXPECT_EQ(readFile(sessionFile(folder.id) / "inside"), "kept");
  EXPECT_TRUE(fs::is_symlink(sessionFile(dangling.id)));
  EXPECT_FALSE(fs::exists(m_dir / "nowhere.json"));
}

TEST_F(ChatSessionManagerTest, SessionIdsThatAreNoPlainNamesTouchNoFile) {
  m_store.load();
  const fs::path outside = storage().parent_path() / "x.json";
  writeFile(outside, "outside");
  const auto before = snapshot(storage().parent_path().parent_path());

  for (const std::string id : {"../x", "../../x", "", ".", "a/b", "conversations"}) {
    SCOPED_TRACE(id);
    EXPECT_THROW(m_store.loadSession(id, true), InvalidSessionIdError);
    cachedSessions()[id] = ChatSession{id, "n", {message("1")}};
    m_store.saveSession(id);
    ChatSessionManagerTestAccess::conversationList(m_store)->conversations.push_back(
        Conversation{id, "n " + id, platform::Date::now(), {}});
    m_store.deleteConversation(id);
  }
  EXPECT_TRUE(m_log.contains("\"Failed to save changes\" Invalid session identifier"));
  EXPECT_TRUE(m_log.contains("\"Failed to delete session file\" Invalid session identifier"));
  auto after = snapshot(storage().parent_path().parent_path());
  EXPECT_EQ(readFile(outside), "outside");
  EXPECT_EQ(listOnDisk(), m_store.conversationList());
  // Only the list changed (the entries came and went); nothing else was written or removed.
  after.erase(Paths::conversationsFile().rawValue());
  auto expected = before;
  expected.erase(Paths::conversationsFile().rawValue());
  EXPECT_EQ(after, expected);
}

// --- Conversations
// -----------------------------------------------------------------------------------

TEST_F(ChatSessionManagerTest, CreateConversation) {
  ASSERT_TRUE(setting::openAiModel.write(ChatGPTModels::gpt4o, m_defaults));
  // Before the load: returned and cached, nothing written.
  const Conversation early = m_store.createConversation("🌅 Early");
  EXPECT_TRUE(m_store.sessions().contains(early.id));
  EXPECT_FALSE(fs::exists(storage()));

  m_store.load();
  const Conversation created = m_store.createConversation("📚 Books");
  EXPECT_EQ(created.id.size(), 36u);
  EXPECT_EQ(created.config, (ConversationConfig{ChatGPTModels::gpt4o, {}, {}, {}, {}, {}, 0}));
  EXPECT_EQ(m_store.sessions().at(created.id), (ChatSession{created.id, "📚 Books", {}}));
  EXPECT_FALSE(fs::exists(sessionFile(created.id)));

  const auto before = snapshot(storage());
  EXPECT_THROW(m_store.createConversation("📚 Books"), TessraError);
  // "é" precomposed and decomposed are the same name.
  m_store.createConversation("Caf\u00e9");
  EXPECT_THROW(m_store.createConversation("Cafe\u0301"), TessraError);
  EXPECT_NO_THROW(m_store.createConversation("📚 books"));
  EXPECT_NE(snapshot(storage()), before);

  const auto list = listOnDisk();
  ASSERT_EQ(list.conversations.size(), 4u);
  EXPECT_EQ(list.conversations[1], created);
  EXPECT_EQ(m_listPosts, 4);  // the load and each conversation created after it
}

TEST_F(ChatSessionManagerTest, RenameAndUpdateConversation) {
  m_store.load();
  const Conversation created = m_store.createConversation("🍎 Apples");
  m_store.renameConversation(created.id, "🍐 Pears");
  EXPECT_EQ(listOnDisk().conversations.back().name, "🍐 Pears");
  EXPECT_EQ(sessionOnDisk(created.id).name, "🍐 Pears");

  Conversation changed = m_store.conversationList()->conversations.back();
  changed.config->temperature = 0.3;
  changed.name = "ignored by the session";
  m_store.updateConversation(created.id, changed);
  EXPECT_EQ(listOnDisk().conversations.back(), changed);
  EXPECT_EQ(sessionOnDisk(created.id).name, "🍐 Pears");

  auto next = reloaded();
  EXPECT_EQ(next->conversationList(), m_store.conversationList());

  m_store.renameConversation("missing", "x");
  EXPECT_TRUE(m_log.contains("\"Conversation not found\""));
  EXPECT_TRUE(m_store.sessions().contains("missing"));
  EXPECT_NO_THROW(m_store.updateConversation("missing", changed));
}

// A folder in the list file's place makes its atomic replacement fail, whoever runs the test.
TEST_F(ChatSessionManagerTest, FailedListWriteReachesTheCaller) {
  m_store.load();
  const Conversation kept = m_store.createConversation("🍎 Apples");
  fs::remove(fs::path(Paths::conversationsFile().rawValue()));
  fs::create_directory(fs::path(Paths::conversationsFile().rawValue()));
  const auto before = m_store.conversationList();
  const std::size_t sessionsBefore = m_store.sessions().size();

  EXPECT_THROW(m_store.createConversation("🍐 Pears"), ListWriteError);
  EXPECT_EQ(m_store.conversationList(), before);  // the create is taken back
  EXPECT_EQ(m_store.sessions().size(), sessionsBefore);

  EXPECT_THROW(m_store.renameConversation(kept.id, "🍏 Green"), ListWriteError);
  EXPECT_EQ(m_store.conversation(kept.id)->name, "🍏 Green");  // kept for the next save

  Conversation changed = *m_store.conversation(kept.id);
  changed.config->temperature = 0.9;
  EXPECT_THROW(m_store.updateConversation(kept.id, changed), ListWriteError);
  EXPECT_EQ(*m_store.conversation(kept.id), changed);
  EXPECT_TRUE(m_log.contains("Failed to save changes"));
}

TEST_F(ChatSessionManagerTest, DeleteConversationByIdWithItsFiles) {
  m_store.load();
  const Conversation doomed = m_store.createConversation("🗑️ Doomed");
  const Conversation kept = m_store.createConversation("📌 Kept");
  fs::create_directories(filesFolder());
  for (const char* name : {"q.jpg", "q-thumb.jpg", "a.jpg", "keep.jpg"})
    writeFile(filesFolder() / name, name);

  ChatMessage withFiles = message("1");
  withFiles.questionFile = ChatMessageFile{"q.jpg",
                                           fileUrl("q.jpg"),
                                           {},
                                           fileUrl("q-thumb.jpg"),
                                           ChatMessageFile::ChatMessageFileType::image};
  withFiles.answerFiles = std::vector<ChatMessageFile>{
      {{}, fileUrl("a.jpg"), {}, fileUrl("gone.jpg"), ChatMessageFile::ChatMessageFileType::image}};
  m_store.upsertMessage(withFiles, doomed.id);
  m_store.saveSession(doomed.id);

  // A stale copy (renamed since) still deletes the conversation: it goes by id.
  Conversation stale = doomed;
  stale.name = "old name";
  auto next = reloaded();
  next->deleteConversation(stale);
  EXPECT_EQ(next->conversationList()->conversations.size(), 2u);
  EXPECT_FALSE(fs::exists(sessionFile(doomed.id)));
  EXPECT_FALSE(fs::exists(filesFolder() / "q.jpg"));
  EXPECT_FALSE(fs::exists(filesFolder() / "q-thumb.jpg"));
  EXPECT_FALSE(fs::exists(filesFolder() / "a.jpg"));
  EXPECT_TRUE(fs::exists(filesFolder() / "keep.jpg"));
  const auto list = listOnDisk();
  ASSERT_EQ(list.conversations.size(), 2u);
  EXPECT_EQ(list.conversations[1], kept);

  // A conversation whose session file was never written: nothing to delete, which is no error.
  next->deleteConversation(kept.id);
  EXPECT_TRUE(m_log.contains("\"Failed to delete session file\""));
  EXPECT_EQ(m_log.linesAtLeast(platform::LogLevel::error), std::vector<std::string>{});
  EXPECT_EQ(listOnDisk().conversations.size(), 1u);
}

// Whatever stands at a session's path is the user's: the conversation goes, a folder there and
// everything in it stay.
TEST_F(ChatSessionManagerTest, DeletingAConversationWhoseSessionIsAFolderKeepsTheFolder) {
  m_store.load();
  const Conversation doomed = m_store.createConversation("📁 Folder");
  cachedSessions().clear();
  writeFile(sessionFile(doomed.id) / "photos" / "cat.jpg", "cat");
  writeFile(sessionFile(doomed.id) / "notes.txt", "notes");
  const auto before = snapshot(sessionFile(doomed.id));

  m_store.deleteConversation(doomed.id);

  EXPECT_EQ(m_store.conversation(doomed.id), nullptr);
  EXPECT_EQ(listOnDisk().conversations.size(), 1u);
  EXPECT_EQ(snapshot(sessionFile(doomed.id)), before);
  EXPECT_TRUE(m_log.contains("\"Failed to delete session file\""));
}

TEST_F(ChatSessionManagerTest, ReorderTakesCurrentValues) {
  m_store.load();
  const Conversation a = m_store.createConversation("A");
  const Conversation b = m_store.createConversation("B");
  m_store.renameConversation(a.id, "A renamed");
  // The side list still holds the values from before the rename, and not the welcome entry.
  m_store.replaceConversations({b, a, Conversation{"unknown", "?", {}, {}}});
  const auto list = listOnDisk();
  ASSERT_EQ(list.conversations.size(), 3u);
  EXPECT_EQ(list.conversations[0].id, b.id);
  EXPECT_EQ(list.conversations[1].name, "A renamed");
  EXPECT_EQ(list.conversations[2].id, "welcome");
}

// The windows follow the store alone: each change reaches them as a signal, and the other
// subsystems as the notification they know it by, in the order the change was made.
TEST_F(ChatSessionManagerTest, EveryChangeIsAnnouncedByTheStore) {
  std::vector<std::string> heard;
  QObject::connect(&m_store, &ChatSessionManager::conversationsChanged,
                   [&] { heard.push_back("conversations"); });
  QObject::connect(&m_store, &ChatSessionManager::conversationChanged,
                   [&](const std::string& id) { heard.push_back("conversation " + id); });
  QObject::connect(&m_store, &ChatSessionManager::messageChanged,
                   [&](const std::string& id, const ChatMessage& m) {
                     heard.push_back("message " + id + " " + m.id);
                   });
  std::vector<platform::NotificationCenter::ObserverToken> tokens;
  for (const auto name : {notification_names::kConversationListDidChanged,
                          notification_names::kConversationSettingDidChanged})
    tokens.push_back(m_center.addObserver(std::string(name), [&](const platform::Notification& n) {
      heard.push_back("posted " + n.name);
    }));

  m_store.load();
  const Conversation a = m_store.createConversation("A");
  const std::string& id = a.id;
  struct Case {
    const char* change;
    std::function<void()> make;
    std::vector<std::string> heard;
  };
  const std::vector<Case> cases = {
      {"a second load", [&] { m_store.load(); }, {}},
      {"create",
       [&] { m_store.createConversation("B"); },
       {"conversations", "posted conversationListDidChanged"}},
      {"rename",
       [&] { m_store.renameConversation(id, "A2"); },
       {"conversation " + id, "posted conversationListDidChanged",
        "posted conversationSettingDidChanged"}},
      {"update",
       [&] { m_store.updateConversation(id, *m_store.conversation(id)); },
       {"conversation " + id, "posted conversationSettingDidChanged"}},
      {"reorder",
       [&] { m_store.reorderConversations({id}); },
       {"conversations", "posted conversationListDidChanged"}},
      {"latest", [&] { m_store.setLatestSessionID(id); }, {}},
      {"upsert", [&] { m_store.upsertMessage(message("1"), id); }, {"message " + id + " 1"}},
      {"upsert into no session", [&] { m_store.upsertMessage(message("1"), "nowhere"); }, {}},
      {"delete a message", [&] { m_store.deleteMessage("1", id); }, {"conversation " + id}},
      {"clear an empty session", [&] { m_store.clearMessages(id); }, {}},
      {"delete",
       [&] { m_store.deleteConversation(id); },
       {"conversations", "posted conversationListDidChanged"}},
  };
  heard.clear();
  for (const Case& c : cases) {
    c.make();
    EXPECT_EQ(heard, c.heard) << c.change;
    heard.clear();
  }
}

// --- Messages
// -----------------------------------------------------------------------------------------

TEST_F(ChatSessionManagerTest, UpsertIsMemoryOnly) {
  m_store.load();
  const auto before = snapshot(storage());
  ChatSession& welcome = cachedSessions().at("welcome");
  welcome.messages = {message("x"), message("y"), message("x")};
  ChatMessage replacement = message("x");
  replacement.answer = "streamed";
  m_store.upsertMessage(replacement, "welcome");
  EXPECT_EQ(welcome.messages[0].answer, "answer x");
  EXPECT_EQ(welcome.messages[2].answer, "streamed");
  m_store.upsertMessage(message("z"), "welcome");
  EXPECT_EQ(welcome.messages.back().id, "z");
  m_store.upsertMessage(message("w"), "not cached");
  EXPECT_FALSE(m_store.sessions().contains("not cached"));
  EXPECT_EQ(snapshot(storage()), before);
}

TEST_F(ChatSessionManagerTest, DeleteMessageKeepsTheContextBreak) {
  struct Case {
    const char* name;
    std::vector<ChatMessage> messages;
    std::string deleted;
    std::vector<bool> breaks;
  };
  const Case cases[] = {
      {"break moves back", {message("1"), message("2", true), message("3")}, "2", {true, false}},
      {"first message drops its break", {message("1", true), message("2")}, "1", {false}},
      {"others keep theirs", {message("1", true), message("2"), message("3")}, "2", {true, false}},
  };
  m_store.load();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cachedSessions().at("welcome").messages = c.messages;
    m_store.deleteMessage(c.deleted, "welcome");
    const auto check = [&](const ChatSession& session) {
      std::vector<bool> breaks;
      for (const auto& m : session.messages) breaks.push_back(m.endContext);
      EXPECT_EQ(breaks, c.breaks);
    };
    check(m_store.sessions().at("welcome"));
    check(sessionOnDisk("welcome"));
  }
}

TEST_F(ChatSessionManagerTest, DeleteMessageRemovesOnlyItsOwnFiles) {
  m_store.load();
  fs::create_directories(filesFolder());
  writeFile(filesFolder() / "mine.jpg", "1");
  writeFile(filesFolder() / "other.jpg", "2");
  fs::create_directories(filesFolder() / "folder");
  writeFile(filesFolder() / "folder" / "inside.jpg", "3");
  const fs::path outside = storage() / "conversations-backup.json";
  writeFile(outside, "backup");

  ChatMessage m = message("1");
  m.questionFile = ChatMessageFile{
      "mine.jpg", fileUrl("mine.jpg"), {}, {}, ChatMessageFile::ChatMessageFileType::image};
  // Paths no file of the folder may be deleted by.
  m.answerFiles = std::vector<ChatMessageFile>{
      {{}, std::string(""), {}, std::string("."), ChatMessageFile::ChatMessageFileType::image},
      {{}, std::string(".."), {}, fileUrl(""), ChatMessageFile::ChatMessageFileType::image},
      {{},
       fileUrl("folder"),
       {},
       "file://" + outside.string(),
       ChatMessageFile::ChatMessageFileType::image},
      {{},
       fileUrl("%2E%2E%2Fconversations.json"),
       {},
       fileUrl("missing.jpg"),
       ChatMessageFile::ChatMessageFileType::image}};
  cachedSessions().at("welcome").messages.push_back(m);

  m_store.deleteMessage("1", "welcome");
  EXPECT_FALSE(fs::exists(filesFolder() / "mine.jpg"));
  EXPECT_EQ(readFile(filesFolder() / "other.jpg"), "2");
  EXPECT_EQ(readFile(filesFolder() / "folder" / "inside.jpg"), "3");
  EXPECT_EQ(readFile(outside), "backup");
  EXPECT_TRUE(fs::exists(Paths::conversationsFile().rawValue()));
  EXPECT_TRUE(m_log.contains("Refused to delete an attachment outside the files folder"));
  EXPECT_TRUE(m_log.contains("Refused to delete an attachment that is not a regular file"));
}

TEST_F(ChatSessionManagerTest, ContextAndNeighbours) {
  m_store.load();
  auto& messages = cachedSessions().at("welcome").messages;
  const auto ids = [](const std::vector<ChatMessage>& list) {
    std::vector<std::string> result;
    for (const auto& m : list) result.push_back(m.id);
    return result;
  };
  messages = {message("1"), message("2")};
  EXPECT_EQ(ids(m_store.contextMessages("welcome")), (std::vector<std::string>{"1", "2"}));
  messages = {message("1", true), message("2"), message("3", true), message("4"), message("5")};
  EXPECT_EQ(ids(m_store.contextMessages("welcome")), (std::vector<std::string>{"4", "5"}));
  messages.back().endContext = true;
  EXPECT_TRUE(m_store.contextMessages("welcome").empty());
  EXPECT_TRUE(m_store.contextMessages("not cached").empty());

  EXPECT_EQ(m_store.previousMessageIndex("1", "welcome"), std::nullopt);
  EXPECT_EQ(m_store.previousMessageIndex("3", "welcome"), 1u);
  EXPECT_EQ(m_store.previousMessageIndex("9", "welcome"), std::nullopt);
  EXPECT_EQ(m_store.lastMessage("welcome")->id, "5");
  messages.clear();
  EXPECT_EQ(m_store.lastMessage("welcome"), std::nullopt);
}

}  // namespace
}  // namespace tessra
