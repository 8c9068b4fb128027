#include "Tessra/chat_window/answer_task.h"

#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "Tessra/chat_window/chat_window_test_support.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/storage/paths.h"
#include "platform/foundation/json.h"

namespace tessra {
namespace {

using namespace chat_window_test;
namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* kKey = "sk-answer-task";

json sessionFile(const std::string& sessionID) {
  std::ifstream file(Paths::sessionFile(sessionID).rawValue());
  return json::parse(file);
}

std::string sessionPath(const std::string& sessionID) {
  return Paths::sessionFile(sessionID).rawValue();
}

class AnswerTaskTest : public ChatWindowTest {
 protected:
  // Starts a task for `question` in a new conversation, recording every state it announces.
  AnswerTask* start(const std::string& question) {
    m_sessionID = makeConversation("💬 Task");
    m_writes = std::make_unique<FileWriteCounter>(sessionPath(m_sessionID));
    auto* task =
        new AnswerTask(m_sessionID, AnswerTask::makeQuestion(question, std::nullopt), &m_owner);
    QObject::connect(task, &AnswerTask::messageChanged,
                     [this](const ChatMessage& message, const std::string& sessionID) {
                       EXPECT_EQ(sessionID, m_sessionID);
                       m_states.push_back(message);
                     });
    m_finished = std::make_unique<QSignalSpy>(task, &AnswerTask::finished);
    task->start(ChatGPTAPI::shared(), kKey, ChatGPTModels::gpt4, std::nullopt);
    return task;
  }
  // The writes of the conversation's file once the background saves asked for have landed.
  int writes() {
    ChatSessionManager::shared().waitForSaves();
    return m_writes->count();
  }
  std::optional<ChatMessage> stored() const {
    return ChatSessionManager::shared().lastMessage(m_sessionID);
  }
  bool waitForEnd() {
    return QTest::qWaitFor([&] { return m_finished->count() > 0; }, 10000);
  }

  QObject m_owner;
  std::string m_sessionID;
  std::unique_ptr<FileWriteCounter> m_writes;
  std::vector<ChatMessage> m_states;
  std::unique_ptr<QSignalSpy> m_finished;
};

TEST_F(AnswerTaskTest, TheQuestionIsWrittenFirstAndTheAnswerAtMostEveryIntervalAsItStreams) {
  // The file as it stood when the request reached the service (read on the server's thread).
  std::mutex atRequest;
  std::optional<json> fileAtRequest;
  const std::vector<std::string> pieces(50, "word ");
  server().route("POST", "/v1/chat/completions", [&](const testing::RecordedRequest&) {
    std::ifstream file(sessionPath(m_sessionID));
    std::lock_guard lock(atRequest);
    fileAtRequest = json::parse(file, nullptr, false);
    return streamedAnswer(pieces, 100ms);
  });
  const auto began = std::chrono::steady_clock::now();
  start("Say it slowly");

  // While the answer grows, its file holds the question and, within an interval or so, a part of
  // the answer.
  std::size_t longestPartOnDisk = 0;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const json file = sessionFile(m_sessionID);
        if (!file["messages"].empty() && file["messages"][0]["finished"] == false) {
          longestPartOnDisk =
              std::max(longestPartOnDisk, file["messages"][0]["answer"].get<std::string>().size());
        }
        return m_finished->count() > 0;
      },
      30000));
  const double streamed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  std::lock_guard lock(atRequest);
  ASSERT_TRUE(fileAtRequest && fileAtRequest->is_object()) << "the question reached the file";
  ASSERT_EQ((*fileAtRequest)["messages"].size(), 1u);
  EXPECT_EQ((*fileAtRequest)["messages"][0]["question"], "Say it slowly");
  EXPECT_EQ((*fileAtRequest)["messages"][0]["answer"], "");
  EXPECT_GT(longestPartOnDisk, 0u) << "a part of the answer was saved while it streamed";

  // The question, the parts (never two within one interval) and the end.
  const double intervals =
      streamed / std::chrono::duration<double>(AnswerTask::kSaveInterval).count();
  EXPECT_GE(writes(), 3);
  EXPECT_LE(writes(), 2 + static_cast<int>(intervals) + 1);
  ASSERT_FALSE(m_states.empty());
  EXPECT_TRUE(m_states.back().finished);
  const json file = sessionFile(m_sessionID);
  ASSERT_EQ(file["messages"].size(), 1u);
  EXPECT_EQ(file["messages"][0]["question"], "Say it slowly");
  EXPECT_EQ(file["messages"][0]["answer"], m_states.back().answer);
  EXPECT_EQ(file["messages"][0]["finished"], true);

  const auto request = server().waitForRequest(server().requestCount() - 1);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->header("Authorization"), std::string("Bearer ") + kKey);
  EXPECT_EQ(json::parse(request->body)["messages"].back()["content"], "Say it slowly");
}

