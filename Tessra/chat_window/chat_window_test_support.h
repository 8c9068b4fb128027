// Shared by the chat window's tests: a process whose storage, settings and caches live in a
// temporary folder, a loopback server playing the chat service, the main queue running on the Qt
// event loop, streamed answers in the service's format, and a counter of the writes of a session
// file.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/http_server.h"
#include "testing/temp_dir.h"

namespace tessra::chat_window_test {

using namespace std::chrono_literals;

// One streamed chunk carrying `content`.
std::string contentEvent(const std::string& content);
// One streamed chunk whose first choice asks for a picture of `prompt`.
std::string imageToolCallEvent(const std::string& prompt);
// The answer as server-sent events, one chunk per piece, each after `gap`, ending with [DONE].
testing::ScriptedResponse streamedAnswer(const std::vector<std::string>& pieces,
                                         std::chrono::milliseconds gap);
// The service's error envelope with that message, as the answer to a request.
testing::ScriptedResponse errorEnvelope(int status, const std::string& message);

// The message of the conversation file at `path` that holds `question`, as the file has it now;
// an empty object while there is none (or the file is not whole yet).
nlohmann::json savedQuestion(const std::filesystem::path& path, const std::string& question);

// The environment of the chat window's tests, made once per process before any shared object.
class ChatWindowTest : public ::testing::Test {
 public:
  static testing::HttpServer& server() { return *s_server; }

 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();

  // A new conversation in the store, its session cached.
  static std::string makeConversation(const std::string& name);

 private:
  static std::unique_ptr<testing::TempDir> s_home;
  static std::unique_ptr<testing::HttpServer> s_server;
};

// Counts the times a file is replaced by an atomic write (a rename onto its name), from now on.
class FileWriteCounter {
 public:
  explicit FileWriteCounter(const std::string& path);
  ~FileWriteCounter();
  FileWriteCounter(const FileWriteCounter&) = delete;
  FileWriteCounter& operator=(const FileWriteCounter&) = delete;

  // Reads what the kernel has reported so far.
  int count();

 private:
  int m_fd = -1;
  std::string m_name;
  int m_count = 0;
};

}  // namespace tessra::chat_window_test
