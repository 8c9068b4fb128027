#include "Tessra/chat_engine/engine_test_support.h"

#include <gtest/gtest.h>

#include "tokenizer/piece_scanner.h"
#include "tokenizer/test_vocabulary.h"

namespace tessra::engine_test {

std::shared_ptr<const tokenizer::Encoding> cl100kEncoding() {
  static const auto encoding = std::make_shared<const tokenizer::Encoding>(
      "gpt-4", tokenizer::test::encoderWith(tokenizer::test::cl100kRanks(), tokenizer::kPatternB),
      tokenizer::SpecialTokens{});
  return encoding;
}

LogCapture::LogCapture() {
  platform::Logger::shared().setSink([this](platform::LogLevel, std::string_view text) {
    std::lock_guard lock(m_mutex);
    m_lines.emplace_back(text);
  });
}

LogCapture::~LogCapture() { platform::Logger::shared().setSink(nullptr); }

std::vector<std::string> LogCapture::lines() const {
  std::lock_guard lock(m_mutex);
  return m_lines;
}

std::vector<std::string> LogCapture::linesStartingWith(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const std::string& line : lines())
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
  return found;
}

Collected collect(platform::AsyncStream<ChatMessage>& stream, std::chrono::milliseconds timeout) {
  Collected collected;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !stream.waitForNext(left)) return collected;
    try {
      std::optional<ChatMessage> message = stream.next();
      if (!message) {
        collected.ended = true;
        return collected;
      }
      collected.messages.push_back(std::move(*message));
    } catch (...) {
      collected.error = std::current_exception();
      collected.ended = true;
      return collected;
    }
  }
}

std::optional<ChatMessage> nextMessage(platform::AsyncStream<ChatMessage>& stream,
                                       std::chrono::milliseconds timeout) {
  if (!stream.waitForNext(timeout)) return std::nullopt;
  return stream.next();
}

}  // namespace tessra::engine_test