TEST_F(AnswerTaskTest, AFailureKeepsThePartialAnswerBesideTheError) {
  const struct {
    const char* name;
    testing::ScriptedResponse response;
    std::string answer;
    std::string error;
  } cases[] = {
      {"error envelope before the first chunk", errorEnvelope(401, "Incorrect API key provided."),
       "", "Incorrect API key provided."},
      {"connection dropped mid-answer",
       testing::ScriptedResponse::drop(contentEvent("Half an") + contentEvent(" answer")),
       "Half an answer", ""},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    server().route("POST", "/v1/chat/completions", test.response);
    m_states.clear();
    start("Fail please");
    ASSERT_TRUE(waitForEnd());
    const auto message = stored();
    ASSERT_TRUE(message);
    EXPECT_TRUE(message->finished);
    EXPECT_EQ(message->answer, test.answer);
    ASSERT_TRUE(message->error);
    if (!test.error.empty()) {
      EXPECT_EQ(*message->error, test.error);
    }
    EXPECT_FALSE(message->error->empty());
    EXPECT_EQ(writes(), 2) << "the question, then the failed answer";
    EXPECT_EQ(sessionFile(m_sessionID)["messages"][0]["error"], *message->error);
    EXPECT_EQ(m_states.back(), *message);
  }
}

TEST_F(AnswerTaskTest, StopFinishesTheAnswerWhereItStandsAndLaterChunksNeverArrive) {
  std::vector<std::string> pieces = {"First"};
  for (int i = 0; i < 50; ++i) pieces.push_back(" later");
  server().route("POST", "/v1/chat/completions", streamedAnswer(pieces, 40ms));
  const std::size_t streamsBefore = server().streamEnds().size();
  AnswerTask* task = start("Count slowly");
  ASSERT_TRUE(QTest::qWaitFor([&] { return stored() && !stored()->answer.empty(); }, 10000));

  task->stop();
  EXPECT_EQ(m_finished->count(), 1);
  const ChatMessage stopped = *stored();
  EXPECT_TRUE(stopped.finished);
  EXPECT_FALSE(stopped.error) << "a stop is no failure";
  EXPECT_EQ(m_states.back(), stopped);
  const std::size_t announced = m_states.size();

  // The transfer is cancelled; whatever was already on its way is dropped.
  const auto end = server().waitForStreamEnd(streamsBefore, 10s);
  ASSERT_TRUE(end);
  EXPECT_EQ(end->outcome, testing::StreamEnd::Outcome::closedByClient);
  QTest::qWait(100);  // a check that nothing happens: what was on its way changes nothing
  EXPECT_EQ(*stored(), stopped);
  EXPECT_EQ(m_states.size(), announced);
  EXPECT_EQ(m_finished->count(), 1);
  EXPECT_EQ(writes(), 2) << "the question, then the stopped answer";
  EXPECT_EQ(sessionFile(m_sessionID)["messages"][0]["answer"], stopped.answer);

  task->stop();
  EXPECT_EQ(writes(), 2) << "a second stop writes nothing";
}

TEST_F(AnswerTaskTest, AMessageDeletedMidAnswerIsNeverBroughtBack) {
  std::vector<std::string> pieces(30, "word ");
  server().route("POST", "/v1/chat/completions", streamedAnswer(pieces, 30ms));
  AnswerTask* task = start("Delete me");
  ASSERT_TRUE(QTest::qWaitFor([&] { return stored() && !stored()->answer.empty(); }, 10000));

  ChatSessionManager::shared().deleteMessage(task->messageID(), m_sessionID);
  ASSERT_TRUE(waitForEnd());
  EXPECT_FALSE(stored());
  task->stop();
  EXPECT_FALSE(stored());
}

