// Helpers for the client tests: a client aimed at the loopback server, chunk texts, and a
// recorder of everything a stream reports.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "aiclient/ai_client.h"
#include "testing/http_server.h"

namespace tessra::aiclient::testing {

using namespace std::chrono_literals;
using tessra::testing::HttpServer;

// Only a safety net for work that finishes: a stream cut into hundreds of paced pieces takes
// seconds on a loaded machine, where every pause of the server waits for a core again.
inline constexpr auto kDeadline = 60s;

inline AIClient::Configuration configurationFor(const HttpServer& server,
                                                double timeoutInterval = 10.0) {
  return {.token = "sk-test",
          .organizationIdentifier = std::nullopt,
          .host = "127.0.0.1",
          .port = server.port(),
          .scheme = "http",
          .timeoutInterval = timeoutInterval,
          .basePath = ""};
}

inline ChatQuery sampleQuery(std::string text = "Hello") {
  using Role = ChatCompletionMessageParam::Role;
  return ChatQuery{.messages = {*ChatCompletionMessageParam::make(Role::user, std::move(text))},
                   .model = "gpt-4o"};
}

// The JSON of one streamed chunk whose delta holds `content`.
inline std::string chunkJson(const std::string& content, int index = 0) {
  return R"({"id":"chatcmpl-)" + std::to_string(index) +
         R"(","object":"chat.completion.chunk","created":1700000000,"model":"gpt-4o",)" +
         R"("choices":[{"index":0,"delta":{"content":)" + nlohmann::json(content).dump() + "}}]}";
}

inline std::string event(const std::string& data) { return "data: " + data + "\n\n"; }

inline const std::string kEnvelope =
    R"({"error":{"message":"Incorrect API key provided: sk-test.","type":"invalid_request_error","param":null,"code":"invalid_api_key"}})";

template <class E>
std::optional<E> errorAs(const ErrorPtr& error) {
  if (!error) return std::nullopt;
  try {
    std::rethrow_exception(error);
  } catch (const E& typed) {
    return typed;
  } catch (...) {
    return std::nullopt;
  }
}

// Everything one stream reported, in order.
class StreamRecorder {
 public:
  StreamResultHandler<ChatStreamResult> onResult() {
    return [this](Result<ChatStreamResult> result) {
      std::lock_guard lock(m_mutex);
      if (m_completions > 0) m_afterCompletion = true;
      if (result) {
        const auto& choices = result->choices;
        m_contents.push_back(choices.empty() ? "" : choices[0].delta.content.value_or(""));
      } else {
        m_errors.push_back(result.error());
      }
      ++m_reports;
      m_changed.notify_all();
    };
  }

  StreamCompletion completion() {
    return [this](ErrorPtr error) {
      std::lock_guard lock(m_mutex);
      ++m_completions;
      m_end = error;
      m_changed.notify_all();
    };
  }

  // True once the completion came within the deadline.
  bool waitForCompletion(std::chrono::milliseconds deadline = kDeadline) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, deadline, [this] { return m_completions > 0; });
  }

  bool waitForReports(std::size_t count, std::chrono::milliseconds deadline = kDeadline) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, deadline, [&] { return m_reports >= count; });
  }

  std::vector<std::string> contents() const {
    std::lock_guard lock(m_mutex);
    return m_contents;
  }
  std::string joined() const {
    std::string text;
    for (const auto& piece : contents()) text += piece;
    return text;
  }
  std::vector<ErrorPtr> errors() const {
    std::lock_guard lock(m_mutex);
    return m_errors;
  }
  ErrorPtr end() const {
    std::lock_guard lock(m_mutex);
    return m_end;
  }
  int completions() const {
    std::lock_guard lock(m_mutex);
    return m_completions;
  }
  std::size_t reports() const {
    std::lock_guard lock(m_mutex);
    return m_reports;
  }
  bool reportedAfterCompletion() const {
    std::lock_guard lock(m_mutex);
    return m_afterCompletion;
  }

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::string> m_contents;
  std::vector<ErrorPtr> m_errors;
  std::size_t m_reports = 0;
  int m_completions = 0;
  ErrorPtr m_end;
  bool m_afterCompletion = false;
};

}  // namespace tessra::aiclient::testing
