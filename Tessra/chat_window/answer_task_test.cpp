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
#include "testing/qt_wait.h"

namespace tessra {
namespace {

using namespace chat_window_test;
namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* kKey = "sk-answer-task";

// The conversation's file once the background saves asked for so far have landed.
json sessionFile(const std::string& sessionID) {
  ChatSessionManager::shared().waitForSaves();
  std::ifstream file(Paths::sessionFile(sessionID).rawValue());
  return json::parse(file);
}

std::string sessionPath(const std::string& sessionID) {
  return Paths::sessionFile(sessionID).rawValue();
}

class AnswerTaskTest : public ChatWindowTest {
 protected:
  // Starts a task for `question` in a new conversation, recording every state the store announces.
  AnswerTask* start(const std::string& question,
                    std::optional<ChatAttachment> attachment = std::nullopt) {
    m_sessionID = makeConversation("💬 Task");
    m_writes = std::make_unique<FileWriteCounter>(sessionPath(m_sessionID));
    auto* task = new AnswerTask(m_sessionID, AnswerTask::makeQuestion(question), &m_owner);
    QObject::connect(&ChatSessionManager::shared(), &ChatSessionManager::messageChanged, task,
                     [this](const std::string& sessionID, const ChatMessage& message) {
                       if (sessionID == m_sessionID) m_states.push_back(message);
                     });
    m_finished = std::make_unique<QSignalSpy>(task, &AnswerTask::finished);
    task->start(ChatGPTAPI::shared(), kKey, ChatGPTModels::gpt4, std::move(attachment));
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

TEST_F(AnswerTaskTest, AStopWhileTheImageToolRunsLeavesNoStepRunning) {
  server().route(
      "POST", "/v1/chat/completions",
      testing::ScriptedResponse::streamed(
          {{chat_window_test::imageToolCallEvent("A fox"), 0ms}, {"data: [DONE]\n\n", 0ms}}));
  // The image is still being drawn when the user stops.
  server().route("POST", "/v1/images/generations", testing::ScriptedResponse::stall("", 20s));
  AnswerTask* task = start("Draw a fox");
  const auto steps = [&] {
    const auto message = stored();
    return message && message->functionCalls ? *message->functionCalls
                                             : std::vector<ChatMessageFunctionCall>{};
  };
  ASSERT_EVENTUALLY(!steps().empty(), 10000);
  ASSERT_EQ(steps().front().status, ChatMessageFunctionCall::Status::loading);

  task->stop();
  const std::vector<ChatMessageFunctionCall> ended = {
      {"DALLE-E", ChatMessageFunctionCall::Status::failed}};
  EXPECT_EQ(steps(), ended);
  ASSERT_FALSE(m_states.empty());
  EXPECT_EQ(m_states.back().functionCalls, ended) << "the page is told";
  EXPECT_EQ(writes(), 2) << "the question, then the stopped answer";
  EXPECT_EQ(sessionFile(m_sessionID)["messages"][0]["functionCalls"], json(ended));
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
    const ChatMessage message = AnswerTask::makeQuestion(test.question);
    EXPECT_EQ(message.question, test.question);
    EXPECT_EQ(message.shortQuestion, test.shortQuestion);
    EXPECT_EQ(message.answer, "");
    EXPECT_FALSE(message.finished);
    EXPECT_FALSE(message.endContext);
    EXPECT_TRUE(message.createdAt);
    EXPECT_FALSE(message.questionFile);
    EXPECT_EQ(message.id.size(), 36u);
  }
  EXPECT_NE(AnswerTask::makeQuestion("a").id, AnswerTask::makeQuestion("a").id);
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
  const std::optional<ChatMessageFile> withImage = AnswerTask::makeQuestionFile(
      ChatAttachment{jpegImage(1600, 1200), std::nullopt, "Screenshot"});
  ASSERT_TRUE(withImage);
  const ChatMessageFile& image = *withImage;
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
    EXPECT_EQ(AnswerTask::makeQuestionFile(test.attachment), test.file);
  }
}

TEST_F(AnswerTaskTest, AnImageIsWrittenBesideTheQuestionAndReachesItWhateverBecomesOfTheTask) {
  enum class Meanwhile { nothing, stopped, taskGone, questionDeleted };
  const struct {
    const char* name;
    Meanwhile meanwhile;
  } cases[] = {
      {"a stop lets no request start, the files still arrive", Meanwhile::stopped},
      {"the task goes with its window, the files still arrive", Meanwhile::taskGone},
      {"a deleted question takes no files and leaves none", Meanwhile::questionDeleted},
      {"the request waits for the files", Meanwhile::nothing},
  };
  std::mutex atRequest;
  std::optional<json> fileAtRequest;
  server().route("POST", "/v1/chat/completions", [&](const testing::RecordedRequest&) {
    std::ifstream file(sessionPath(m_sessionID));
    std::lock_guard lock(atRequest);
    fileAtRequest = json::parse(file, nullptr, false);
    return streamedAnswer({"Blue"}, 0ms);
  });
  const auto filesOnDisk = [] {
    const fs::path folder = Paths::filesDirectory().rawValue();
    return fs::exists(folder) ? std::distance(fs::directory_iterator(folder), {}) : 0;
  };
  const std::size_t requestsBefore = server().requestCount();
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const std::size_t requests = server().requestCount();
    const auto filesBefore = filesOnDisk();
    {
      std::lock_guard lock(atRequest);
      fileAtRequest.reset();
    }
    AnswerTask* task =
        start("What colour?", ChatAttachment{jpegImage(1600, 1200), std::nullopt, "Sky"});
    // Saved when sent, before the image is written.
    ASSERT_EQ(sessionFile(m_sessionID)["messages"].size(), 1u);
    EXPECT_EQ(sessionFile(m_sessionID)["messages"][0]["question"], "What colour?");
    EXPECT_EQ(m_finished->count(), 0);

    switch (test.meanwhile) {
      case Meanwhile::nothing:
        break;
      case Meanwhile::stopped:
        task->stop();
        EXPECT_EQ(m_finished->count(), 0) << "the end waits for the files";
        break;
      case Meanwhile::taskGone:
        delete task;
        break;
      case Meanwhile::questionDeleted:
        ChatSessionManager::shared().deleteMessage(task->messageID(), m_sessionID);
        break;
    }
    if (test.meanwhile == Meanwhile::taskGone) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return stored() && stored()->questionFile; }, 10000));
    } else {
      ASSERT_TRUE(waitForEnd());
      EXPECT_EQ(m_finished->count(), 1);
    }
    if (test.meanwhile == Meanwhile::questionDeleted) {
      EXPECT_FALSE(stored());
      EXPECT_EQ(filesOnDisk(), filesBefore);
      continue;
    }
    const std::optional<ChatMessage> message = stored();
    ASSERT_TRUE(message && message->questionFile);
    ASSERT_TRUE(message->questionFile->path && message->questionFile->thumbnailPath);
    EXPECT_TRUE(fs::exists(pathOf(*message->questionFile->path)));
    EXPECT_TRUE(fs::exists(pathOf(*message->questionFile->thumbnailPath)));
    EXPECT_EQ(filesOnDisk(), filesBefore + 2);
    EXPECT_TRUE(sessionFile(m_sessionID)["messages"][0].contains("questionFile"));
    if (test.meanwhile != Meanwhile::nothing) continue;
    ASSERT_TRUE(server().waitForRequest(requests));
    std::lock_guard lock(atRequest);
    ASSERT_TRUE(fileAtRequest && fileAtRequest->is_object());
    EXPECT_TRUE((*fileAtRequest)["messages"][0].contains("questionFile"))
        << "the question carries its files before the request starts";
  }
  // The last case's answer has come and gone: an earlier request would have arrived before it.
  EXPECT_EQ(server().requestCount(), requestsBefore + 1) << "only the last question asked";
}

}  // namespace
}  // namespace tessra