TEST(AnswerTaskQuestionTest, AQuestionKeepsItsTextAndItsFirst80Characters) {
  const std::string family = "👨‍👩‍👧";
  const std::string accented = "e\u0301";
  const struct {
    const char* name;
    std::string question;
    std::string shortQuestion;
  } cases[] = {
      {"short", "Hello", "Hello"},
      {"exactly 80", std::string(80, 'a'), std::string(80, 'a')},
      {"81 letters", std::string(81, 'b'), std::string(80, 'b')},
      {"emoji sequences count once",
       [&] {
         std::string s;
         for (int i = 0; i < 81; ++i) s += family;
         return s;
       }(),
       [&] {
         std::string s;
         for (int i = 0; i < 80; ++i) s += family;
         return s;
       }()},
      {"combining marks stay with their letter", std::string(79, 'x') + accented + "yz",
       std::string(79, 'x') + accented},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const ChatMessage message = AnswerTask::makeQuestion(test.question, std::nullopt);
    EXPECT_EQ(message.question, test.question);
    EXPECT_EQ(message.shortQuestion, test.shortQuestion);
    EXPECT_EQ(message.answer, "");
    EXPECT_FALSE(message.finished);
    EXPECT_FALSE(message.endContext);
    EXPECT_TRUE(message.createdAt);
    EXPECT_FALSE(message.questionFile);
    EXPECT_EQ(message.id.size(), 36u);
  }
  EXPECT_NE(AnswerTask::makeQuestion("a", std::nullopt).id,
            AnswerTask::makeQuestion("a", std::nullopt).id);
}

ImageHandle jpegImage(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(30, 140, 200));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPEG");
  return std::make_shared<const EncodedImage>(
      EncodedImage{Bytes(bytes.begin(), bytes.end()), width, height});
}

std::string pathOf(const std::string& url) {
  return QUrl(QString::fromStdString(url)).toLocalFile().toStdString();
}

TEST_F(AnswerTaskTest, AnAttachmentBecomesTheQuestionsFile) {
  // An image: the image and a thumbnail as two JPEG files in the attachment folder.
  const ChatMessage withImage = AnswerTask::makeQuestion(
      "Look", ChatAttachment{jpegImage(1600, 1200), std::nullopt, "Screenshot"});
  ASSERT_TRUE(withImage.questionFile);
  const ChatMessageFile& image = *withImage.questionFile;
  EXPECT_EQ(image.type, ChatMessageFile::ChatMessageFileType::image);
  EXPECT_EQ(image.fileName, "Screenshot");
  EXPECT_FALSE(image.text);
  ASSERT_TRUE(image.path);
  ASSERT_TRUE(image.thumbnailPath);
  EXPECT_NE(*image.path, *image.thumbnailPath);
  for (const std::string& url : {*image.path, *image.thumbnailPath}) {
    EXPECT_EQ(fs::path(pathOf(url)).parent_path(),
              fs::path(Paths::filesDirectory().rawValue()).parent_path());
    QImage written(QString::fromStdString(pathOf(url)), "JPEG");
    EXPECT_FALSE(written.isNull()) << url;
  }
  const QImage thumbnail(QString::fromStdString(pathOf(*image.thumbnailPath)));
  EXPECT_EQ(std::max(thumbnail.width(), thumbnail.height()), 400);

  const struct {
    const char* name;
    ChatAttachment attachment;
    std::optional<ChatMessageFile> file;
  } cases[] = {
      {"a text",
       {nullptr, "int main() {}", "main.cpp"},
       ChatMessageFile{"main.cpp", std::nullopt, "int main() {}", std::nullopt,
                       ChatMessageFile::ChatMessageFileType::text}},
      {"an image that cannot be decoded falls back to its text",
       {std::make_shared<const EncodedImage>(EncodedImage{Bytes{'n', 'o'}, 1, 1}), "caption",
        std::nullopt},
       ChatMessageFile{std::nullopt, std::nullopt, "caption", std::nullopt,
                       ChatMessageFile::ChatMessageFileType::text}},
      {"nothing usable", {nullptr, std::nullopt, "empty"}, std::nullopt},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(AnswerTask::makeQuestion("q", test.attachment).questionFile, test.file);
  }
}

}  // namespace
}  // namespace tessra
